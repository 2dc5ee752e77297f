#pragma once

#include <QWidget>

class QUrl;
class QWebEngineView;

// The store's home page in a web view. Built inside the store module; the program reaches it
// only through the factory below and the invokable navigate().
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);

    // Starts loading the page and returns at once.
    Q_INVOKABLE void navigate(const QUrl& url);

private:
    QWebEngineView* m_webBrowser1 = nullptr;
};

extern "C" Q_DECL_EXPORT QWidget* corvalo_create_store_window();

#pragma once

#include <QWidget>

class QUrl;
class QWebEngineView;

// The store's home page in a web view, built in the store program (corvalo-store) so that the
// calculator never loads the web engine. The page runs in a profile that keeps nothing on disk.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);

    // Starts loading the page and returns at once.
    void navigate(const QUrl& url);
    QWebEngineView* webView() const { return m_webBrowser1; }

private:
    QWebEngineView* m_webBrowser1 = nullptr;
};

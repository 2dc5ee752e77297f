#pragma once

#include "storeplugin.h"

#include <QObject>
#include <QWidget>

class QUrl;
class QWebEngineView;

// The store's home page in a web view. Built inside the store plugin; the program reaches it
// only through StorePlugin.
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);

    // Starts loading the page and returns at once.
    void navigate(const QUrl& url);

private:
    QWebEngineView* m_webBrowser1 = nullptr;
};

class StoreModule : public QObject, public StorePlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CorvaloStorePlugin_iid)
    Q_INTERFACES(StorePlugin)
public:
    QWidget* createStoreWindow() override;
    void navigate(QWidget* storeWindow, const QUrl& url) override;
};

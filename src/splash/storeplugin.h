#pragma once

#include <QtPlugin>

class QUrl;
class QWidget;

// What the store plugin offers the program: the store window, built inside the plugin with the
// web engine, and the one thing the program asks of it.
class StorePlugin {
public:
    virtual ~StorePlugin() = default;
    // A new store window, without owner.
    virtual QWidget* createStoreWindow() = 0;
    // Has a window made by createStoreWindow() start loading a page; returns at once.
    virtual void navigate(QWidget* storeWindow, const QUrl& url) = 0;
};

#define CorvaloStorePlugin_iid "example.corvalo.StorePlugin/1"
Q_DECLARE_INTERFACE(StorePlugin, CorvaloStorePlugin_iid)

#pragma once

#include <QUrl>

class QWidget;
class StorePlugin;

namespace corvalo {

class PluginFinder;

// The store window, and Qt WebEngine with it, live in a plugin loaded the first time a store
// button is pressed, so the calculator starts without a web engine. nullptr, with *why set to a
// sentence for the user, when it cannot be loaded.
StorePlugin* loadStorePlugin(const PluginFinder& plugins, QString* why);

// Has a store window's web view load a page; a bad address is reported to the user.
bool navigateStore(StorePlugin* plugin, QWidget* storeWindow, const QUrl& url);

QUrl storeHomePage();

// An "Error" box over the active window.
void reportStoreError(const QString& text);

} // namespace corvalo

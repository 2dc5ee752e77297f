#pragma once

#include <QUrl>

#include <optional>

class QWidget;

namespace corvalo {

// Builds a new store window. The store window, and Qt WebEngine with it, live in a plugin that is
// loaded here the first time, so the calculator starts without a web engine. Returns nullptr
// after telling the user why when the plugin cannot be loaded.
QWidget* createStoreWindow();

// Has the store window's web view load a page; a bad address is reported to the user.
bool navigateStore(QWidget* storeWindow, const QUrl& url);

QUrl storeUrl();

// For tests only: a local page in place of the store (nullopt restores the store).
void setStoreUrlForTesting(std::optional<QUrl> url);

} // namespace corvalo

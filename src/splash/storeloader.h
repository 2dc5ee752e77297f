#pragma once

#include <QUrl>

#include <optional>

class QString;
class QWidget;

namespace corvalo {

// Builds a new store window. The store window, and Qt WebEngine with it, live in a module of their
// own that is loaded here the first time, so the calculator starts without a web engine. Returns
// nullptr after telling the user why when the module cannot be loaded.
QWidget* createStoreWindow();

// Has the store window's web view load a page; a bad address is reported to the user.
bool navigateStore(QWidget* window, const QUrl& url);

QUrl storeUrl();

// For tests only: a local page in place of the store (nullopt restores the store), and another
// file as the store module (an empty path restores the usual search).
void setStoreUrlForTesting(std::optional<QUrl> url);
void setStoreModuleForTesting(const QString& path);

} // namespace corvalo

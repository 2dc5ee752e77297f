#include "storeloader.h"

#include "storeinfo.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <cstdio>
#include <optional>
#include <unistd.h>

namespace corvalo {

namespace {

using StoreFactory = QWidget* (*)();

std::optional<QUrl> g_urlOverride;
QString g_moduleOverride;
StoreFactory g_factory = nullptr;

void reportError(const QString& text)
{
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Error"), text);
}

// Chromium refuses to start its sandbox for root; the store page then runs without it rather
// than taking the calculator down.
void allowWebEngineAsRoot()
{
    static bool checked = false;
    if (checked)
        return;
    checked = true;
    if (geteuid() != 0 || qgetenv("QTWEBENGINE_DISABLE_SANDBOX") == "1")
        return;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    std::fputs("Corvalo: running as root, so the store page's web view runs without "
               "Chromium's sandbox.\n",
               stderr);
}

// Next to the program (the build tree), the library folder beside an installed program, this
// build's copy (for the tests, which live elsewhere in the build tree), the configured install.
QStringList moduleCandidates()
{
    if (!g_moduleOverride.isEmpty())
        return {g_moduleOverride};
    const QString name = QStringLiteral(CORVALO_STORE_MODULE_NAME);
    const QDir appDir(QCoreApplication::applicationDirPath());
    QStringList candidates = {
        appDir.filePath(name),
        QDir::cleanPath(appDir.filePath(QStringLiteral("../" CORVALO_INSTALL_LIBDIR "/") + name)),
        QStringLiteral(CORVALO_STORE_MODULE_BUILD_PATH),
        QDir(QStringLiteral(CORVALO_INSTALL_FULL_LIBDIR)).filePath(name),
    };
    candidates.removeDuplicates();
    return candidates;
}

StoreFactory loadFactory(QString* why)
{
    if (g_factory)
        return g_factory;
    const QStringList candidates = moduleCandidates();
    QStringList problems;
    for (const QString& path : candidates) {
        if (!QFileInfo::exists(path))
            continue;
        allowWebEngineAsRoot();
        QLibrary module(path); // never unloaded: its windows may outlive this object
        // The web engine warns that it was loaded after the application started; the module
        // provides what it needs before the first page, so that warning is not for the user.
        static QtMessageHandler previous = nullptr;
        previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
                if (!message.contains(QLatin1String("initialized from a plugin")))
                    previous(type, context, message);
            });
        auto factory =
            reinterpret_cast<StoreFactory>(module.resolve("corvalo_create_store_window"));
        qInstallMessageHandler(previous);
        if (factory)
            return g_factory = factory;
        problems << module.errorString();
    }
    if (problems.isEmpty())
        *why = QStringLiteral("The file was not found in:\n") + candidates.join(QLatin1Char('\n'));
    else
        *why = problems.join(QLatin1Char('\n'));
    return nullptr;
}

} // namespace

QWidget* createStoreWindow()
{
    QString why;
    const StoreFactory factory = loadFactory(&why);
    if (!factory) {
        reportError(QStringLiteral("The store window cannot be opened because its module could "
                                   "not be loaded.\n\n") +
                    why);
        return nullptr;
    }
    return factory();
}

bool navigateStore(QWidget* window, const QUrl& url)
{
    if (!url.isValid() || url.isRelative()) {
        reportError(QStringLiteral("The store page cannot be opened: \"%1\" is not a valid web "
                                   "address.")
                        .arg(url.toString()));
        return false;
    }
    if (!QMetaObject::invokeMethod(window, "navigate", Q_ARG(QUrl, url))) {
        reportError(QStringLiteral("The store page cannot be opened: the store window does not "
                                   "accept a web address."));
        return false;
    }
    return true;
}

QUrl storeUrl()
{
    return g_urlOverride.value_or(QUrl(QLatin1String(storeinfo::storeHomePage)));
}

void setStoreUrlForTesting(std::optional<QUrl> url)
{
    g_urlOverride = std::move(url);
}

void setStoreModuleForTesting(const QString& path)
{
    g_moduleOverride = path;
    g_factory = nullptr;
}

} // namespace corvalo

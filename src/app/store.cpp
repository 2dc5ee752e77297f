#include "store.h"

#include "plugins.h"
#include "splash/storeinfo.h"
#include "splash/storeplugin.h"

#include <QApplication>
#include <QMessageBox>
#include <QOpenGLContext>
#include <QWidget>

#include <cstdio>
#include <unistd.h>

// Qt 6.4 has no public way to give the web engine the GL context it shares with Qt once the
// application runs: the public route (Qt::AA_ShareOpenGLContexts) must be taken before start-up
// and loads OpenGL into every start. This private setter, exported by Qt GUI, is the one place
// where Corvalo relies on Qt's internals; should a Qt update drop it, linking fails, and the
// store test checks that the context is in place before the web engine loads.
QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
QT_END_NAMESPACE

namespace corvalo {

namespace {

std::optional<QUrl> g_urlOverride;
StorePlugin* g_plugin = nullptr;

void reportError(const QString& text)
{
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Error"), text);
}

// The web engine warns, and draws nothing, unless a shared GL context exists when it loads.
void provideSharedGlContext()
{
    if (QOpenGLContext::globalShareContext())
        return;
    auto* context = new QOpenGLContext(qApp);
    context->create();
    qt_gl_set_global_share_context(context);
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

// Asked for every new store window; once loaded, the plugin answers at once.
StorePlugin* storePlugin(QString* why)
{
    allowWebEngineAsRoot();
    provideSharedGlContext();
    QObject* root = loadPlugin(QStringLiteral("corvalo_store"), why);
    auto* plugin = qobject_cast<StorePlugin*>(root);
    if (root && !plugin)
        *why = QStringLiteral("The file is not Corvalo's store plugin.");
    if (plugin)
        g_plugin = plugin;
    return plugin;
}

} // namespace

QWidget* createStoreWindow()
{
    QString why;
    StorePlugin* plugin = storePlugin(&why);
    if (!plugin) {
        reportError(QStringLiteral("The store window cannot be opened because its module could "
                                   "not be loaded.\n\n") +
                    why);
        return nullptr;
    }
    return plugin->createStoreWindow();
}

bool navigateStore(QWidget* storeWindow, const QUrl& url)
{
    if (!url.isValid() || url.isRelative()) {
        reportError(QStringLiteral("The store page cannot be opened: \"%1\" is not a valid web "
                                   "address.")
                        .arg(url.toString()));
        return false;
    }
    g_plugin->navigate(storeWindow, url);
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

} // namespace corvalo

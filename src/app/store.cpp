#include "store.h"

#include "look/product.h"
#include "plugins.h"
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
// than taking the calculator down. Said once: afterwards the switch is set.
void allowWebEngineAsRoot()
{
    if (geteuid() != 0 || qgetenv("QTWEBENGINE_DISABLE_SANDBOX") == "1")
        return;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    std::fputs("Corvalo: running as root, so the store page's web view runs without "
               "Chromium's sandbox.\n",
               stderr);
}

} // namespace

StorePlugin* loadStorePlugin(const PluginFinder& plugins, QString* why)
{
    allowWebEngineAsRoot();
    provideSharedGlContext();
    QObject* root = plugins.load(QStringLiteral("corvalo_store"), why);
    auto* plugin = qobject_cast<StorePlugin*>(root);
    if (root && !plugin)
        *why = QStringLiteral("The file is not Corvalo's store plugin.");
    return plugin;
}

bool navigateStore(StorePlugin* plugin, QWidget* storeWindow, const QUrl& url)
{
    if (!url.isValid() || url.isRelative()) {
        reportStoreError(QStringLiteral("The store page cannot be opened: \"%1\" is not a valid "
                                        "web address.")
                             .arg(url.toString()));
        return false;
    }
    plugin->navigate(storeWindow, url);
    return true;
}

QUrl storeHomePage()
{
    return QUrl(QLatin1String(product::storeHomePage));
}

void reportStoreError(const QString& text)
{
    QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Error"), text);
}

} // namespace corvalo

#include "testsupport.h"

#include "app/windowset.h"
#include "look/application.h"

#include <QApplication>

namespace testsupport {

namespace {

// A store button starts the store program with Qt WebEngine, which inherits this: off screen it
// must not try the GPU. Every window test links this file.
const bool g_beforeApplication = [] {
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    return true;
}();

} // namespace

void prepareApplication()
{
    corvalo::setUpApplication();
}

std::unique_ptr<WindowSet> makeWindowSet()
{
    auto windows = std::make_unique<WindowSet>();
    // The tests live elsewhere in the build tree than the program beside its plugins.
    windows->plugins().setFolder(QStringLiteral(CORVALO_TEST_PLUGIN_DIR));
    return windows;
}

QWidgetList topLevels(const QString& objectName)
{
    QWidgetList all = QApplication::topLevelWidgets();
    all.removeIf([&](const QWidget* w) { return w->objectName() != objectName; });
    return all;
}

MessageBoxCatcher::MessageBoxCatcher(int interval)
{
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxCatcher::poll);
    m_timer.start(interval);
}

void MessageBoxCatcher::poll()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box && box->isVisible()) {
            m_seen.push_back({box->windowTitle(), box->text(), box->icon()});
            box->done(QMessageBox::Ok);
        }
    }
}

} // namespace testsupport

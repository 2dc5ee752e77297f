#include "testsupport.h"

#include "windows/appearance.h"

#include <QApplication>

namespace testsupport {

void prepareApplication()
{
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setQuitOnLastWindowClosed(false);
    corvalo::installFontSubstitutes();
}

MessageBoxCatcher::MessageBoxCatcher()
{
    connect(&m_timer, &QTimer::timeout, this, &MessageBoxCatcher::poll);
    m_timer.start(10);
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

#include "app/windowset.h"
#include "look/appearance.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalo"));
    QGuiApplication::setDesktopFileName(QStringLiteral(CORVALO_APP_ID));
    // The look of every widget but the graphical buttons, which draw themselves.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setQuitOnLastWindowClosed(false); // the window set decides when we are done
    corvalo::installFontSubstitutes();

    WindowSet windows;
    QObject::connect(&windows, &WindowSet::programEnd, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    windows.start();
    return QApplication::exec();
}

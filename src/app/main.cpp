#include "app/windowset.h"
#include "look/appearance.h"
#include "splash/splashwindow.h"
#include "windows/mainwindow.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalo"));
    QApplication::setStyle(QStringLiteral("Fusion")); // paints a key's back colour over its face
    QApplication::setQuitOnLastWindowClosed(false);   // the window set decides when we are done
    corvalo::installFontSubstitutes();
    QObject::connect(WindowSet::lifetime(), &WindowSet::Lifetime::programEnd, &app,
                     &QApplication::quit, Qt::QueuedConnection);

    // The main window's load step puts the splash card on the screen first.
    FrmCorvalo* calculator = WindowSet::mainWindow();
    WindowSet::show(WindowSet::splash());
    calculator->show();

    const int status = QApplication::exec();
    WindowSet::closeAll();
    return status;
}

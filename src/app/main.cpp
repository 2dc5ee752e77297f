#include "app/windowset.h"
#include "look/appearance.h"
#include "splash/splashwindow.h"
#include "windows/mainwindow.h"

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
    QObject::connect(WindowSet::lifetime(), &WindowSet::Lifetime::programEnd, &app,
                     &QApplication::quit, Qt::QueuedConnection);

    // The main window's load step puts the splash card on the screen first. The card must not
    // take the focus: the main window is the active window, so the first keys typed reach the
    // display rather than closing the card.
    FrmCorvalo* calculator = WindowSet::mainWindow();
    frmSplash* card = WindowSet::splash();
    card->setAttribute(Qt::WA_ShowWithoutActivating);
    card->show();
    WindowSet::show(calculator);

    const int status = QApplication::exec();
    WindowSet::closeAll();
    return status;
}

#include "app/windowset.h"
#include "look/appearance.h"
#include "look/style.h"

#include <QApplication>

namespace {

// The windows have places of their own, which a Wayland compositor does not grant, so Corvalo runs
// on X11 wherever an X server answers (XWayland on a Wayland desktop) and only falls back to
// Wayland where none does. A platform the user chose is left as it is.
void preferX11()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return;
    qputenv("QT_QPA_PLATFORM",
            qEnvironmentVariableIsEmpty("DISPLAY") ? "wayland;xcb" : "xcb;wayland");
}

} // namespace

int main(int argc, char* argv[])
{
    preferX11();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalo"));
    QGuiApplication::setDesktopFileName(QStringLiteral(CORVALO_APP_ID));
    QApplication::setStyle(corvalo::makeStyle());
    QApplication::setQuitOnLastWindowClosed(false); // the window set decides when we are done
    corvalo::installFontSubstitutes();

    WindowSet windows;
    QObject::connect(&windows, &WindowSet::programEnd, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    windows.start();
    return QApplication::exec();
}

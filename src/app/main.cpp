#include "app/windowset.h"
#include "look/application.h"

#include <QApplication>

#include <cstdio>

namespace {

// The windows have places of their own, which a Wayland compositor does not grant, so Corvalo runs
// on X11 wherever an X server answers (XWayland on a Wayland desktop) and only falls back to
// Wayland where none does. A platform the user chose is left as it is. False when there is no
// desktop to show the windows on.
bool choosePlatform()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return true;
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    if (!x11 && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    qputenv("QT_QPA_PLATFORM", x11 ? "xcb;wayland" : "wayland;xcb");
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (!choosePlatform()) {
        std::fputs("Corvalo needs a graphical desktop (X11 or Wayland): neither DISPLAY nor "
                   "WAYLAND_DISPLAY is set.\n",
                   stderr);
        return 1;
    }
    corvalo::keepGtkOffAccessibilityBus();
    QApplication app(argc, argv);
    corvalo::setUpApplication();

    WindowSet windows;
    QObject::connect(&windows, &WindowSet::programEnd, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    windows.start();
    return QApplication::exec();
}

#include "app/windowset.h"
#include "look/application.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

#include <sys/mman.h>
#include <unistd.h>

namespace {

constexpr const char* needsDesktop = "Corvalo needs a graphical desktop (X11 or Wayland): ";

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

// While Qt looks for a display, what it and the display libraries print is kept aside. Qt ends the
// process with a fatal message when no display it tries answers (a stale DISPLAY, a Wayland socket
// that is gone); that becomes the program's one line, as when no display is named at all.
// Otherwise what was kept is printed as it would have been.
class DisplaySearch {
public:
    DisplaySearch() : m_kept(memfd_create("corvalo-start", MFD_CLOEXEC))
    {
        stderrCopy() = dup(STDERR_FILENO);
        if (m_kept >= 0 && stderrCopy() >= 0)
            dup2(m_kept, STDERR_FILENO);
        qInstallMessageHandler(&DisplaySearch::message);
    }
    ~DisplaySearch()
    {
        qInstallMessageHandler(nullptr);
        restoreStderr();
        if (m_kept < 0)
            return;
        char buffer[4096];
        ssize_t n = 0;
        for (off_t at = 0; (n = pread(m_kept, buffer, sizeof buffer, at)) > 0; at += n)
            if (write(STDERR_FILENO, buffer, static_cast<std::size_t>(n)) != n)
                break;
        close(m_kept);
    }
    DisplaySearch(const DisplaySearch&) = delete;
    DisplaySearch& operator=(const DisplaySearch&) = delete;

private:
    static int& stderrCopy()
    {
        static int fd = -1;
        return fd;
    }
    static void restoreStderr()
    {
        if (stderrCopy() < 0)
            return;
        dup2(stderrCopy(), STDERR_FILENO);
        close(std::exchange(stderrCopy(), -1));
    }
    static void message(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        if (type != QtFatalMsg) {
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, text)));
            return;
        }
        restoreStderr();
        QByteArray named;
        for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"})
            if (const QByteArray value = qgetenv(variable); !value.isEmpty())
                named += (named.isEmpty() ? "" : " nor at ") + QByteArray(variable) + '=' + value;
        std::fprintf(stderr, "%snone answers at %s.\n", needsDesktop, named.constData());
        std::_Exit(1);
    }

    int m_kept;
};

} // namespace

int main(int argc, char* argv[])
{
    if (!choosePlatform()) {
        std::fprintf(stderr, "%sneither DISPLAY nor WAYLAND_DISPLAY is set.\n", needsDesktop);
        return 1;
    }
    auto search = std::make_unique<DisplaySearch>();
    QApplication app(argc, argv);
    search.reset();
    corvalo::setUpApplication();

    WindowSet windows;
    QObject::connect(&windows, &WindowSet::programEnd, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    windows.start();
    return QApplication::exec();
}

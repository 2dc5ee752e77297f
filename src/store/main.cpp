// corvalo-store FOLDER: the store window in a program of its own, started by the calculator the
// first time a store button is pressed and spoken to over its standard input and a channel of its
// own (store/storeprotocol.h). A crash of the web engine takes only this program down, and closing
// the store window gives back all the memory it used.
#include "look/application.h"
#include "storefolder.h"
#include "storeprogram.h"
#include "storeprotocol.h"

#include <QApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

// The calculator reads the answers from the pipe it gave as standard output. That descriptor is
// kept apart, out of reach of the web engine's helper processes, and standard output goes to
// standard error, so that a library printing something cannot garble the channel.
int takeChannel()
{
    const int channel = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (channel >= 0)
        dup2(STDERR_FILENO, STDOUT_FILENO);
    return channel;
}

// Chromium refuses to start its sandbox for root; the store page then runs without it rather
// than not at all, and says so. A normal user keeps the sandbox.
void allowWebEngineAsRoot()
{
    if (geteuid() != 0 || qgetenv("QTWEBENGINE_DISABLE_SANDBOX") == "1")
        return;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qInfo("Corvalo: running as root, so the store page's web view runs without Chromium's "
          "sandbox.");
}

// The terminal that started Corvalo hears of the store program's warnings and errors, not of the
// web engine's start-up report, notes such as the one above, the page's own console messages or
// Chromium's notes. A user's settings come after these: QT_LOGGING_RULES="*.info=true;js=true"
// and QTWEBENGINE_CHROMIUM_FLAGS=--log-level=0 bring them all back.
void keepTerminalQuiet()
{
    QLoggingCategory::setFilterRules(QStringLiteral("*.info=false\njs=false"));
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--log-level=3" + (flags.isEmpty() ? "" : " " + flags));
}

// Chromium keeps a certificate database in ~/.pki/nssdb, made the first time a secure page loads,
// and reads that place from HOME alone; Mesa keeps compiled shaders under the home the password
// database names, whatever HOME says. The store program's home is therefore the private folder it
// was given, shader caches are off (or, where that is not honoured, in that folder), and the
// user's settings are still read where they are.
void keepHomeUntouched(const QByteArray& ownHome)
{
    const QByteArray home = qgetenv("HOME");
    if (!home.isEmpty())
        for (const auto& [variable, underHome] :
             {std::pair{"XDG_CONFIG_HOME", "/.config"}, std::pair{"XDG_DATA_HOME", "/.local/share"},
              std::pair{"XAUTHORITY", "/.Xauthority"}})
            if (!qEnvironmentVariableIsSet(variable))
                qputenv(variable, home + underHome);
    qputenv("HOME", ownHome);
    qputenv("XDG_CACHE_HOME", ownHome + "/.cache");
    qputenv("MESA_SHADER_CACHE_DISABLE", "true");
    qputenv("MESA_SHADER_CACHE_DIR", ownHome + "/.cache/mesa");
    const QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS",
            flags + (flags.isEmpty() ? "" : " ") + "--disable-gpu-shader-disk-cache");
}

// SIGTERM, SIGINT and SIGHUP end the program as a closed input does, so its folder goes with it.
int g_signalled[2] = {-1, -1};

void endOnSignals()
{
    if (pipe2(g_signalled, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_signalled[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, &QCoreApplication::quit);
    struct sigaction action {};
    action.sa_handler = [](int) {
        const char byte = 0;
        [[maybe_unused]] const ssize_t written = ::write(g_signalled[1], &byte, 1);
    };
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

// Removes the folder however main() returns.
struct FolderGoes {
    corvalo::storeprotocol::StoreFolder folder;
    ~FolderGoes() { folder.remove(); }
};

} // namespace

int main(int argc, char* argv[])
{
    const int channel = takeChannel();
    const QFileInfo given(argc == 2 ? QFile::decodeName(argv[1]) : QString());
    if (channel < 0 || !given.isAbsolute() || !given.isDir() ||
        !given.fileName().startsWith(QLatin1String(corvalo::storeprotocol::folderPrefix))) {
        std::fputs("corvalo-store shows Corvalo's store window; Corvalo starts it with a folder "
                   "of its own and a channel on standard output.\n",
                   stderr);
        return 2;
    }
    const FolderGoes folder{corvalo::storeprotocol::StoreFolder(argv[1])};
    keepTerminalQuiet();
    keepHomeUntouched(argv[1]);
    // The web engine draws through a GL context shared with Qt's; this is the public way to have
    // one, and it must be asked for before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Nothing is written: Qt would otherwise keep compiled shaders under ~/.cache.
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
    allowWebEngineAsRoot();
    // The web engine reads the page out to assistive technology only when asked to here; it
    // then does so while Qt's accessibility is on, that is while a screen reader is.
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY"))
        qputenv("QTWEBENGINE_ENABLE_LINUX_ACCESSIBILITY", "1");

    corvalo::keepGtkOffAccessibilityBus();
    QApplication app(argc, argv);
    corvalo::setUpApplication();
    endOnSignals();

    StoreProgram store(STDIN_FILENO, channel);
    QObject::connect(&store, &StoreProgram::finished, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    return QApplication::exec();
}

// corvalo-store: the store window in a program of its own, started by the calculator the first
// time a store button is pressed and spoken to over its standard input and output
// (splash/storeprotocol.h). A crash of the web engine takes only this program down, and closing
// the store window gives back all the memory it used.
#include "storeprogram.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// Chromium refuses to start its sandbox for root; the store page then runs without it rather
// than not at all, and says so. A normal user keeps the sandbox.
void allowWebEngineAsRoot()
{
    if (geteuid() != 0 || qgetenv("QTWEBENGINE_DISABLE_SANDBOX") == "1")
        return;
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    std::fputs("Corvalo: running as root, so the store page's web view runs without "
               "Chromium's sandbox.\n",
               stderr);
}

// Chromium keeps a certificate database in ~/.pki/nssdb, made the first time a secure page loads,
// and reads that place from HOME alone. The store program's home is therefore a folder of its
// own, removed when it ends; the user's settings are still read where they are.
void keepHomeUntouched(const QTemporaryDir& ownHome)
{
    const QByteArray home = qgetenv("HOME");
    if (home.isEmpty() || !ownHome.isValid())
        return;
    for (const auto& [variable, underHome] :
         {std::pair{"XDG_CONFIG_HOME", "/.config"}, std::pair{"XDG_DATA_HOME", "/.local/share"},
          std::pair{"XAUTHORITY", "/.Xauthority"}})
        if (!qEnvironmentVariableIsSet(variable))
            qputenv(variable, home + underHome);
    qputenv("HOME", QFile::encodeName(ownHome.path()));
}

} // namespace

int main(int argc, char* argv[])
{
    // The web engine draws through a GL context shared with Qt's; this is the public way to have
    // one, and it must be asked for before the application exists.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    // Nothing is written: Qt would otherwise keep compiled shaders under ~/.cache.
    QCoreApplication::setAttribute(Qt::AA_DisableShaderDiskCache);
    allowWebEngineAsRoot();
    QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (runtime.isEmpty())
        runtime = QDir::tempPath();
    const QTemporaryDir ownHome(QDir(runtime).filePath(QStringLiteral("corvalo-store-XXXXXX")));
    keepHomeUntouched(ownHome);
    // A write to a calculator that has gone fails and is ignored; the closed pipe ends us.
    std::signal(SIGPIPE, SIG_IGN);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvalo"));
    QGuiApplication::setDesktopFileName(QStringLiteral(CORVALO_APP_ID));
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setQuitOnLastWindowClosed(false); // StoreProgram decides when we are done

    StoreProgram store(STDIN_FILENO, STDOUT_FILENO);
    QObject::connect(&store, &StoreProgram::finished, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    return QApplication::exec();
}

// What the calculator pays at start-up, then what the first Play of a sound file and the first
// store window add (the media stack, a plugin loaded on first use, and the store program with its
// web engine, started on the first store-button press, as the program does). Prints one line per
// step; the resident size is the calculator's own.
#include "app/windowset.h"
#include "look/application.h"
#include "music/musicmanager.h"
#include "music/musicplayer.h"
#include "music/playerstrip.h"
#include "selfstatus.h"
#include "soundfiles.h"
#include "splash/splashwindow.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

void report(const char* step, QElapsedTimer& timer, long& rss)
{
    const long now = selfstatus::residentKiB();
    std::printf("%-40s %7.1f ms   RSS %7ld KiB (%+ld)\n", step, timer.nsecsElapsed() / 1e6, now,
                now - rss);
    rss = now;
    timer.restart();
}

} // namespace

int main(int argc, char* argv[])
{
    QElapsedTimer timer;
    timer.start();
    long rss = selfstatus::residentKiB();

    QApplication app(argc, argv);
    corvalo::setUpApplication();
    WindowSet windows;
    windows.plugins().setFolder(QStringLiteral(CORVALO_PLUGIN_BUILD_DIR));
    windows.start();
    FrmCorvalo* calculator = windows.mainWindow();
    if (!QTest::qWaitForWindowExposed(calculator))
        return 1;
    report("main window on screen", timer, rss);

    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("song.wav"));
    if (!soundfiles::writeWav(song, 3000))
        return 1;
    frmmusic* music = windows.musicManager();
    WindowSet::show(music);
    if (!QTest::qWaitForWindowExposed(music))
        return 1;
    music->fileNameBox()->setText(song);
    QCoreApplication::processEvents();
    report("(music manager open)", timer, rss);

    // The click loads the media plugin through the window set's loader, as in the program.
    MusicPlayer* player = calculator->musicPlayer();
    QTest::mouseClick(music->findChild<QPushButton*>(QStringLiteral("CmdPlay")), Qt::LeftButton);
    if (!QTest::qWaitFor([&] { return player->strip()->state() == PlayerStrip::State::Playing; },
                         10000))
        return 1;
    report("+ first Play: click to playing state", timer, rss);
    if (!QTest::qWaitFor([&] { return player->position() > 0; }, 10000))
        return 1;
    report("  ... to the position moving", timer, rss);

    windows.openStore();
    if (!QTest::qWaitFor([&] { return windows.store().isShown(); }, 60000))
        return 1;
    report("+ store program: press to window shown", timer, rss);
    return 0;
}

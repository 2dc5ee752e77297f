// The desktop's media controls against the real program's window set: a WAV plays through the
// media plugin, then `playerctl play-pause` is run again and again. For each run it measures,
// from the moment playerctl is started, until the player changed state (the strip was told),
// until the strip's play button was painted with the new state, and until playerctl ended.
// Prints the medians in milliseconds:
//   runs to_state to_painted to_exit
// It needs a session bus and a display (bench/mediacontrols.sh).
//   mediacontrols PLUGIN_FOLDER [runs, default 21]
#include "app/windowset.h"
#include "music/musicplayer.h"
#include "soundfiles.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <cstdio>

namespace {

QElapsedTimer g_clock;

double now()
{
    return g_clock.nsecsElapsed() / 1e6;
}

// Notes when the watched widget is first painted after the player changed state.
class PaintWatch : public QObject {
public:
    double changedAt = -1;
    double paintedAt = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && changedAt >= 0 && paintedAt < 0)
            paintedAt = now();
        return QObject::eventFilter(watched, event);
    }
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: mediacontrols PLUGIN_FOLDER [runs]\n");
        return 2;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 21;
    QTemporaryDir dir;
    const QString tune = dir.filePath(QStringLiteral("tune.wav"));
    soundfiles::writeWav(tune, 120000);

    WindowSet windows;
    windows.plugins().setFolder(QString::fromLocal8Bit(argv[1]));
    FrmCorvalo* main = windows.mainWindow();
    WindowSet::show(main);
    MusicPlayer* player = main->musicPlayer();
    player->setLocation(tune);
    if (!QTest::qWaitFor([&] { return player->position() > 0; }, 20000)) {
        std::fprintf(stderr, "the tune never moved on\n");
        return 1;
    }

    auto* button = main->playerStrip()->findChild<QToolButton*>(QStringLiteral("playButton"));
    PaintWatch watch;
    button->installEventFilter(&watch);
    QObject::connect(player, &MusicPlayer::stateChanged, [&] { watch.changedAt = now(); });

    std::vector<double> toState, toPainted, toExit;
    for (int run = 0; run < runs; ++run) {
        QTest::qWait(200);
        watch.changedAt = watch.paintedAt = -1;
        double exitedAt = -1;
        QProcess client;
        QObject::connect(&client, &QProcess::finished, [&] { exitedAt = now(); });
        g_clock.start();
        client.start(QStringLiteral("playerctl"), {QStringLiteral("play-pause")});
        if (!QTest::qWaitFor([&] { return exitedAt >= 0 && watch.paintedAt >= 0; }, 10000)) {
            std::fprintf(stderr, "run %d: no change seen\n", run);
            return 1;
        }
        toState.push_back(watch.changedAt);
        toPainted.push_back(watch.paintedAt);
        toExit.push_back(exitedAt);
    }
    std::printf("%d %.1f %.1f %.1f\n", runs, median(toState), median(toPainted), median(toExit));
    return 0;
}

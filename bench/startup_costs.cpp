// What the calculator pays at start-up, and what it would pay if the media player and the store's
// web engine were set up at start instead of on first use. Prints one line per step.
#include "app/plugins.h"
#include "app/store.h"
#include "app/windowset.h"
#include "look/appearance.h"
#include "splash/splashwindow.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QAudioOutput>
#include <QElapsedTimer>
#include <QFile>
#include <QMediaPlayer>
#include <QTest>

#include <cstdio>

namespace {

long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

void report(const char* step, QElapsedTimer& timer, long& rss)
{
    const long now = residentKiB();
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
    long rss = residentKiB();

    QApplication app(argc, argv);
    corvalo::setPluginDirForTesting(QStringLiteral(CORVALO_PLUGIN_BUILD_DIR));
    QApplication::setStyle(QStringLiteral("Fusion"));
    corvalo::installFontSubstitutes();
    FrmCorvalo* calculator = WindowSet::mainWindow();
    WindowSet::show(WindowSet::splash());
    calculator->show();
    if (!QTest::qWaitForWindowExposed(calculator))
        return 1;
    report("main window on screen", timer, rss);

    auto* player = new QMediaPlayer(calculator);
    auto* output = new QAudioOutput(player);
    player->setAudioOutput(output);
    QCoreApplication::processEvents();
    report("+ media player (deferred)", timer, rss);

    QWidget* store = corvalo::createStoreWindow();
    if (!store)
        return 1;
    store->show();
    if (!QTest::qWaitForWindowExposed(store))
        return 1;
    report("+ store window and web engine (deferred)", timer, rss);

    WindowSet::closeAll();
    delete store;
    return 0;
}

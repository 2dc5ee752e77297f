// What stays behind in memory when windows come and go and skins are applied again and again.
// Opens and closes each window many times, then applies skins through the chooser's own buttons,
// printing the heap in use (glibc's count of allocated bytes) and the resident size as it goes.
//
//   memory_bench [window cycles, default 500] [skin applies, default 1000]
#include "app/windowset.h"
#include "look/application.h"
#include "music/musicmanager.h"
#include "selfstatus.h"
#include "skins/skinchooser.h"
#include "splash/splashwindow.h"
#include "windows/aboutbox.h"
#include "windows/helpexample.h"
#include "windows/mainwindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QTest>

#include <cstdio>
#include <functional>
#include <malloc.h>

namespace {

struct Sample {
    long heapKiB;   // malloc'ed and in use, outside the separately mapped blocks
    long mappedKiB; // large blocks malloc maps on their own (big images, for one)
    long rssKiB;
};

Sample sample()
{
    const struct mallinfo2 info = mallinfo2();
    return {long(info.uordblks / 1024), long(info.hblkhd / 1024), selfstatus::residentKiB()};
}

// Lets queued work and deferred deletions run, as the event loop would between two clicks.
void settle()
{
    for (int i = 0; i < 2; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

bool isReported(int n, int total)
{
    return n == 1 || n == 10 || n == 50 || n % 100 == 0 || n == total;
}

void row(const char* what, int n, const Sample& first, const Sample& now)
{
    std::printf("%-22s %6d %10ld %+10ld %10ld %10ld %+10ld\n", what, n, now.heapKiB,
                now.heapKiB - first.heapKiB, now.mappedKiB, now.rssKiB, now.rssKiB - first.rssKiB);
    std::fflush(stdout);
}

// Per cycle, from the 50th on: what a long session keeps paying.
void slope(const char* what, int total, const Sample& at50, const Sample& last)
{
    if (total <= 50)
        return;
    std::printf("%-22s growth after the first 50: heap %.2f KiB, RSS %.2f KiB per cycle\n", what,
                double(last.heapKiB - at50.heapKiB) / (total - 50),
                double(last.rssKiB - at50.rssKiB) / (total - 50));
}

// Runs a step again and again, sampling after each; a step that fails ends the series.
void measure(const char* what, int total, const std::function<bool()>& step)
{
    Sample first{}, at50{}, now{};
    for (int n = 1; n <= total; ++n) {
        if (!step()) {
            std::printf("%-22s failed\n", what);
            return;
        }
        settle();
        now = sample();
        if (n == 1)
            first = now;
        if (n == 50)
            at50 = now;
        if (isReported(n, total))
            row(what, n, first, now);
    }
    slope(what, total, at50, now);
}

void cycleWindow(const char* what, const std::function<QWidget*()>& open, int cycles)
{
    measure(what, cycles, [open] {
        QWidget* window = open();
        if (!window)
            return false;
        WindowSet::show(window);
        settle();
        window->close(); // through its frame: the window set forgets it and it is deleted
        return true;
    });
}

// Previews one of the four skins and presses "Set", round and round.
void applySkins(WindowSet& windows, int applies)
{
    Skins* chooser = windows.skinChooser();
    WindowSet::show(chooser);
    settle();
    QList<QAbstractButton*> previews;
    for (const char* name : {"cmddefault", "CmdSanta", "CmdHall", "CmdWinter"})
        if (auto* b = chooser->findChild<QAbstractButton*>(QLatin1String(name)))
            previews << b;
    auto* set = chooser->findChild<QAbstractButton*>(QStringLiteral("cmdSet"));
    int n = 0;
    measure("skin applied (Set)", applies, [&] {
        if (previews.size() != 4 || !set)
            return false;
        QTest::mouseClick(previews[++n % 4], Qt::LeftButton);
        QTest::mouseClick(set, Qt::LeftButton);
        return true;
    });
    chooser->close();
    settle();
}

} // namespace

int main(int argc, char* argv[])
{
    if (!qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS"))
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--disable-gpu");
    QApplication app(argc, argv);
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 500;
    const int applies = argc > 2 ? std::atoi(argv[2]) : 1000;
    corvalo::setUpApplication();

    QElapsedTimer clock;
    clock.start();
    const Sample start = sample();
    std::printf("start: heap %ld KiB, RSS %ld KiB\n\n", start.heapKiB, start.rssKiB);
    std::printf("%-22s %6s %10s %10s %10s %10s %10s\n", "window / step", "n", "heap KiB",
                "since 1st", "mmap KiB", "RSS KiB", "since 1st");

    // Skins first, on a fresh main window, before the other series fill the style's caches.
    auto windows = std::make_unique<WindowSet>();
    WindowSet::show(windows->mainWindow());
    applySkins(*windows, applies);
    windows = std::make_unique<WindowSet>();
    windows->plugins().setFolder(QStringLiteral(CORVALO_PLUGIN_BUILD_DIR));
    settle();

    // The main window alone; the others then open beside a main window that stays. The store
    // window lives in the store program: what the calculator keeps of each round, one in ten
    // cycles (each starts a web engine).
    cycleWindow(
        "FrmCorvalo", [&] { return static_cast<QWidget*>(windows->mainWindow()); }, cycles);
    WindowSet::show(windows->mainWindow());
    settle();
    cycleWindow(
        "frmSplash", [&] { return static_cast<QWidget*>(windows->splash()); }, cycles);
    cycleWindow(
        "FrmExp1", [&] { return static_cast<QWidget*>(windows->helpExample()); }, cycles);
    cycleWindow(
        "FrmAbout", [&] { return static_cast<QWidget*>(windows->about()); }, cycles);
    cycleWindow(
        "frmmusic", [&] { return static_cast<QWidget*>(windows->musicManager()); }, cycles);
    cycleWindow(
        "Skins", [&] { return static_cast<QWidget*>(windows->skinChooser()); }, cycles);
    measure("Form1 (store program)", std::max(1, cycles / 10), [&] {
        StoreLink& store = windows->store();
        windows->openStore();
        if (!QTest::qWaitFor([&] { return store.isShown(); }, 60000))
            return false;
        store.close();
        return QTest::qWaitFor([&] { return store.processId() == 0; }, 60000);
    });

    windows.reset();
    settle();
    const Sample end = sample();
    std::printf("\nall windows closed: heap %ld KiB, RSS %ld KiB; %.1f s in all\n", end.heapKiB,
                end.rssKiB, clock.elapsed() / 1000.0);
    return 0;
}

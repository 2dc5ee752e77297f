// The first Play of a sound file, as the program makes it: the calculator's window on screen,
// then the media plugin loaded and one file played through MediaBackend. Prints one line:
//   rss_before_kib rss_after_kib ms_to_moving new_libraries
// the resident size before the plugin is loaded and some seconds after Play, the time from
// load()+play() until the position first moves on, and how many shared libraries Play mapped;
// then, largest first, the resident KiB of each newly mapped file and of the anonymous memory's
// growth. bench/firstplay.sh runs it interleaved.
//   firstplay PLUGIN wav|mid|mp3|FILE [seconds after Play, default 5]
#include "media/mediabackend.h"
#include "selfstatus.h"
#include "soundfiles.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <memory>

namespace {

using namespace corvalo::media;

// Resident KiB by what is mapped: each file by its path, the rest as "[anonymous]".
QHash<QByteArray, long> residentByMapping()
{
    QHash<QByteArray, long> found;
    QFile smaps(QStringLiteral("/proc/self/smaps"));
    if (!smaps.open(QIODevice::ReadOnly))
        return found;
    QByteArray name;
    for (const QByteArray& line : smaps.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        if (!std::isupper(static_cast<unsigned char>(line.at(0)))) { // a mapping's first line
            const qsizetype at = line.indexOf('/');
            name = at > 0 ? line.mid(at) : QByteArrayLiteral("[anonymous]");
            found.insert(name, found.value(name));
        } else if (line.startsWith("Rss:")) {
            found[name] += line.mid(4).trimmed().split(' ').first().toLong();
        }
    }
    return found;
}

struct Listener : MediaListener {
    qint64 moved = -1; // first position past zero
    bool broken = false;
    void started() override {}
    void ended() override {}
    void progressed(qint64 ms, qint64, bool) override
    {
        if (ms > 0 && moved < 0)
            moved = ms;
    }
    void titled(const QString&) override {}
    void tagged(const QString&, const QString&) override {}
    void failed(Failure, const QString& text) override
    {
        broken = true;
        std::fprintf(stderr, "failed: %s\n", qPrintable(text));
    }
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 3)
        return 2;
    const QString plugin = QString::fromLocal8Bit(argv[1]);
    const QByteArray kind = argv[2];
    const int seconds = argc > 3 ? std::atoi(argv[3]) : 5;

    // 20 s of sound, made here; any other kind names a file to play.
    QTemporaryDir dir;
    QString song = dir.filePath(QStringLiteral("song.") + QString::fromLatin1(kind));
    if (kind == "wav"   ? !soundfiles::writeWav(song, 20000)
        : kind == "mid" ? !soundfiles::writeMidi(song, 80)
        : kind == "mp3" ? !soundfiles::encodeTone(song, 20000, {QStringLiteral("lamemp3enc")})
                        : !QFile::exists(song = QString::fromLocal8Bit(kind)))
        return 1;
    FrmCorvalo window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::qWait(500);
    const long before = selfstatus::residentKiB();
    const QHash<QByteArray, long> mapped = residentByMapping();

    QElapsedTimer clock;
    clock.start();
    QPluginLoader loader(plugin);
    auto* backend = qobject_cast<MediaBackend*>(loader.instance());
    if (!backend) {
        std::fprintf(stderr, "%s\n", qPrintable(loader.errorString()));
        return 1;
    }
    Listener listener;
    const std::unique_ptr<MediaPlayback> playback(backend->createPlayback(&listener));
    playback->setVolume(50);
    playback->load(QUrl::fromLocalFile(song), true);
    if (!QTest::qWaitFor([&] { return listener.moved > 0 || listener.broken; }, 20000) ||
        listener.broken)
        return 1;
    const double toMoving = clock.nsecsElapsed() / 1e6;
    QTest::qWait(seconds * 1000 - int(clock.elapsed()));
    const long after = selfstatus::residentKiB();
    const QHash<QByteArray, long> now = residentByMapping();
    // What grew, largest first: the libraries Play mapped, and the anonymous memory.
    QList<std::pair<long, QByteArray>> grown;
    int added = 0;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        const bool isNew = !mapped.contains(it.key());
        added += isNew && it.key().contains(".so");
        if (isNew || it.key().startsWith('['))
            grown.append({it.value() - mapped.value(it.key()), it.key()});
    }
    std::sort(grown.begin(), grown.end(), std::greater<>());
    std::printf("%ld %ld %.1f %d\n", before, after, toMoving, added);
    for (const auto& [kib, name] : grown)
        std::printf("%7ld %s\n", kib, name.constData());
    return 0;
}

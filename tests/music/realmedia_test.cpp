// The media plugin itself on real GStreamer, through MediaBackend alone: what it plays, what it
// maps to play it, and that nothing it is asked waits for a source.
#include "music/mediabackend.h"
#include "soundfiles.h"

#include <QDir>
#include <QFile>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace corvalo::music;

namespace {

struct Recorder : MediaListener {
    int failures = 0;
    QList<qint64> positions;
    void stateChanged(PlaybackState) override {}
    void statusChanged(MediaStatus) override {}
    void durationChanged(qint64) override {}
    void positionChanged(qint64 ms) override { positions << ms; }
    void seekableChanged(bool) override {}
    void failed(MediaFailure, const QString&) override { ++failures; }
};

QByteArray mapped()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) ? maps.readAll() : QByteArray();
}

// How many of this process's descriptors are open on the file.
int openedTimes(const QString& path)
{
    const QDir fds(QStringLiteral("/proc/self/fd"));
    int times = 0;
    for (const QString& fd : fds.entryList(QDir::System))
        times += QFile::symLinkTarget(fds.filePath(fd)) == path;
    return times;
}

} // namespace

class RealMediaTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    Recorder m_heard;
    MediaPlayback* m_player = nullptr;

    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    void play(const char* name)
    {
        m_player->load(QUrl::fromLocalFile(path(name)));
        m_player->play();
    }
    bool underWay() const { return m_player->position() >= 300; }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(soundfiles::writeWav(path("tone.wav"), 3000));
        QVERIFY(soundfiles::writeMidi(path("tune.mid"), 8));
        QVERIFY(soundfiles::encodeTone(path("tone.mp3"), 1000, {QStringLiteral("lamemp3enc")}));
        QVERIFY(soundfiles::writeBytes(path("letter.wav"), "Dear Santa, this is no sound.\n"));
        QVERIFY(mkfifo(QFile::encodeName(path("pipe.wav")).constData(), 0600) == 0);
        QPluginLoader loader(QStringLiteral(CORVALO_PLUGIN_BUILD_DIR "/libcorvalo_media.so"));
        auto* backend = qobject_cast<MediaBackend*>(loader.instance());
        QVERIFY2(backend, qPrintable(loader.errorString()));
        m_player = backend->createPlayback(this, &m_heard);
    }

    void playsOrFailsOnce_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("library"); // that renders it; none: it fails
        QTest::newRow("WAV") << QByteArray("tone.wav") << QByteArray("libgstwavparse");
        QTest::newRow("MP3") << QByteArray("tone.mp3") << QByteArray("libmpg123");
        QTest::newRow("MIDI, sound font") << QByteArray("tune.mid") << QByteArray("libfluidsynth");
        QTest::newRow("undecodable") << QByteArray("letter.wav") << QByteArray();
    }

    void playsOrFailsOnce()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, library);
        const int failures = m_heard.failures;
        const int failing = library.isEmpty() ? 1 : 0;
        play(name.constData());
        QCOMPARE(m_player->status(), MediaStatus::Loading);
        QTRY_VERIFY_WITH_TIMEOUT(underWay() || m_heard.failures > failures, 10000);
        QCOMPARE(m_heard.failures, failures + failing);
        QCOMPARE(m_player->status(), failing ? MediaStatus::Invalid : MediaStatus::Started);
        QVERIFY(mapped().contains(library));
        // Sound only: no video path, and no graphics library behind one.
        for (const char* graphics :
             {"libvulkan", "libLLVM", "libz3", "libgstgl", "libgstvulkan", "libgstopengl"})
            QVERIFY2(!mapped().contains(graphics), graphics);
        // Time for a second report of one failure to come, had it been sent.
        play("tone.wav");
        QTRY_VERIFY(underWay());
        QCOMPARE(m_heard.failures, failures + failing);
    }

    void followsPauseSeekStopAndTheEnd()
    {
        play("tone.wav");
        QTRY_VERIFY(underWay());
        m_player->pause();
        QCOMPARE(m_player->state(), PlaybackState::Paused);
        m_player->setPosition(2000);
        m_player->play();
        m_heard.positions.clear();
        QTRY_COMPARE_WITH_TIMEOUT(m_player->status(), MediaStatus::Ended, 5000);
        QVERIFY(!m_heard.positions.isEmpty());
        for (qint64 ms : m_heard.positions) // not one report from before the seek
            QVERIFY2(ms >= 2000, qPrintable(QString::number(ms)));
        QCOMPARE(m_player->state(), PlaybackState::Stopped);

        m_player->play(); // from the start again
        QTRY_VERIFY(m_player->position() > 0);
        QVERIFY(m_player->position() < 2000);
        m_player->stop();
        QCOMPARE(m_player->state(), PlaybackState::Stopped);
        QCOMPARE(m_player->position(), 0);
    }

    // A source still loading is dropped as it stands when another comes, even one stuck reading
    // a pipe that nobody writes to, which nothing could tear down before it ends.
    void replacesWhatIsStillLoading()
    {
        const QString pipe = path("pipe.wav");
        const int writer = open(QFile::encodeName(pipe).constData(), O_RDWR | O_NONBLOCK);
        QVERIFY(writer >= 0);
        const int failures = m_heard.failures;
        play("pipe.wav");
        QTRY_COMPARE(openedTimes(pipe), 2); // read, and waiting
        for (int i = 0; i < 30; ++i) {
            QCOMPARE(m_player->status(), MediaStatus::Loading);
            play("letter.wav");
        }
        QTRY_COMPARE(m_heard.failures, failures + 1); // the last one's only
        play("tone.wav");
        QTRY_VERIFY(underWay());
        QCOMPARE(m_heard.failures, failures + 1);
        close(writer); // the pipe ends, and what read it can go
        QTRY_COMPARE(openedTimes(pipe), 0);
    }
};

QTEST_MAIN(RealMediaTest)
#include "realmedia_test.moc"

// The media plugin itself on real GStreamer, through MediaBackend alone: what it plays, what it
// maps to play it, what it keeps, and that nothing it is asked waits for a source.
#include "media/mediabackend.h"
#include "soundfiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPluginLoader>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gst/gst.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <memory>

using namespace corvalo::media;

namespace {

struct Recorder : MediaListener {
    int failures = 0;
    int endings = 0;
    qint64 position = 0;
    QList<qint64> positions;
    QString title;
    void started() override {}
    void ended() override { ++endings; }
    void failed(Failure, const QString&) override { ++failures; }
    void progressed(qint64 ms, qint64, bool) override { positions << (position = ms); }
    void titled(const QString& text) override { title = text; }
    void tagged(const QString&, const QString&) override {}
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

// Some thread of this process waits in a read of a pipe.
bool readingPipe()
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile wchan(tasks.filePath(task + QStringLiteral("/wchan")));
        if (wchan.open(QIODevice::ReadOnly) && wchan.readAll().endsWith("pipe_read"))
            return true;
    }
    return false;
}

// Pipelines alive in this process, counted through GStreamer's tracing hooks.
std::atomic<int> pipelines = 0;

struct PipelineCounter {
    GstTracer parent;
};
struct PipelineCounterClass {
    GstTracerClass parent;
};
G_DEFINE_TYPE(PipelineCounter, pipeline_counter, GST_TYPE_TRACER)
void pipeline_counter_class_init(PipelineCounterClass*) {}
void pipeline_counter_init(PipelineCounter* self)
{
    gst_tracing_register_hook(GST_TRACER(self), "element-new",
                              G_CALLBACK(+[](GObject*, GstClockTime, GstElement* element) {
                                  pipelines += GST_IS_PIPELINE(element);
                              }));
    gst_tracing_register_hook(GST_TRACER(self), "object-destroyed",
                              G_CALLBACK(+[](GObject*, GstClockTime, GstObject* object) {
                                  pipelines -= GST_IS_PIPELINE(object);
                              }));
}

} // namespace

class RealMediaTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    Recorder m_heard;
    std::unique_ptr<MediaPlayback> m_player;

    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }
    void play(const char* name) { m_player->load(QUrl::fromLocalFile(path(name)), true); }
    bool underWay() const { return m_heard.position >= 300; }

    // A pipe that is open for writing but never written: whatever reads it waits for ever, as
    // on a network share that stopped answering.
    int hangingSource(const QByteArray& name = "pipe.wav")
    {
        const QByteArray pipe = QFile::encodeName(path(name.constData()));
        mkfifo(pipe.constData(), 0600);
        const int writer = open(pipe.constData(), O_RDWR);
        play(name.constData());
        return writer;
    }

private slots:
    void initTestCase()
    {
        gst_init(nullptr, nullptr);
        g_object_new(pipeline_counter_get_type(), nullptr); // kept by the hooks
        QVERIFY(m_dir.isValid());
        QVERIFY(soundfiles::writeWav(path("tone.wav"), 3000));
        QVERIFY(soundfiles::writeMidi(path("tune.mid"), 8));
        QVERIFY(soundfiles::encodeTone(path("tone.mp3"), 1000, {QStringLiteral("lamemp3enc")}));
        QVERIFY(soundfiles::writeBytes(path("letter.wav"), "Dear Santa, this is no sound.\n"));
        QPluginLoader loader(QStringLiteral(CORVALO_PLUGIN_BUILD_DIR "/libcorvalo_media.so"));
        auto* backend = qobject_cast<MediaBackend*>(loader.instance());
        QVERIFY2(backend, qPrintable(loader.errorString()));
        m_player.reset(backend->createPlayback(&m_heard));
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
        m_heard.position = 0;
        play(name.constData());
        QTRY_VERIFY_WITH_TIMEOUT(underWay() || m_heard.failures > failures, 10000);
        QCOMPARE(m_heard.failures, failures + failing);
        QVERIFY(mapped().contains(library));
        // Sound only: no video path and no graphics library behind one, and FFmpeg only for
        // what nothing else plays.
        for (const char* unwanted : {"libvulkan", "libLLVM", "libz3", "libgstgl", "libgstvulkan",
                                     "libgstopengl", "libavcodec"})
            QVERIFY2(!mapped().contains(unwanted), unwanted);
        // Time for a second report of one failure to come, had it been sent.
        m_heard.position = 0;
        play("tone.wav");
        QTRY_VERIFY(underWay());
        QCOMPARE(m_heard.failures, failures + failing);
    }

    void followsPauseSeekAndTheEnd()
    {
        play("tone.wav");
        QTRY_VERIFY(underWay());
        m_player->pause();
        m_player->seek(2000);
        m_player->resume();
        m_heard.positions.clear();
        const int endings = m_heard.endings;
        QTRY_COMPARE_WITH_TIMEOUT(m_heard.endings, endings + 1, 5000);
        QVERIFY(!m_heard.positions.isEmpty());
        for (qint64 ms : m_heard.positions) // not one report from before the seek
            QVERIFY2(ms >= 2000, qPrintable(QString::number(ms)));
    }

    // Each source gets a pipeline of its own, and the one it replaces is gone, loading or not,
    // even one stuck reading a pipe, which its thread alone waits for.
    void keepsOnePipeline_data()
    {
        QTest::addColumn<bool>("hanging");
        QTest::newRow("ten plays") << false;
        QTest::newRow("ten sources that never answer") << true;
    }

    void keepsOnePipeline()
    {
        QFETCH(bool, hanging);
        const int failures = m_heard.failures;
        QList<int> writers;
        for (int i = 0; i < 10; ++i) {
            const QByteArray pipe = "pipe" + QByteArray::number(i) + ".wav";
            if (hanging) {
                writers << hangingSource(pipe);
                QTRY_COMPARE(openedTimes(path(pipe.constData())), 2); // written, and read
            }
            m_heard.position = 0;
            play(i % 2 ? "tune.mid" : "tone.wav");
            QTRY_VERIFY(underWay());
        }
        QCOMPARE(m_heard.failures, failures);
        for (int writer : writers)
            close(writer); // the pipe ends, and what read it can go
        for (int i = 0; i < writers.size(); ++i)
            QTRY_COMPARE(openedTimes(path(("pipe" + QByteArray::number(i) + ".wav").constData())),
                         0);
        QTRY_COMPARE(pipelines, 1);
    }

    // A source that the pipeline before still reads, stuck, is not opened again (on a share that
    // stopped answering, that open could wait beyond the program's end): it fails, and what comes
    // next plays.
    void aSourceStillHeldIsNotOpenedAgain()
    {
        const int writer = hangingSource();
        QTRY_VERIFY(readingPipe());
        const int failures = m_heard.failures;
        play("pipe.wav");
        QTRY_COMPARE_WITH_TIMEOUT(m_heard.failures, failures + 1, 10000);
        m_heard.position = 0;
        play("tone.wav");
        QTRY_VERIFY(underWay());
        close(writer);
    }

    // A program whose player waits on a source that never answers ends all the same: run as a
    // child, this test plays such a source and returns.
    void endsWhileASourceHangs()
    {
        if (qEnvironmentVariableIsSet("CORVALO_HANGING_CHILD")) {
            hangingSource();
            QTRY_COMPARE(openedTimes(path("pipe.wav")), 2); // read, and waiting
            return;
        }
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("CORVALO_HANGING_CHILD"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("endsWhileASourceHangs")});
        QVERIFY(child.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT(
            (said += child.readAllStandardOutput()).contains("PASS   : RealMediaTest::endsWhile"),
            20000);
        QElapsedTimer clock;
        clock.start();
        QVERIFY2(child.state() == QProcess::NotRunning || child.waitForFinished(10000),
                 "the program waits for a source that never answers");
        qInfo("ended %lld ms after its last test", clock.elapsed());
        QCOMPARE(child.exitCode(), 0);
    }
};

QTEST_MAIN(RealMediaTest)
#include "realmedia_test.moc"

// The media stack: GStreamer behind MediaBackend, built as a plugin of its own so that the
// program loads it only when the first sound is played.
#include "mediabackend.h"
#include "pipeline.h"

#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QStandardPaths>

#include <algorithm>
#include <memory>
#include <mutex>
#include <thread>

#include <dlfcn.h>

namespace {

using namespace corvalo::media;

// GStreamer keeps what it learnt of its plugins in a registry file, by default under the user's
// home. Corvalo writes nothing there: it reads the registry kept beside this plugin in a build
// tree, or the one its package keeps up to date, and without either it learns the plugins afresh
// into memory, where nothing can write them back.
void chooseRegistry()
{
    if (qEnvironmentVariableIsSet("GST_REGISTRY") || qEnvironmentVariableIsSet("GST_REGISTRY_1_0"))
        return;
    Dl_info self;
    const QString beside = dladdr(reinterpret_cast<void*>(&chooseRegistry), &self)
                               ? QFileInfo(QFile::decodeName(self.dli_fname)).absolutePath() +
                                     QStringLiteral("/gstreamer-registry.bin")
                               : QString();
    const QString packaged = QStringLiteral(CORVALO_GST_REGISTRY);
    // GStreamer makes the folder of a registry it cannot write, and narrows its mode if it
    // exists: a folder that /proc will never hold is one nothing can be done to.
    const QString found = QFile::exists(beside) ? beside
                          : QFile::exists(packaged)
                              ? packaged
                              : QStringLiteral("/proc/self/none/registry.bin");
    qputenv("GST_REGISTRY", QFile::encodeName(found));
}

// FFmpeg comes with a hundred libraries (the Vulkan loader, VA-API and OpenCL among them), 30 to
// 40 MiB, so it is loaded only for what nothing else plays, such as WMA. Its MP3 decoder ranks
// with mpg123's and would win by name. Its type finders name only game and console formats the
// music manager does not offer, yet they would load FFmpeg to look at any file nothing else names
// for certain; done once here, before any pipeline runs, since once FFmpeg is loaded for a WMA
// they cost nothing more.
void keepFfmpegAside()
{
    GstRegistry* registry = gst_registry_get();
    if (GstPluginFeature* mp3 = gst_registry_lookup_feature(registry, "mpg123audiodec")) {
        gst_plugin_feature_set_rank(mp3, GST_RANK_PRIMARY);
        gst_object_unref(mp3);
    }
    GList* features = gst_registry_get_feature_list_by_plugin(registry, "libav");
    for (GList* feature = features; feature; feature = feature->next)
        if (GST_IS_TYPE_FIND_FACTORY(feature->data))
            gst_registry_remove_feature(registry, GST_PLUGIN_FEATURE(feature->data));
    gst_plugin_feature_list_free(features);
}

// Without a sound server of the PulseAudio kind (PipeWire's among them), whose socket lies in the
// user's runtime folder (or the system's), its client library would make that folder's "pulse"
// on the way to finding none, through GStreamer's PulseAudio output or OpenAL's: the sound goes
// to ALSA at once instead.
bool hasPulseServer()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return qEnvironmentVariableIsSet("PULSE_SERVER") ||
           (!runtime.isEmpty() && QFile::exists(runtime + QStringLiteral("/pulse/native"))) ||
           QFile::exists(QStringLiteral("/run/pulse/native"));
}

void keepPulseAside()
{
    for (const char* sink : {"pulsesink", "openalsink"})
        if (GstPluginFeature* feature = gst_registry_lookup_feature(gst_registry_get(), sink)) {
            gst_plugin_feature_set_rank(feature, GST_RANK_NONE);
            gst_object_unref(feature);
        }
}

// GStreamer's start reads or builds the plugin registry, which may take a second: it runs on a
// thread of its own, once, and says when it is done on the thread that asked.
class GstStart : public QObject {
    Q_OBJECT
public:
    GstStart()
    {
        m_told->start = this;
        chooseRegistry();
        auto told = m_told;
        std::thread([told, pulse = hasPulseServer()] {
            GError* error = nullptr;
            const bool ok = gst_init_check(nullptr, nullptr, &error);
            if (ok)
                keepFfmpegAside();
            if (ok && !pulse)
                keepPulseAside();
            const QString problem =
                ok ? QString() : QString::fromUtf8(error ? error->message : "GStreamer failed.");
            g_clear_error(&error);
            std::lock_guard lock(told->lock);
            if (told->start)
                QMetaObject::invokeMethod(
                    told->start, [start = told->start, problem] { start->finish(problem); },
                    Qt::QueuedConnection);
        }).detach();
    }
    ~GstStart() override
    {
        std::lock_guard lock(m_told->lock);
        m_told->start = nullptr;
    }

    bool isDone() const { return m_done; }
    QString problem() const { return m_problem; }

signals:
    void done();

private:
    void finish(const QString& problem)
    {
        m_done = true;
        m_problem = problem;
        emit done();
    }

    struct Told {
        std::mutex lock;
        GstStart* start = nullptr;
    };
    std::shared_ptr<Told> m_told = std::make_shared<Told>();
    bool m_done = false;
    QString m_problem;
};

// The player as the program sees it: a new pipeline for each source, the one before dropped as
// it stands, loading or not.
class Playback : public QObject, public MediaPlayback {
public:
    Playback(GstStart* start, SourceHolds* holds, MediaListener* listener, QByteArray soundFont)
        : m_start(start), m_listener(listener)
    {
        m_settings.soundFont = std::move(soundFont);
        m_settings.holds = holds;
    }

    void load(const QUrl& source, bool play) override
    {
        m_pipeline.reset();
        m_source = source;
        m_play = play;
        m_seekTo = -1;
        if (m_start->isDone())
            begin();
        else
            connect(m_start, &GstStart::done, this, &Playback::begin, Qt::UniqueConnection);
    }
    void pause() override { setPlaying(false); }
    void resume() override { setPlaying(true); }
    void stop() override
    {
        m_pipeline.reset();
        m_source.clear();
    }
    void seek(qint64 ms) override
    {
        if (m_pipeline)
            m_pipeline->seek(ms);
        else
            m_seekTo = ms;
    }
    void setVolume(int volume) override
    {
        m_settings.volume = std::clamp(volume, 0, 100);
        if (m_pipeline)
            m_pipeline->setVolume(m_settings.volume, m_settings.muted);
    }
    void setMuted(bool muted) override
    {
        m_settings.muted = muted;
        if (m_pipeline)
            m_pipeline->setVolume(m_settings.volume, m_settings.muted);
    }

private:
    void setPlaying(bool play)
    {
        m_play = play;
        if (m_pipeline)
            m_pipeline->setPlaying(play);
    }

    void begin()
    {
        if (m_source.isEmpty() || m_pipeline)
            return;
        if (!m_start->problem().isEmpty()) {
            m_source.clear();
            m_listener->failed(Failure::Other, m_start->problem());
            return;
        }
        m_pipeline = std::make_unique<Pipeline>(m_source, m_play, m_settings, m_listener);
        if (m_seekTo >= 0)
            m_pipeline->seek(std::exchange(m_seekTo, -1));
    }

    GstStart* const m_start;
    MediaListener* const m_listener;
    Pipeline::Settings m_settings;
    std::unique_ptr<Pipeline> m_pipeline;
    QUrl m_source;
    bool m_play = false;
    qint64 m_seekTo = -1; // asked for while GStreamer was starting
};

} // namespace

class MediaModule : public QObject, public MediaBackend {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CorvaloMediaBackend_iid)
    Q_INTERFACES(MediaBackend)
public:
    MediaModule()
        : m_soundFont(QFile::encodeName(QStandardPaths::locate(
              QStandardPaths::GenericDataLocation, QStringLiteral("sounds/sf2/TimGM6mb.sf2"))))
    {}

    MediaPlayback* createPlayback(MediaListener* listener) override
    {
        return new Playback(&m_start, &m_holds, listener, m_soundFont);
    }

private:
    GstStart m_start;
    SourceHolds m_holds;
    const QByteArray m_soundFont;
};

#include "mediaplugin.moc"

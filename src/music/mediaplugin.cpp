// The media stack: GStreamer behind MediaBackend, built as a plugin of its own so that the
// program loads it only when the first sound is played.
#include "audiopipeline.h"
#include "mediabackend.h"

#include <QCoreApplication>
#include <QFile>
#include <QObject>
#include <QStandardPaths>
#include <QThreadPool>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace {

using namespace corvalo::music;

// How often a playing source's position is asked for.
constexpr int positionInterval = 100;

// The player as the program sees it. Its state is what was asked for last, at once; the pipeline
// behind it catches up on its own threads. Each source, and each new try at one that failed or
// ended, gets a pipeline of its own: the one before is dropped as it stands, loading or not.
class Playback : public QObject, public MediaPlayback {
public:
    Playback(QObject* parent, MediaListener* listener, QThreadPool* workers, QByteArray soundFont)
        : QObject(parent), m_listener(listener), m_workers(workers), m_soundFont(soundFont)
    {
        m_ticker.setInterval(positionInterval);
        connect(&m_ticker, &QTimer::timeout, this, [this] {
            if (m_pipeline)
                m_pipeline->askPosition();
        });
    }
    ~Playback() override { drop(); }

    void load(const QUrl& source) override
    {
        drop();
        m_source = source;
        m_startAt = 0;
        setPositionTo(0);
        setDuration(0);
        setSeekable(false);
        setState(PlaybackState::Stopped);
        if (source.isEmpty()) {
            setStatus(MediaStatus::NoMedia);
            return;
        }
        begin(AudioPipeline::Target::Paused);
    }
    QUrl source() const override { return m_source; }
    void play() override
    {
        if (m_source.isEmpty())
            return;
        if (m_pipeline) {
            if (!m_buffering)
                m_pipeline->setTarget(AudioPipeline::Target::Playing);
        } else {
            begin(AudioPipeline::Target::Playing);
        }
        setState(PlaybackState::Playing);
        m_ticker.start();
    }
    void pause() override
    {
        if (m_source.isEmpty())
            return;
        if (m_pipeline)
            m_pipeline->setTarget(AudioPipeline::Target::Paused);
        else
            begin(AudioPipeline::Target::Paused);
        setState(PlaybackState::Paused);
        m_ticker.stop();
    }
    void stop() override
    {
        drop();
        m_startAt = 0;
        setPositionTo(0);
        setState(PlaybackState::Stopped);
        if (m_status != MediaStatus::NoMedia && m_status != MediaStatus::Invalid)
            setStatus(MediaStatus::Loaded);
    }
    void setPosition(qint64 ms) override
    {
        ms = std::max<qint64>(ms, 0);
        if (m_pipeline) {
            m_pipeline->seek(ms);
            ++m_seeks;
        } else
            m_startAt = ms;
        setPositionTo(ms);
    }
    qint64 position() const override { return m_position; }
    PlaybackState state() const override { return m_state; }
    MediaStatus status() const override { return m_status; }
    void setVolume(int volume) override
    {
        m_volume = std::clamp(volume, 0, 100);
        if (m_pipeline)
            m_pipeline->setVolume(m_volume, m_muted);
    }
    int volume() const override { return m_volume; }
    void setMuted(bool muted) override
    {
        m_muted = muted;
        if (m_pipeline)
            m_pipeline->setVolume(m_volume, m_muted);
    }
    bool isMuted() const override { return m_muted; }

private:
    void begin(AudioPipeline::Target target)
    {
        const quint64 attempt = ++m_attempts;
        m_pipeline = AudioPipeline::start(
            m_workers, m_source, m_soundFont, this,
            [this, attempt](const PipelineReport& report) {
                if (attempt == m_attempts)
                    take(report);
            },
            target, m_startAt, m_volume, m_muted);
        m_seeks = m_startAt > 0 ? 1 : 0;
        setPositionTo(std::exchange(m_startAt, 0));
        setStatus(MediaStatus::Loading);
    }

    // The pipeline goes its way on a worker, never waited for; what it still says is stale.
    void drop()
    {
        ++m_attempts;
        m_ticker.stop();
        m_buffering = false;
        if (m_pipeline)
            std::exchange(m_pipeline, nullptr)->dispose();
    }

    void take(const PipelineReport& report)
    {
        switch (report.kind) {
        case PipelineReport::Loaded:
            if (m_status == MediaStatus::Loading)
                setStatus(MediaStatus::Loaded);
            break;
        case PipelineReport::Started:
            if (!m_buffering)
                setStatus(MediaStatus::Started);
            break;
        case PipelineReport::Ended:
            drop();
            if (m_duration > 0)
                setPositionTo(m_duration);
            setStatus(MediaStatus::Ended);
            setState(PlaybackState::Stopped);
            break;
        case PipelineReport::Failed:
            drop();
            // Told first, so the owner learns why before it sees the source given up.
            m_listener->failed(report.failure, report.detail);
            setStatus(MediaStatus::Invalid);
            setState(PlaybackState::Stopped);
            break;
        case PipelineReport::Buffering:
            // A stream that runs short waits, paused, until it has enough to go on.
            m_buffering = report.value < 100;
            if (m_state == PlaybackState::Playing)
                m_pipeline->setTarget(m_buffering ? AudioPipeline::Target::Paused
                                                  : AudioPipeline::Target::Playing);
            if (m_status == MediaStatus::Started || m_status == MediaStatus::Stalled)
                setStatus(m_buffering ? MediaStatus::Stalled : MediaStatus::Started);
            break;
        case PipelineReport::Position:
            // Paused, the position stands where it was last told, not a step later; and one
            // asked for before the last seek is old news.
            if (m_state == PlaybackState::Playing && report.seeks == m_seeks)
                setPositionTo(report.value);
            break;
        case PipelineReport::Duration:
            setDuration(report.value);
            break;
        case PipelineReport::Seekable:
            setSeekable(report.value != 0);
            break;
        }
    }

    void setState(PlaybackState state)
    {
        if (std::exchange(m_state, state) != state)
            m_listener->stateChanged(state);
    }
    void setStatus(MediaStatus status)
    {
        if (std::exchange(m_status, status) != status)
            m_listener->statusChanged(status);
    }
    void setPositionTo(qint64 ms)
    {
        if (std::exchange(m_position, ms) != ms)
            m_listener->positionChanged(ms);
    }
    void setDuration(qint64 ms)
    {
        if (std::exchange(m_duration, ms) != ms)
            m_listener->durationChanged(ms);
    }
    void setSeekable(bool seekable)
    {
        if (std::exchange(m_seekable, seekable) != seekable)
            m_listener->seekableChanged(seekable);
    }

    MediaListener* const m_listener;
    QThreadPool* const m_workers;
    const QByteArray m_soundFont;
    std::shared_ptr<AudioPipeline> m_pipeline;
    quint64 m_attempts = 0; // reports of earlier attempts are stale
    quint64 m_seeks = 0;    // asked of this attempt's pipeline
    QTimer m_ticker;
    QUrl m_source;
    PlaybackState m_state = PlaybackState::Stopped;
    MediaStatus m_status = MediaStatus::NoMedia;
    qint64 m_position = 0;
    qint64 m_duration = 0;
    qint64 m_startAt = 0; // where the next pipeline starts
    bool m_seekable = false;
    bool m_buffering = false;
    int m_volume = 100;
    bool m_muted = false;
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
    {
        // Enough threads that a source stuck opening (a pipe, a dead network share) holds up
        // none of those after it.
        m_workers.setMaxThreadCount(8);
        // Pipelines dropped last are torn down before the program ends, if they let themselves.
        if (QCoreApplication* app = QCoreApplication::instance())
            connect(app, &QObject::destroyed, this, [this] { m_workers.waitForDone(2000); });
    }

    MediaPlayback* createPlayback(QObject* parent, MediaListener* listener) override
    {
        return new Playback(parent, listener, &m_workers, m_soundFont);
    }

private:
    const QByteArray m_soundFont; // empty: the synthesiser looks for one itself
    QThreadPool m_workers;
};

#include "mediaplugin.moc"

#pragma once

#include "mediabackend.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>
#include <utility>

#include <gst/gst.h>

class QThreadPool;

namespace corvalo::music {

// What a pipeline tells its player.
struct PipelineReport {
    enum Kind { Loaded, Started, Ended, Failed, Buffering, Position, Duration, Seekable };
    PipelineReport(Kind kind, qint64 value = 0, quint64 seeks = 0)
        : kind(kind), value(value), seeks(seeks)
    {}
    PipelineReport(MediaFailure failure, QString detail)
        : kind(Failed), failure(failure), detail(std::move(detail))
    {}
    Kind kind;
    qint64 value = 0;  // milliseconds, a percentage or a flag, after the kind
    quint64 seeks = 0; // for a position: how many seeks it comes after
    MediaFailure failure = MediaFailure::Other;
    QString detail;
};

// One attempt at one source: GStreamer's playbin asked for sound alone, so that no video path
// (and no graphics library behind one) is ever built. Every GStreamer call, from start-up to
// tear-down, runs on a worker thread of the given pool, one at a time for each pipeline; the
// owner only states what it wants and never waits. Reports reach the owner through its event
// loop, until dispose().
class AudioPipeline : public std::enable_shared_from_this<AudioPipeline> {
public:
    enum class Target { Paused, Playing };
    using Deliver = std::function<void(const PipelineReport&)>;

    static std::shared_ptr<AudioPipeline> start(QThreadPool* workers, const QUrl& source,
                                                QByteArray soundFont, QObject* owner,
                                                Deliver deliver, Target target, qint64 fromMs,
                                                int volume, bool muted);
    ~AudioPipeline();
    AudioPipeline(const AudioPipeline&) = delete;
    AudioPipeline& operator=(const AudioPipeline&) = delete;

    void setTarget(Target target);
    void seek(qint64 ms);
    void setVolume(int volume, bool muted);
    void askPosition();
    // Reports stop at once; the pipeline is torn down on a worker, however long that takes.
    void dispose();

private:
    AudioPipeline(QThreadPool* workers, const QUrl& source, QByteArray soundFont, QObject* owner,
                  Deliver deliver);

    void schedule(); // with m_lock held
    void work();
    QString build(); // what went wrong, if anything
    void tearDown();
    void post(PipelineReport report); // with m_lock held
    static GstBusSyncReply onMessage(GstBus* bus, GstMessage* message, gpointer self);
    static void onElementSetup(GstElement* bin, GstElement* element, gpointer self);
    static gboolean onAutoplug(GstElement* decoder, GstPad* pad, GstCaps* caps, gpointer);

    QThreadPool* const m_workers;
    const QUrl m_source;
    const QByteArray m_soundFont;

    std::mutex m_lock; // guards what follows, up to the worker's own state
    QObject* m_owner;  // nullptr once disposed
    Deliver m_deliver;
    Target m_target = Target::Paused;
    qint64 m_seekTo = -1;
    quint64 m_seeks = 0; // asked for
    int m_volume = 100;
    bool m_muted = false;
    bool m_volumeChanged = true;
    bool m_positionWanted = false;
    bool m_detailsWanted = false; // duration and seekability
    bool m_prerolled = false;
    bool m_failed = false;
    bool m_disposed = false;
    bool m_working = false; // a worker has the pipeline

    // The worker's own: touched by one worker at a time.
    GstElement* m_bin = nullptr;
    bool m_built = false;
    bool m_started = false;
    Target m_applied = Target::Paused;
};

} // namespace corvalo::music

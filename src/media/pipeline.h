#pragma once

#include "mediabackend.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <QHash>

#include <condition_variable>
#include <memory>
#include <mutex>

#include <gst/gst.h>

class QSocketNotifier;

namespace corvalo::media {

// Which sources the pipelines dropped last are still letting go of. A file opened again while the
// read before is stuck can wait for ever in a way nothing ends, not even the program's end (on a
// FUSE share the second open waits on the first read), so a new pipeline opens a source only once
// the one before it has let go, and gives up if that does not come.
class SourceHolds {
public:
    struct Hold {
        std::mutex lock;
        std::condition_variable released;
        bool done = false;
    };
    // The new pipeline's hold on the source, and the one before it, if it still holds the source.
    std::pair<std::shared_ptr<Hold>, std::shared_ptr<Hold>> take(const QUrl& source);

private:
    QHash<QUrl, std::weak_ptr<Hold>> m_last;
};

// One playbin for one source, asked for sound alone so that no video path (and no graphics
// library behind one) is ever built. The thread that made it decides everything and reads the
// bus, through the bus's descriptor, so every report reaches the listener there. Only the calls
// that may wait on the source leave it: a state change opens the file (an open on a share that
// stopped answering never returns), and a seek or the end waits for the source's thread. Those run
// in order on a thread of the pipeline's own, which nobody waits for: deleting the pipeline asks
// that thread to tear the bin down, and a source stuck in a read holds that thread alone.
class Pipeline : public QObject {
public:
    struct Settings {
        int volume = 100;
        bool muted = false;
        QByteArray soundFont; // empty: the synthesiser looks for one itself
        SourceHolds* holds = nullptr;
    };

    Pipeline(const QUrl& source, bool play, const Settings& settings, MediaListener* listener);
    ~Pipeline() override;

    void setPlaying(bool play);
    void seek(qint64 ms);
    void setVolume(int volume, bool muted);

private:
    void readBus();
    void take(GstMessage* message);
    void applyState();
    void reportProgress();
    void fail(Failure kind, const QString& text);

    class Driver; // the pipeline's own thread
    std::shared_ptr<Driver> m_driver;
    MediaListener* const m_listener;
    const QUrl m_source;
    GstElement* m_bin = nullptr;
    GstBus* m_bus = nullptr;
    QSocketNotifier* m_busReady = nullptr;
    QTimer m_ticker;
    bool m_play;
    bool m_prerolled = false;
    bool m_buffering = false;
    bool m_seeking = false; // positions are stale until the seek is done
    bool m_done = false;    // ended or failed: nothing more is said
    qint64 m_seekTo = -1;   // asked for before the source could seek
    qint64 m_position = -1;
    qint64 m_duration = 0;
    bool m_seekable = false;
};

} // namespace corvalo::media

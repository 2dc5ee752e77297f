#pragma once

#include "mediabackend.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <gst/gst.h>

class QSocketNotifier;

namespace corvalo::media {

// One playbin for one source, asked for sound alone so that no video path (and no graphics
// library behind one) is ever built. It is driven from the thread that made it, which also reads
// its bus, through the bus's descriptor, so every report reaches the listener there. Deleting it
// hands the bin to a thread of its own to be torn down, which nobody waits for: a source stuck
// in a read that never returns holds that thread alone.
class Pipeline : public QObject {
public:
    struct Settings {
        int volume = 100;
        bool muted = false;
        QByteArray soundFont; // empty: the synthesiser looks for one itself
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

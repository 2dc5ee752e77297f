#pragma once

#include <QString>
#include <QtPlugin>
#include <QUrl>

class QObject;

namespace corvalo::media {

enum class Failure { Format, Network, AccessDenied, Other };

// What a playback tells its owner, on the owner's thread. Each source loaded gets at most one of
// ended() and failed(); nothing is said of a source after another is loaded or it is stopped.
class MediaListener {
public:
    virtual void started() = 0; // sound is flowing
    virtual void ended() = 0;
    virtual void failed(Failure kind, const QString& text) = 0;
    // Milliseconds; a duration of 0 is not known yet.
    virtual void progressed(qint64 position, qint64 duration, bool seekable) = 0;
    virtual void titled(const QString& title) = 0; // the source's own title tag
    // Its artist and album tags, either empty where this report does not name it.
    virtual void tagged(const QString& artist, const QString& album) = 0;

protected:
    ~MediaListener() = default;
};

// One player with its sound output. Every call returns at once, whatever the source does.
class MediaPlayback {
public:
    virtual ~MediaPlayback() = default;
    // Replaces whatever was loaded, even by the same source; paused at its start unless play.
    virtual void load(const QUrl& source, bool play) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void stop() = 0; // lets the source go; a load() starts it again
    virtual void seek(qint64 ms) = 0;
    virtual void setVolume(int volume) = 0; // 0 to 100
    virtual void setMuted(bool muted) = 0;
};

} // namespace corvalo::media

// What the media plugin offers the program: players built inside it on GStreamer, so that
// neither the program nor its start-up links the media stack.
class MediaBackend {
public:
    virtual ~MediaBackend() = default;
    // A new player owned by the caller, reporting to listener until it is deleted.
    virtual corvalo::media::MediaPlayback*
    createPlayback(corvalo::media::MediaListener* listener) = 0;
};

#define CorvaloMediaBackend_iid "example.corvalo.MediaBackend/3"
Q_DECLARE_INTERFACE(MediaBackend, CorvaloMediaBackend_iid)

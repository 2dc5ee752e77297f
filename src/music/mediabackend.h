#pragma once

#include <QString>
#include <QtPlugin>
#include <QUrl>

class QObject;

namespace corvalo::music {

enum class PlaybackState { Stopped, Playing, Paused };

// How far the current source has got; Started is sound actually flowing.
enum class MediaStatus { NoMedia, Loading, Loaded, Started, Stalled, Ended, Invalid };

enum class MediaFailure { Format, Network, AccessDenied, Other };

// What a player tells its owner, from the player's own signals on the user-interface thread.
class MediaListener {
public:
    virtual void stateChanged(PlaybackState state) = 0;
    virtual void statusChanged(MediaStatus status) = 0;
    virtual void durationChanged(qint64 ms) = 0;
    virtual void positionChanged(qint64 ms) = 0;
    virtual void seekableChanged(bool seekable) = 0;
    virtual void failed(MediaFailure failure, const QString& detail) = 0;

protected:
    ~MediaListener() = default;
};

// One player with its sound output.
class MediaPlayback {
public:
    // Hands the source to the player afresh, even when it is the one it already holds.
    virtual void load(const QUrl& source) = 0;
    virtual QUrl source() const = 0;
    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void stop() = 0;
    virtual void setPosition(qint64 ms) = 0;
    virtual qint64 position() const = 0;
    virtual PlaybackState state() const = 0;
    virtual MediaStatus status() const = 0;
    virtual void setVolume(int volume) = 0; // 0 to 100
    virtual int volume() const = 0;
    virtual void setMuted(bool muted) = 0;
    virtual bool isMuted() const = 0;

protected:
    ~MediaPlayback() = default;
};

} // namespace corvalo::music

// What the media plugin offers the program: players built inside it on GStreamer, so that
// neither the program nor its start-up links the media stack.
class MediaBackend {
public:
    virtual ~MediaBackend() = default;
    // A new player owned by parent (deleted with it), reporting to listener until then.
    virtual corvalo::music::MediaPlayback*
    createPlayback(QObject* parent, corvalo::music::MediaListener* listener) = 0;
};

#define CorvaloMediaBackend_iid "example.corvalo.MediaBackend/1"
Q_DECLARE_INTERFACE(MediaBackend, CorvaloMediaBackend_iid)

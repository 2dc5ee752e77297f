#pragma once

#include "look/failurebox.h"
#include "media/mediabackend.h"

#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>
#include <memory>

class PlayerStrip;

// Plays sound files and playlists through a PlayerStrip. The media stack is a plugin, loaded
// through the given loader for the first file played; the player it makes belongs to this object.
class MusicPlayer : public QObject, private corvalo::media::MediaListener {
    Q_OBJECT
public:
    // Loads the media plugin; nullptr with *why set to a sentence for the user if it cannot.
    using BackendLoader = std::function<MediaBackend*(QString* why)>;

    enum class State {
        Empty,   // nothing to play
        Playing, // the current entry was handed over and asked to play (it may still be loading)
        Paused,
        Stopped, // holding an entry that Play starts: stopped by the user, or through and rewound
        Ended,   // the current entry played to its end; the next step is on its way
        Failed,  // the current entry cannot be played; the next step is on its way
    };

    explicit MusicPlayer(PlayerStrip* strip, QObject* parent = nullptr);
    ~MusicPlayer() override;

    void setBackendLoader(BackendLoader loader) { m_loader = std::move(loader); }

    // Starts playing a sound file or a playlist at once, in place of what played before. What
    // cannot be played is reported in a message box: a file at once, a playlist's entries
    // together, once a later entry plays or the list is through. The player has at most one such
    // box open; what fails while it is open is added to it.
    void setLocation(const QString& path);

    State state() const { return m_state; }
    PlayerStrip* strip() const { return m_strip; }
    corvalo::media::MediaPlayback* playback() const { return m_playback.get(); } // once played
    QList<QUrl> queue() const { return m_queue; }
    int currentIndex() const { return m_index; }

    // The current entry as the desktop's media controls show it: empty while Empty.
    QUrl source() const;
    QString title() const;                      // its title tag, else its file name
    QString artist() const { return m_artist; } // its tags; empty where it names none
    QString album() const { return m_album; }
    qint64 position() const { return m_position; }
    qint64 duration() const { return m_duration; }
    bool isSeekable() const { return m_seekable; }
    int volume() const { return m_volume; }
    bool isMuted() const { return m_muted; }
    bool hasNext() const;     // within a playlist
    bool hasPrevious() const; // within a playlist

    // What the strip's buttons do, for the other ways of asking.
    void play();
    void pause();
    void playPause(); // what a Play/Pause key does
    void stop();
    void seek(qint64 ms);
    void next();
    void previous();
    void setVolume(int volume);
    void setMuted(bool muted);

signals:
    // Each source handed to the player, in turn.
    void sourceChanged(const QUrl& source);
    void stateChanged(MusicPlayer::State state);
    // The current entry's tags or length became known, or another entry became current.
    void trackChanged();
    void seeked(qint64 ms); // a jump, not the steady progress
    void seekableChanged(bool seekable);
    void volumeChanged(int volume);

private:
    struct Failure {
        QString what;     // the file or address, as the user knows it
        QString reason;   // a sentence for the user
        QString detail;   // the media stack's own words
        QString playlist; // the playlist it was an entry of, if any
    };
    enum class Event { Play, Pause, Stop, Started, Ended, Failed, MoveOn };

    void handle(Event event, const Failure* failure = nullptr);
    void enter(State state);
    void stepLater();
    bool ensurePlayback(const QString& what);
    void playEntry(int index);
    void rewind();
    void clear();
    void fail(Failure failure);
    void reportPending();
    void report(const QList<Failure>& failures);
    void showProgress(qint64 position, qint64 duration, bool seekable);
    void forgetTags(); // another entry, or none, is current

    void started() override;
    void ended() override;
    void failed(corvalo::media::Failure kind, const QString& text) override;
    void progressed(qint64 position, qint64 duration, bool seekable) override;
    void titled(const QString& title) override;
    void tagged(const QString& artist, const QString& album) override;

    PlayerStrip* m_strip;
    BackendLoader m_loader;
    std::unique_ptr<corvalo::media::MediaPlayback> m_playback;
    State m_state = State::Empty;
    QList<QUrl> m_queue;
    QString m_playlist; // the playlist's path while one plays
    int m_index = -1;
    QString m_title; // the current entry's title tag
    QString m_artist;
    QString m_album;
    qint64 m_position = 0;
    qint64 m_duration = 0;
    bool m_seekable = false;
    int m_volume = 50;
    bool m_muted = false;
    // The next step is taken outside the player's own signals; a newer step cancels an older one.
    quint64 m_step = 0;
    // The playlist's failed entries not shown yet.
    QList<Failure> m_pending;
    corvalo::FailureBox m_failures;
};

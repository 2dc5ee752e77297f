#pragma once

#include "mediabackend.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QUrl>

#include <functional>

class PlayerStrip;
class QMessageBox;

// Plays sound files and playlists through a PlayerStrip. The media stack is a plugin, loaded
// through the given loader for the first file played; the player it makes belongs to this object.
class MusicPlayer : public QObject, private corvalo::music::MediaListener {
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

    void setBackendLoader(BackendLoader loader) { m_loader = std::move(loader); }

    // Starts playing a sound file or a playlist at once, in place of what played before. What
    // cannot be played is reported in a message box: a file at once, a playlist's entries
    // together, once a later entry plays or the list is through. The player has at most one such
    // box open; what fails while it is open is added to it.
    void setLocation(const QString& path);

    State state() const { return m_state; }
    PlayerStrip* strip() const { return m_strip; }
    corvalo::music::MediaPlayback* playback() const { return m_playback; } // nullptr until played
    QList<QUrl> queue() const { return m_queue; }
    int currentIndex() const { return m_index; }

signals:
    // Each source handed to the player, in turn.
    void sourceChanged(const QUrl& source);

private:
    struct Failure {
        QString what;     // the file or address, as the user knows it
        QString reason;   // a sentence for the user
        QString detail;   // the media stack's own words
        QString playlist; // the playlist it was an entry of, if any
        bool operator==(const Failure&) const = default;
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
    void setVolume(int volume);
    void setMuted(bool muted);

    void stateChanged(corvalo::music::PlaybackState state) override;
    void statusChanged(corvalo::music::MediaStatus status) override;
    void durationChanged(qint64 ms) override;
    void positionChanged(qint64 ms) override;
    void seekableChanged(bool seekable) override;
    void failed(corvalo::music::MediaFailure failure, const QString& detail) override;

    PlayerStrip* m_strip;
    BackendLoader m_loader;
    corvalo::music::MediaPlayback* m_playback = nullptr; // a child of this object
    State m_state = State::Empty;
    QList<QUrl> m_queue;
    QString m_playlist; // the playlist's path while one plays
    int m_index = -1;
    int m_volume = 50;
    bool m_muted = false;
    // Reports that come while an entry is handed over belong to the one it replaces.
    bool m_handingOver = false;
    // The next step is taken outside the player's own signals; a newer step cancels an older one.
    quint64 m_step = 0;
    // The playlist's failed entries not shown yet, and those the open box lists.
    QList<Failure> m_pending;
    QList<Failure> m_shown;
    QPointer<QMessageBox> m_box;
};

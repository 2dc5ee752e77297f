#pragma once

#include "mediabackend.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
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

    explicit MusicPlayer(PlayerStrip* strip, QObject* parent = nullptr);

    void setBackendLoader(BackendLoader loader) { m_loader = std::move(loader); }

    // Starts playing a sound file or a playlist at once, in place of what played before. What
    // cannot be played is reported in a message box: a file at once, a playlist's entries
    // together, once a later entry plays or the list is through.
    void setLocation(const QString& path);

    PlayerStrip* strip() const { return m_strip; }
    corvalo::music::MediaPlayback* playback() const { return m_playback; } // nullptr until played
    QList<QUrl> queue() const { return m_queue; }
    int currentIndex() const { return m_index; }

signals:
    // Each source handed to the player, in turn.
    void sourceChanged(const QUrl& source);

private:
    struct Failure {
        QString what;
        QString reason;
        QString detail; // the media stack's own words
    };
    enum class Next { Nothing, AfterFailure, AfterEnd };

    bool ensurePlayback();
    void playEntry(int index);
    void clear();
    void stop();
    void moveOn();
    void reportFailures();
    QMessageBox* showError(const QString& text);
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
    QList<QUrl> m_queue;
    QString m_playlist; // the playlist's path while one plays
    int m_index = -1;
    int m_volume = 50;
    bool m_muted = false;
    bool m_loading = false;
    bool m_halted = false; // stopped by the user: a late failure report moves nothing on
    // The player's reports are acted on outside its own signals.
    QTimer m_next;
    Next m_nextStep = Next::Nothing;
    bool m_failing = false;
    QString m_failure;
    // The playlist's failed entries in this pass; the first m_reported of them were shown, in
    // m_box while it is open.
    QList<Failure> m_failures;
    qsizetype m_reported = 0;
    QPointer<QMessageBox> m_box;
};

#pragma once

#include "playerstrip.h"

#include <QAudioOutput>
#include <QList>
#include <QMediaPlayer>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QWidget;

// Plays sound files and playlists through a PlayerStrip, which it wires to a QMediaPlayer. The
// media stack is only built for the first file played, and it belongs to the strip's window, so
// closing that window ends playback.
class MusicPlayer : public QObject {
    Q_OBJECT
public:
    explicit MusicPlayer(PlayerStrip* strip);
    ~MusicPlayer() override;

    // A strip with its player, ready to be placed on a window.
    static PlayerStrip* createStrip(QWidget* parent);
    static MusicPlayer* of(const QWidget* strip);

    // Starts playing a sound file or a playlist at once, in place of what played before. What
    // cannot be played is reported in a message box and leaves the player stopped.
    void setLocation(const QString& path);

    PlayerStrip* strip() const { return m_strip; }
    QMediaPlayer* mediaPlayer() const { return m_player; } // nullptr until something is played
    QAudioOutput* audioOutput() const { return m_output; }
    QList<QUrl> queue() const { return m_queue; }
    int currentIndex() const { return m_index; }

private:
    void ensurePlayer();
    void playEntry(int index);
    void clear();
    void onStatus(QMediaPlayer::MediaStatus status);
    void onError(QMediaPlayer::Error error, const QString& detail);
    void reportFailure(quint64 generation, const QString& reason);
    void showError(const QString& what, const QString& reason);
    void setVolume(int volume);
    void setMuted(bool muted);

    PlayerStrip* m_strip;
    QPointer<QMediaPlayer> m_player;
    QPointer<QAudioOutput> m_output;
    QList<QUrl> m_queue;
    int m_index = -1;
    int m_volume = 50;
    bool m_muted = false;
    // Counts what has been handed to the player, so that a late report about an earlier file
    // is not taken for one about the current file.
    quint64 m_generation = 0;
    bool m_failing = false;
};

#pragma once

#include <QWidget>

class QAction;
class QLabel;
class QSlider;
class QToolButton;

// The player's control bar. It only asks (signals) and shows what it is told; MusicPlayer
// connects it to the media stack. It is drawn without the media stack, which is loaded only when
// something is played.
class PlayerStrip : public QWidget {
    Q_OBJECT
public:
    enum class State { Stopped, Playing, Paused };

    explicit PlayerStrip(QWidget* parent = nullptr);

    State state() const { return m_state; }
    int volume() const;
    bool isMuted() const { return m_muted; }
    QString title() const { return m_title; }

    void setState(State state);
    void setMedia(const QString& title, const QString& location); // empty: nothing to play
    void setDuration(qint64 ms);
    void setPosition(qint64 ms);
    void setSeekable(bool seekable);
    void setVolume(int volume); // 0 to 100
    void setMuted(bool muted);

    // "1:05", or "1:02:05" from an hour on.
    static QString formatTime(qint64 ms);

signals:
    void play();
    void pause();
    void stop();
    void seek(qint64 ms);
    void changeVolume(int volume);
    void changeMuting(bool muted);

private:
    void buildControls();
    void buildMenu();
    void togglePlay();
    void nudgeVolume(int by);
    void nudgePosition(qint64 by);
    void refresh();
    void refreshTime();
    void tellPosition(qint64 ms);

    QToolButton* m_playButton = nullptr;
    QToolButton* m_stopButton = nullptr;
    QToolButton* m_muteButton = nullptr;
    QSlider* m_seekSlider = nullptr;
    QSlider* m_volumeSlider = nullptr;
    QLabel* m_titleLabel = nullptr;
    QLabel* m_timeLabel = nullptr;
    QAction* m_playAction = nullptr;
    QAction* m_pauseAction = nullptr;
    QAction* m_stopAction = nullptr;
    QAction* m_backAction = nullptr;
    QAction* m_forwardAction = nullptr;
    QAction* m_muteAction = nullptr;
    QAction* m_louderAction = nullptr;
    QAction* m_softerAction = nullptr;

    State m_state = State::Stopped;
    QString m_title;
    qint64 m_duration = 0;
    qint64 m_position = 0;
    bool m_seekable = false;
    bool m_muted = false;
};

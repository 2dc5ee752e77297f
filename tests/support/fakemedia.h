#pragma once

#include "music/mediabackend.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

namespace testsupport {

// A player that plays nothing and takes its time: a source stays loading until the test calls
// finishLoading(), then fails if its file name starts with "bad", and otherwise sounds until
// reachEnd(). Every call it gets is logged, so a test sees what was asked of it.
class FakePlayback : public QObject, public corvalo::music::MediaPlayback {
public:
    FakePlayback(QObject* parent, corvalo::music::MediaListener* listener);

    void finishLoading();
    void reachEnd();
    bool isLoading() const { return m_status == corvalo::music::MediaStatus::Loading; }
    const QStringList& calls() const { return m_calls; }

    void load(const QUrl& source) override;
    QUrl source() const override { return m_source; }
    void play() override;
    void pause() override;
    void stop() override;
    void setPosition(qint64 ms) override;
    qint64 position() const override { return m_position; }
    corvalo::music::PlaybackState state() const override { return m_state; }
    corvalo::music::MediaStatus status() const override { return m_status; }
    void setVolume(int volume) override { m_volume = volume; }
    int volume() const override { return m_volume; }
    void setMuted(bool muted) override { m_muted = muted; }
    bool isMuted() const override { return m_muted; }

private:
    void setState(corvalo::music::PlaybackState state);
    void setStatus(corvalo::music::MediaStatus status);

    corvalo::music::MediaListener* m_listener;
    QStringList m_calls;
    QUrl m_source;
    corvalo::music::PlaybackState m_state = corvalo::music::PlaybackState::Stopped;
    corvalo::music::MediaStatus m_status = corvalo::music::MediaStatus::NoMedia;
    qint64 m_position = 0;
    int m_volume = 100;
    bool m_muted = false;
};

class FakeMedia : public MediaBackend {
public:
    corvalo::music::MediaPlayback* createPlayback(QObject* parent,
                                                  corvalo::music::MediaListener* listener) override;
    // The player made last, while its owner lives.
    FakePlayback* playback() const { return m_playback; }
    int playbacksMade() const { return m_made; }

private:
    QPointer<FakePlayback> m_playback;
    int m_made = 0;
};

} // namespace testsupport

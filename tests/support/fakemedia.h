#pragma once

#include "music/mediabackend.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <utility>

namespace testsupport {

using namespace corvalo::music;

// A player that plays nothing and takes its time: a source stays loading until the test calls
// finishLoading(), then fails if its file name starts with "bad", and otherwise sounds until
// reachEnd(). Every call it gets is logged, so a test sees what was asked of it.
class FakePlayback : public QObject, public MediaPlayback {
public:
    FakePlayback(QObject* parent, MediaListener* listener) : QObject(parent), m_listener(listener)
    {}

    const QStringList& calls() const { return m_calls; }

    // Like GStreamer's, a failing source is reported twice: as an error and as invalid media.
    void finishLoading()
    {
        if (m_status != MediaStatus::Loading)
            return;
        if (m_source.fileName().startsWith(QLatin1String("bad"))) {
            setState(PlaybackState::Stopped);
            m_listener->failed(MediaFailure::Format, QStringLiteral("no decoder"));
            setStatus(MediaStatus::Invalid);
            return;
        }
        m_listener->durationChanged(1000);
        setStatus(m_state == PlaybackState::Playing ? MediaStatus::Started : MediaStatus::Loaded);
    }
    void reachEnd()
    {
        if (m_status != MediaStatus::Started)
            return;
        setPosition(1000);
        setState(PlaybackState::Stopped);
        setStatus(MediaStatus::Ended);
    }

    void load(const QUrl& source) override
    {
        m_calls << QStringLiteral("load ") + source.fileName();
        m_source = source;
        m_position = 0;
        setState(PlaybackState::Stopped);
        setStatus(source.isEmpty() ? MediaStatus::NoMedia : MediaStatus::Loading);
    }
    void play() override
    {
        m_calls << QStringLiteral("play");
        if (m_source.isEmpty() || m_status == MediaStatus::Invalid)
            return;
        if (m_status == MediaStatus::Ended)
            load(m_source);
        setState(PlaybackState::Playing);
        if (m_status == MediaStatus::Loaded)
            setStatus(MediaStatus::Started);
    }
    void pause() override
    {
        m_calls << QStringLiteral("pause");
        if (m_state == PlaybackState::Playing)
            setState(PlaybackState::Paused);
    }
    void stop() override
    {
        m_calls << QStringLiteral("stop");
        m_position = 0;
        setState(PlaybackState::Stopped);
        if (m_status == MediaStatus::Started || m_status == MediaStatus::Ended)
            setStatus(MediaStatus::Loaded);
    }
    void setPosition(qint64 ms) override
    {
        m_position = ms;
        m_listener->positionChanged(ms);
    }
    QUrl source() const override { return m_source; }
    qint64 position() const override { return m_position; }
    PlaybackState state() const override { return m_state; }
    MediaStatus status() const override { return m_status; }
    void setVolume(int volume) override { m_volume = volume; }
    int volume() const override { return m_volume; }
    void setMuted(bool muted) override { m_muted = muted; }
    bool isMuted() const override { return m_muted; }

private:
    void setState(PlaybackState state)
    {
        if (std::exchange(m_state, state) != state)
            m_listener->stateChanged(state);
    }
    void setStatus(MediaStatus status)
    {
        if (std::exchange(m_status, status) != status)
            m_listener->statusChanged(status);
    }

    MediaListener* m_listener;
    QStringList m_calls;
    QUrl m_source;
    PlaybackState m_state = PlaybackState::Stopped;
    MediaStatus m_status = MediaStatus::NoMedia;
    qint64 m_position = 0;
    int m_volume = 100;
    bool m_muted = false;
};

class FakeMedia : public MediaBackend {
public:
    MediaPlayback* createPlayback(QObject* parent, MediaListener* listener) override
    {
        return m_playback = new FakePlayback(parent, listener);
    }
    // The player made last, while its owner lives.
    FakePlayback* playback() const { return m_playback; }

private:
    QPointer<FakePlayback> m_playback;
};

} // namespace testsupport

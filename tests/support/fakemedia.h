#pragma once

#include "media/mediabackend.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

namespace testsupport {

using namespace corvalo::media;

// A player that plays nothing and takes its time: a source stays loading until the test calls
// finishLoading(), then fails if its file name starts with "bad", and otherwise sounds until
// reachEnd(), naming an artist and an album if its file name starts with "tagged". Every call it
// gets is logged, so a test sees what was asked of it.
class FakePlayback : public QObject, public MediaPlayback {
public:
    explicit FakePlayback(MediaListener* listener) : m_listener(listener) {}

    const QStringList& calls() const { return m_calls; }
    QUrl source() const { return m_source; }
    qint64 position() const { return m_position; }
    int volume() const { return m_volume; }
    bool isMuted() const { return m_muted; }

    void finishLoading()
    {
        if (!std::exchange(m_loading, false))
            return;
        if (m_source.fileName().startsWith(QLatin1String("bad"))) {
            m_listener->failed(Failure::Format, QStringLiteral("no decoder"));
            return;
        }
        m_sounding = true;
        if (m_source.fileName().startsWith(QLatin1String("tagged")))
            m_listener->tagged(QStringLiteral("Snow Band"), QStringLiteral("Winter Tunes"));
        m_listener->progressed(m_position, 1000, true);
        if (m_playing)
            m_listener->started();
    }
    void reachEnd()
    {
        if (!std::exchange(m_sounding, false))
            return;
        m_listener->progressed(1000, 1000, true);
        m_listener->ended();
    }

    void load(const QUrl& source, bool play) override
    {
        m_calls << QStringLiteral("load ") + source.fileName();
        if (play)
            m_calls << QStringLiteral("play");
        m_source = source;
        m_position = 0;
        m_playing = play;
        m_loading = true;
        m_sounding = false;
    }
    void pause() override
    {
        m_calls << QStringLiteral("pause");
        m_playing = false;
    }
    void resume() override
    {
        m_calls << QStringLiteral("resume");
        m_playing = true;
        if (m_sounding)
            m_listener->started();
    }
    void stop() override
    {
        m_calls << QStringLiteral("stop");
        m_loading = m_sounding = false;
        m_source.clear();
    }
    void seek(qint64 ms) override { m_position = ms; }
    void setVolume(int volume) override { m_volume = volume; }
    void setMuted(bool muted) override { m_muted = muted; }

private:
    MediaListener* m_listener;
    QStringList m_calls;
    QUrl m_source;
    qint64 m_position = 0;
    int m_volume = 100;
    bool m_muted = false;
    bool m_playing = false;
    bool m_loading = false;
    bool m_sounding = false;
};

class FakeMedia : public MediaBackend {
public:
    MediaPlayback* createPlayback(MediaListener* listener) override
    {
        return m_playback = new FakePlayback(listener);
    }
    // The player made last, while its owner lives.
    FakePlayback* playback() const { return m_playback; }

private:
    QPointer<FakePlayback> m_playback;
};

} // namespace testsupport

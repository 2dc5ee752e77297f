#include "fakemedia.h"

using corvalo::music::MediaFailure;
using corvalo::music::MediaStatus;
using corvalo::music::PlaybackState;

namespace testsupport {

FakePlayback::FakePlayback(QObject* parent, corvalo::music::MediaListener* listener)
    : QObject(parent), m_listener(listener)
{}

void FakePlayback::load(const QUrl& source)
{
    m_calls << QStringLiteral("load ") + source.fileName();
    m_source = source;
    m_position = 0;
    setState(PlaybackState::Stopped);
    setStatus(source.isEmpty() ? MediaStatus::NoMedia : MediaStatus::Loading);
}

void FakePlayback::play()
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

void FakePlayback::pause()
{
    m_calls << QStringLiteral("pause");
    if (m_state == PlaybackState::Playing)
        setState(PlaybackState::Paused);
}

void FakePlayback::stop()
{
    m_calls << QStringLiteral("stop");
    m_position = 0;
    setState(PlaybackState::Stopped);
    if (m_status == MediaStatus::Started || m_status == MediaStatus::Ended)
        setStatus(MediaStatus::Loaded);
}

void FakePlayback::setPosition(qint64 ms)
{
    m_calls << QStringLiteral("seek %1").arg(ms);
    m_position = ms;
    m_listener->positionChanged(ms);
}

// Like GStreamer's, a failing source is reported twice: as an error and as invalid media.
void FakePlayback::finishLoading()
{
    if (!isLoading())
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

void FakePlayback::reachEnd()
{
    if (m_status != MediaStatus::Started)
        return;
    m_position = 1000;
    m_listener->positionChanged(m_position);
    setState(PlaybackState::Stopped);
    setStatus(MediaStatus::Ended);
}

void FakePlayback::setState(PlaybackState state)
{
    if (std::exchange(m_state, state) != state)
        m_listener->stateChanged(state);
}

void FakePlayback::setStatus(MediaStatus status)
{
    if (std::exchange(m_status, status) != status)
        m_listener->statusChanged(status);
}

corvalo::music::MediaPlayback* FakeMedia::createPlayback(QObject* parent,
                                                         corvalo::music::MediaListener* listener)
{
    ++m_made;
    m_playback = new FakePlayback(parent, listener);
    return m_playback;
}

} // namespace testsupport

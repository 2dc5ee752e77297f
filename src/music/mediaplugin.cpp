// The media stack: Qt Multimedia behind MediaBackend, built as a plugin of its own so that the
// program loads it only when the first sound is played.
#include "mediabackend.h"

#include <QAudioOutput>
#include <QMediaPlayer>
#include <QObject>

namespace {

using namespace corvalo::music;

PlaybackState stateOf(QMediaPlayer::PlaybackState state)
{
    switch (state) {
    case QMediaPlayer::PlayingState:
        return PlaybackState::Playing;
    case QMediaPlayer::PausedState:
        return PlaybackState::Paused;
    default:
        return PlaybackState::Stopped;
    }
}

MediaStatus statusOf(QMediaPlayer::MediaStatus status)
{
    switch (status) {
    case QMediaPlayer::LoadingMedia:
        return MediaStatus::Loading;
    case QMediaPlayer::LoadedMedia:
        return MediaStatus::Loaded;
    case QMediaPlayer::BufferingMedia:
    case QMediaPlayer::BufferedMedia:
        return MediaStatus::Started;
    case QMediaPlayer::StalledMedia:
        return MediaStatus::Stalled;
    case QMediaPlayer::EndOfMedia:
        return MediaStatus::Ended;
    case QMediaPlayer::InvalidMedia:
        return MediaStatus::Invalid;
    default:
        return MediaStatus::NoMedia;
    }
}

MediaFailure failureOf(QMediaPlayer::Error error)
{
    switch (error) {
    case QMediaPlayer::FormatError:
        return MediaFailure::Format;
    case QMediaPlayer::NetworkError:
        return MediaFailure::Network;
    case QMediaPlayer::AccessDeniedError:
        return MediaFailure::AccessDenied;
    default:
        return MediaFailure::Other;
    }
}

class Playback : public QObject, public MediaPlayback {
public:
    Playback(QObject* parent, MediaListener* listener) : QObject(parent), m_listener(listener)
    {
        build();
    }

    void load(const QUrl& source) override
    {
        if (m_failed)
            rebuild();
        // The player ignores a source equal to the one it holds, even after that one failed.
        else if (!source.isEmpty() && m_player->source() == source)
            m_player->setSource(QUrl());
        m_player->setSource(source);
    }
    QUrl source() const override { return m_player->source(); }
    void play() override
    {
        if (m_failed)
            reload();
        m_player->play();
    }
    void pause() override { m_player->pause(); }
    void stop() override
    {
        // Stopping waits for the source to be ready; one still loading may never be.
        if (m_failed || m_player->mediaStatus() == QMediaPlayer::LoadingMedia)
            reload();
        else
            m_player->stop();
    }
    void setPosition(qint64 ms) override { m_player->setPosition(ms); }
    qint64 position() const override { return m_player->position(); }
    PlaybackState state() const override { return stateOf(m_player->playbackState()); }
    MediaStatus status() const override { return statusOf(m_player->mediaStatus()); }
    void setVolume(int volume) override
    {
        m_volume = volume;
        m_output->setVolume(float(volume) / 100.0f);
    }
    int volume() const override { return qRound(m_output->volume() * 100.0f); }
    void setMuted(bool muted) override
    {
        m_muted = muted;
        m_output->setMuted(muted);
    }
    bool isMuted() const override { return m_output->isMuted(); }

private:
    void build()
    {
        m_failed = false;
        m_player = new QMediaPlayer(this);
        m_output = new QAudioOutput(m_player);
        m_output->setVolume(float(m_volume) / 100.0f);
        m_output->setMuted(m_muted);
        m_player->setAudioOutput(m_output);
        MediaListener* listener = m_listener;
        // Connected with this object as context, so nothing reaches the listener once it goes.
        connect(m_player, &QMediaPlayer::playbackStateChanged, this,
                [listener](QMediaPlayer::PlaybackState s) { listener->stateChanged(stateOf(s)); });
        connect(m_player, &QMediaPlayer::mediaStatusChanged, this,
                [listener](QMediaPlayer::MediaStatus s) { listener->statusChanged(statusOf(s)); });
        connect(m_player, &QMediaPlayer::durationChanged, this,
                [listener](qint64 ms) { listener->durationChanged(ms); });
        connect(m_player, &QMediaPlayer::positionChanged, this,
                [listener](qint64 ms) { listener->positionChanged(ms); });
        connect(m_player, &QMediaPlayer::seekableChanged, this,
                [listener](bool seekable) { listener->seekableChanged(seekable); });
        connect(m_player, &QMediaPlayer::errorOccurred, this,
                [this](QMediaPlayer::Error error, const QString& detail) {
                    if (error == QMediaPlayer::NoError)
                        return;
                    m_failed = true;
                    m_listener->failed(failureOf(error), detail);
                });
    }

    // A player whose source failed waits a second for it before it takes another or stops
    // (GStreamer's pipeline never gets to pause); a new one is ready at once.
    void rebuild()
    {
        disconnect(m_player, nullptr, this, nullptr);
        delete m_player;
        build();
    }

    // The same source in a new player: tried again on Play, stopped at once.
    void reload()
    {
        const QUrl source = m_player->source();
        rebuild();
        m_player->setSource(source);
    }

    MediaListener* m_listener;
    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_output = nullptr;
    int m_volume = 100;
    bool m_muted = false;
    bool m_failed = false;
};

} // namespace

class MediaModule : public QObject, public MediaBackend {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID CorvaloMediaBackend_iid)
    Q_INTERFACES(MediaBackend)
public:
    MediaPlayback* createPlayback(QObject* parent, MediaListener* listener) override
    {
        return new Playback(parent, listener);
    }
};

#include "mediaplugin.moc"

#include "musicplayer.h"

#include "playerstrip.h"
#include "playlist.h"

#include <QAudioOutput>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include <algorithm>

using corvalo::music::PlaylistFormat;

namespace {

QString locationText(const QUrl& url)
{
    return url.isLocalFile() ? QDir::toNativeSeparators(url.toLocalFile()) : url.toString();
}

QString titleOf(const QUrl& url)
{
    const QString name =
        url.isLocalFile() ? QFileInfo(url.toLocalFile()).fileName() : url.fileName();
    return name.isEmpty() ? url.toString() : name;
}

QString reasonFor(QMediaPlayer::Error error, const QString& detail)
{
    QString reason;
    switch (error) {
    case QMediaPlayer::FormatError:
        reason = QStringLiteral("Its format is not supported.");
        break;
    case QMediaPlayer::NetworkError:
        reason = QStringLiteral("It could not be reached over the network.");
        break;
    case QMediaPlayer::AccessDeniedError:
        reason = QStringLiteral("Access to it was denied.");
        break;
    default:
        reason = QStringLiteral("It could not be opened or decoded: it may be damaged, or it is "
                                "not a sound file.");
        break;
    }
    if (!detail.isEmpty())
        reason += QStringLiteral("\n(%1)").arg(detail);
    return reason;
}

} // namespace

MusicPlayer::MusicPlayer(PlayerStrip* strip) : QObject(strip), m_strip(strip)
{
    connect(strip, &PlayerStrip::play, this, [this] {
        if (m_player && !m_player->source().isEmpty())
            m_player->play();
    });
    connect(strip, &PlayerStrip::pause, this, [this] {
        if (m_player && !m_player->source().isEmpty())
            m_player->pause();
    });
    connect(strip, &PlayerStrip::stop, this, [this] {
        if (m_player)
            m_player->stop();
    });
    connect(strip, &PlayerStrip::seek, this, [this](qint64 ms) {
        if (m_player)
            m_player->setPosition(ms);
    });
    connect(strip, &PlayerStrip::changeVolume, this, &MusicPlayer::setVolume);
    connect(strip, &PlayerStrip::changeMuting, this, &MusicPlayer::setMuted);
    strip->setVolume(m_volume);
    strip->setMuted(m_muted);
}

MusicPlayer::~MusicPlayer()
{
    // The player is the window's child and may outlive this object by a moment; it must not
    // report to it any more.
    if (m_player) {
        m_player->disconnect(this);
        delete m_player;
    }
}

PlayerStrip* MusicPlayer::createStrip(QWidget* parent)
{
    auto* strip = new PlayerStrip(parent);
    new MusicPlayer(strip);
    return strip;
}

MusicPlayer* MusicPlayer::of(const QWidget* strip)
{
    return strip ? strip->findChild<MusicPlayer*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

void MusicPlayer::ensurePlayer()
{
    if (m_player)
        return;
    m_player = new QMediaPlayer(m_strip->window());
    m_output = new QAudioOutput(m_player);
    m_output->setVolume(static_cast<float>(m_volume) / 100.0f);
    m_output->setMuted(m_muted);
    m_player->setAudioOutput(m_output);
    connect(m_player, &QMediaPlayer::playbackStateChanged, this,
            [this](QMediaPlayer::PlaybackState state) { m_strip->setState(state); });
    connect(m_player, &QMediaPlayer::durationChanged, this,
            [this](qint64 ms) { m_strip->setDuration(ms); });
    connect(m_player, &QMediaPlayer::positionChanged, this,
            [this](qint64 ms) { m_strip->setPosition(ms); });
    connect(m_player, &QMediaPlayer::seekableChanged, this,
            [this](bool seekable) { m_strip->setSeekable(seekable); });
    connect(m_player, &QMediaPlayer::mediaStatusChanged, this, &MusicPlayer::onStatus);
    connect(m_player, &QMediaPlayer::errorOccurred, this, &MusicPlayer::onError);
}

void MusicPlayer::setLocation(const QString& path)
{
    ++m_generation;
    if (path.isEmpty()) {
        clear();
        return;
    }
    const QFileInfo file(path);
    QString problem;
    QList<QUrl> queue;
    if (!file.exists())
        problem = QStringLiteral("The file does not exist.");
    else if (!file.isFile() || !file.isReadable())
        problem = QStringLiteral("The file cannot be read.");
    else if (corvalo::music::playlistFormat(path) != PlaylistFormat::None) {
        corvalo::music::Playlist playlist = corvalo::music::loadPlaylist(path);
        problem = playlist.error;
        queue = playlist.entries;
    } else {
        queue = {QUrl::fromLocalFile(file.absoluteFilePath())};
    }
    if (!problem.isEmpty()) {
        clear();
        showError(QDir::toNativeSeparators(path), problem);
        return;
    }
    m_queue = queue;
    playEntry(0);
}

void MusicPlayer::playEntry(int index)
{
    ++m_generation;
    m_failing = false;
    m_index = index;
    const QUrl url = m_queue.at(index);
    ensurePlayer();
    m_strip->setMedia(titleOf(url), locationText(url));
    m_player->setSource(url);
    m_player->play();
}

void MusicPlayer::clear()
{
    ++m_generation;
    m_queue.clear();
    m_index = -1;
    if (m_player) {
        m_player->stop();
        m_player->setSource(QUrl());
    }
    m_strip->setMedia(QString(), QString());
    m_strip->setState(QMediaPlayer::StoppedState);
}

void MusicPlayer::onStatus(QMediaPlayer::MediaStatus status)
{
    if (status != QMediaPlayer::EndOfMedia || m_index < 0)
        return;
    // Move on outside the player's own signal.
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (generation != m_generation)
                return;
            if (m_index + 1 < m_queue.size()) {
                playEntry(m_index + 1);
            } else if (m_queue.size() > 1) {
                // A finished playlist starts over from its first entry on the next Play.
                ++m_generation;
                m_index = 0;
                m_strip->setMedia(titleOf(m_queue.first()), locationText(m_queue.first()));
                m_player->setSource(m_queue.first());
            }
        },
        Qt::QueuedConnection);
}

void MusicPlayer::onError(QMediaPlayer::Error error, const QString& detail)
{
    // The player often reports one failure several times over; one message is enough.
    if (error == QMediaPlayer::NoError || m_index < 0 || m_failing)
        return;
    m_failing = true;
    const quint64 generation = m_generation;
    const QString reason = reasonFor(error, detail);
    QMetaObject::invokeMethod(
        this, [this, generation, reason] { reportFailure(generation, reason); },
        Qt::QueuedConnection);
}

void MusicPlayer::reportFailure(quint64 generation, const QString& reason)
{
    if (generation != m_generation || m_index < 0)
        return;
    const QString what = locationText(m_queue.at(m_index));
    const bool more = m_index + 1 < m_queue.size();
    if (more)
        m_player->stop();
    else
        clear();
    const quint64 shown = m_generation;
    showError(what, reason);
    if (more && shown == m_generation)
        playEntry(m_index + 1);
}

void MusicPlayer::showError(const QString& what, const QString& reason)
{
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"),
                    QStringLiteral("Cannot play \"%1\".\n%2").arg(what, reason), QMessageBox::Ok,
                    m_strip->window());
    box.exec();
}

void MusicPlayer::setVolume(int volume)
{
    m_volume = std::clamp(volume, 0, 100);
    if (m_output)
        m_output->setVolume(static_cast<float>(m_volume) / 100.0f);
    m_strip->setVolume(m_volume);
}

void MusicPlayer::setMuted(bool muted)
{
    m_muted = muted;
    if (m_output)
        m_output->setMuted(muted);
    m_strip->setMuted(muted);
}

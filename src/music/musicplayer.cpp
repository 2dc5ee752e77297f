#include "musicplayer.h"

#include "playerstrip.h"
#include "playlist.h"

#include <QDir>
#include <QFileInfo>
#include <QMessageBox>

#include <algorithm>
#include <utility>

using corvalo::music::MediaFailure;
using corvalo::music::MediaStatus;
using corvalo::music::PlaybackState;
using corvalo::music::PlaylistFormat;

namespace {

// A playlist's report names this many failed entries, then counts the rest.
constexpr qsizetype namedFailures = 5;

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

QString reasonFor(MediaFailure failure)
{
    switch (failure) {
    case MediaFailure::Format:
        return QStringLiteral("Its format is not supported.");
    case MediaFailure::Network:
        return QStringLiteral("It could not be reached over the network.");
    case MediaFailure::AccessDenied:
        return QStringLiteral("Access to it was denied.");
    default:
        return QStringLiteral("It could not be opened or decoded: it may be damaged, or it is "
                              "not a sound file.");
    }
}

QString withDetail(const QString& reason, const QString& detail)
{
    return detail.isEmpty() ? reason : reason + QStringLiteral("\n(%1)").arg(detail);
}

QString cannotPlay(const QString& what, const QString& reason)
{
    return QStringLiteral("Cannot play \"%1\".\n%2").arg(what, reason);
}

} // namespace

MusicPlayer::MusicPlayer(PlayerStrip* strip, QObject* parent) : QObject(parent), m_strip(strip)
{
    m_next.setSingleShot(true);
    m_next.setInterval(0);
    connect(&m_next, &QTimer::timeout, this, &MusicPlayer::moveOn);
    connect(strip, &PlayerStrip::play, this, [this] {
        if (m_playback && !m_playback->source().isEmpty()) {
            m_halted = false;
            m_playback->play();
        }
    });
    connect(strip, &PlayerStrip::pause, this, [this] {
        if (m_playback && !m_playback->source().isEmpty())
            m_playback->pause();
    });
    connect(strip, &PlayerStrip::stop, this, &MusicPlayer::stop);
    connect(strip, &PlayerStrip::seek, this, [this](qint64 ms) {
        if (m_playback)
            m_playback->setPosition(ms);
    });
    connect(strip, &PlayerStrip::changeVolume, this, &MusicPlayer::setVolume);
    connect(strip, &PlayerStrip::changeMuting, this, &MusicPlayer::setMuted);
    strip->setVolume(m_volume);
    strip->setMuted(m_muted);
}

bool MusicPlayer::ensurePlayback()
{
    if (m_playback)
        return true;
    QString why = QStringLiteral("The program gave the player no way to load it.");
    MediaBackend* backend = m_loader ? m_loader(&why) : nullptr;
    if (!backend) {
        showError(QStringLiteral("Sound cannot be played because the media module could not be "
                                 "loaded.\n\n") +
                  why);
        return false;
    }
    m_playback = backend->createPlayback(this, this);
    m_playback->setVolume(m_volume);
    m_playback->setMuted(m_muted);
    return true;
}

void MusicPlayer::setLocation(const QString& path)
{
    // A new location starts a new pass: failures not yet shown belong to what played before.
    m_failures.clear();
    m_reported = 0;
    m_box = nullptr;
    m_playlist.clear();
    if (path.isEmpty()) {
        clear();
        return;
    }
    const QFileInfo file(path);
    QString problem;
    QList<QUrl> queue;
    const bool playlist = corvalo::music::playlistFormat(path) != PlaylistFormat::None;
    if (!file.exists())
        problem = QStringLiteral("The file does not exist.");
    else if (!file.isFile() || !file.isReadable())
        problem = QStringLiteral("The file cannot be read.");
    else if (playlist) {
        corvalo::music::Playlist list = corvalo::music::loadPlaylist(path);
        problem = list.error;
        queue = list.entries;
    } else {
        queue = {QUrl::fromLocalFile(file.absoluteFilePath())};
    }
    if (!problem.isEmpty()) {
        clear();
        showError(cannotPlay(QDir::toNativeSeparators(path), problem));
        return;
    }
    if (!ensurePlayback()) {
        clear();
        return;
    }
    if (playlist)
        m_playlist = QDir::toNativeSeparators(file.absoluteFilePath());
    m_queue = queue;
    playEntry(0);
}

void MusicPlayer::playEntry(int index)
{
    m_next.stop();
    m_nextStep = Next::Nothing;
    m_failing = false;
    m_halted = false;
    m_index = index;
    const QUrl url = m_queue.at(index);
    m_strip->setMedia(titleOf(url), locationText(url));
    m_loading = true;
    m_playback->load(url);
    m_playback->play();
    m_loading = false;
    // While a failed entry is skipped the strip shows the list as playing, so Stop stays at hand.
    m_strip->setState(m_failing ? PlaybackState::Playing : m_playback->state());
    emit sourceChanged(url);
}

void MusicPlayer::clear()
{
    m_next.stop();
    m_nextStep = Next::Nothing;
    m_failing = false;
    m_queue.clear();
    m_index = -1;
    if (m_playback) {
        m_loading = true;
        m_playback->stop();
        m_playback->load(QUrl());
        m_loading = false;
        emit sourceChanged(QUrl());
    }
    m_strip->setMedia(QString(), QString());
    m_strip->setState(PlaybackState::Stopped);
}

void MusicPlayer::stop()
{
    if (!m_playback)
        return;
    const bool failing = std::exchange(m_failing, false);
    m_halted = true;
    m_next.stop();
    m_nextStep = Next::Nothing;
    if (failing && m_playlist.isEmpty()) {
        clear();
        showError(m_failure);
        return;
    }
    m_playback->stop();
    m_strip->setState(PlaybackState::Stopped);
    reportFailures();
}

void MusicPlayer::moveOn()
{
    const Next step = std::exchange(m_nextStep, Next::Nothing);
    const bool more = m_index + 1 < m_queue.size();
    if (step == Next::AfterFailure) {
        m_failing = false;
        if (m_playlist.isEmpty()) {
            clear();
            showError(m_failure);
        } else if (more) {
            playEntry(m_index + 1);
        } else {
            reportFailures();
            clear();
        }
    } else if (step == Next::AfterEnd) {
        if (more) {
            playEntry(m_index + 1);
            return;
        }
        reportFailures();
        if (m_queue.size() > 1) {
            // A finished playlist starts over from its first entry on the next Play.
            m_index = 0;
            const QUrl first = m_queue.first();
            m_strip->setMedia(titleOf(first), locationText(first));
            m_loading = true;
            m_playback->load(first);
            m_loading = false;
            // Until Play, a complaint about the first entry (it may be a bad one) waits too.
            m_halted = true;
            m_strip->setState(PlaybackState::Stopped);
            emit sourceChanged(first);
        }
    }
}

void MusicPlayer::reportFailures()
{
    if (m_reported == m_failures.size())
        return;
    // Added to the box still open for this list, else in a box of their own.
    const QList<Failure> shown = m_box ? m_failures : m_failures.mid(m_reported);
    m_reported = m_failures.size();
    QString text;
    if (shown.size() == 1) {
        const Failure& only = shown.first();
        text = cannotPlay(only.what, withDetail(only.reason, only.detail));
    } else {
        text = QStringLiteral("Cannot play %1 entries of the playlist \"%2\":")
                   .arg(shown.size())
                   .arg(m_playlist);
        for (const Failure& failure : shown.first(std::min(shown.size(), namedFailures)))
            text += QStringLiteral("\n\"%1\": %2").arg(failure.what, failure.reason);
        if (shown.size() > namedFailures)
            text += QStringLiteral("\nand %1 more.").arg(shown.size() - namedFailures);
    }
    if (m_box)
        m_box->setText(text);
    else
        m_box = showError(text);
}

QMessageBox* MusicPlayer::showError(const QString& text)
{
    // Opened, not run: the player's reports keep coming while the box is up.
    auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Error"), text,
                                QMessageBox::Ok, m_strip->window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->open();
    return box;
}

void MusicPlayer::setVolume(int volume)
{
    m_volume = std::clamp(volume, 0, 100);
    if (m_playback)
        m_playback->setVolume(m_volume);
    m_strip->setVolume(m_volume);
}

void MusicPlayer::setMuted(bool muted)
{
    m_muted = muted;
    if (m_playback)
        m_playback->setMuted(muted);
    m_strip->setMuted(muted);
}

void MusicPlayer::stateChanged(PlaybackState state)
{
    if (m_loading || (m_failing && state == PlaybackState::Stopped))
        return;
    m_strip->setState(state);
}

void MusicPlayer::statusChanged(MediaStatus status)
{
    if (m_index < 0 || m_failing || m_loading || m_halted)
        return;
    if (status == MediaStatus::Started) {
        reportFailures();
    } else if (status == MediaStatus::Ended) {
        m_nextStep = Next::AfterEnd;
        m_next.start();
    } else if (status == MediaStatus::Invalid) {
        failed(MediaFailure::Other, QString());
    }
}

void MusicPlayer::durationChanged(qint64 ms)
{
    m_strip->setDuration(ms);
}

void MusicPlayer::positionChanged(qint64 ms)
{
    m_strip->setPosition(ms);
}

void MusicPlayer::seekableChanged(bool seekable)
{
    m_strip->setSeekable(seekable);
}

void MusicPlayer::failed(MediaFailure failure, const QString& detail)
{
    // The player often reports one failure several times over; one is enough.
    if (m_index < 0 || m_failing || m_halted)
        return;
    m_failing = true;
    const QString what = locationText(m_queue.at(m_index));
    if (m_playlist.isEmpty())
        m_failure = cannotPlay(what, withDetail(reasonFor(failure), detail));
    else
        m_failures.append({what, reasonFor(failure), detail});
    m_nextStep = Next::AfterFailure;
    m_next.start();
}

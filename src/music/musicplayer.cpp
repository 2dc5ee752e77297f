#include "musicplayer.h"

#include "playerstrip.h"
#include "playlist.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <utility>

#include <unistd.h>

using MediaFailure = corvalo::media::Failure;
using corvalo::music::PlaylistFormat;
using PlaybackState = PlayerStrip::State;

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

PlaybackState shownAs(MusicPlayer::State state)
{
    switch (state) {
    case MusicPlayer::State::Paused:
        return PlaybackState::Paused;
    case MusicPlayer::State::Empty:
    case MusicPlayer::State::Stopped:
        return PlaybackState::Stopped;
    default:
        // On its way to the next entry the list still shows as playing, so Stop stays at hand.
        return PlaybackState::Playing;
    }
}

QString failuresHeading(qsizetype count, const QString& playlist)
{
    return playlist.isEmpty() ? QStringLiteral("Cannot play %1 files:").arg(count)
                              : QStringLiteral("Cannot play %1 entries of the playlist \"%2\":")
                                    .arg(count)
                                    .arg(playlist);
}

} // namespace

MusicPlayer::MusicPlayer(PlayerStrip* strip, QObject* parent)
    : QObject(parent), m_strip(strip), m_failures(failuresHeading)
{
    connect(strip, &PlayerStrip::play, this, &MusicPlayer::play);
    connect(strip, &PlayerStrip::pause, this, &MusicPlayer::pause);
    connect(strip, &PlayerStrip::stop, this, &MusicPlayer::stop);
    connect(strip, &PlayerStrip::seek, this, &MusicPlayer::seek);
    connect(strip, &PlayerStrip::changeVolume, this, &MusicPlayer::setVolume);
    connect(strip, &PlayerStrip::changeMuting, this, &MusicPlayer::setMuted);
    strip->setVolume(m_volume);
    strip->setMuted(m_muted);
}

MusicPlayer::~MusicPlayer() = default;

void MusicPlayer::play()
{
    handle(Event::Play);
}

void MusicPlayer::pause()
{
    handle(Event::Pause);
}

void MusicPlayer::playPause()
{
    handle(m_state == State::Playing ? Event::Pause : Event::Play);
}

void MusicPlayer::stop()
{
    handle(Event::Stop);
}

void MusicPlayer::seek(qint64 ms)
{
    if (m_state != State::Playing && m_state != State::Paused)
        return;
    ms = std::clamp<qint64>(ms, 0, m_duration > 0 ? m_duration : ms);
    m_playback->seek(ms);
    showProgress(ms, m_duration, m_seekable);
    emit seeked(ms);
}

bool MusicPlayer::hasNext() const
{
    return !m_playlist.isEmpty() && m_index + 1 < m_queue.size();
}

bool MusicPlayer::hasPrevious() const
{
    return !m_playlist.isEmpty() && m_index > 0;
}

void MusicPlayer::next()
{
    if (hasNext())
        playEntry(m_index + 1);
}

void MusicPlayer::previous()
{
    if (hasPrevious())
        playEntry(m_index - 1);
}

QUrl MusicPlayer::source() const
{
    return m_index >= 0 ? m_queue.at(m_index) : QUrl();
}

QString MusicPlayer::title() const
{
    if (m_index < 0)
        return {};
    return m_title.isEmpty() ? titleOf(m_queue.at(m_index)) : m_title;
}

// Every change of state, from the user's buttons, from the media stack's reports and from the
// steps this player takes by itself. What an event does not name for a state leaves it alone:
// a late report about an entry the user stopped moves nothing on.
void MusicPlayer::handle(Event event, const Failure* failure)
{
    switch (event) {
    case Event::Play:
        if (m_state == State::Paused) {
            enter(State::Playing);
            m_playback->resume();
        } else if (m_state == State::Stopped) {
            playEntry(m_index); // afresh: a source that failed before is tried again
        }
        break;
    case Event::Pause:
        if (m_state == State::Playing) {
            enter(State::Paused);
            m_playback->pause();
        }
        break;
    case Event::Stop:
        if (m_state == State::Failed && m_playlist.isEmpty()) {
            clear();
        } else if (m_state != State::Empty && m_state != State::Stopped) {
            m_playback->stop();
            showProgress(0, m_duration, m_seekable);
            enter(State::Stopped);
        }
        reportPending();
        break;
    case Event::Started:
        if (m_state == State::Playing)
            reportPending(); // the list's earlier failures, now that something plays
        break;
    case Event::Ended:
        if (m_state == State::Playing) {
            enter(State::Ended);
            stepLater();
        }
        break;
    case Event::Failed:
        if (m_state == State::Playing || m_state == State::Paused) {
            m_pending.append(*failure);
            enter(State::Failed);
            stepLater();
        }
        break;
    case Event::MoveOn:
        if (m_state == State::Failed && m_playlist.isEmpty()) {
            clear();
            reportPending();
        } else if (m_state == State::Ended || m_state == State::Failed) {
            if (m_index + 1 < m_queue.size()) {
                playEntry(m_index + 1);
            } else {
                reportPending();
                rewind();
            }
        }
        break;
    }
}

void MusicPlayer::enter(State state)
{
    const State before = std::exchange(m_state, state);
    ++m_step; // a step on its way belongs to the state it was taken in
    m_strip->setState(shownAs(state));
    if (before != state)
        emit stateChanged(state);
}

// The media stack's reports come from inside its own signals; the next entry is handed over
// once they are done.
void MusicPlayer::stepLater()
{
    QMetaObject::invokeMethod(
        this,
        [this, step = m_step] {
            if (step == m_step)
                handle(Event::MoveOn);
        },
        Qt::QueuedConnection);
}

bool MusicPlayer::ensurePlayback(const QString& what)
{
    if (m_playback)
        return true;
    QString why = QStringLiteral("The program gave the player no way to load it.");
    MediaBackend* backend = m_loader ? m_loader(&why) : nullptr;
    if (!backend) {
        report({{what, QStringLiteral("Corvalo's media module could not be loaded."), why, {}}});
        return false;
    }
    m_playback.reset(backend->createPlayback(this));
    m_playback->setVolume(m_volume);
    m_playback->setMuted(m_muted);
    return true;
}

void MusicPlayer::setLocation(const QString& path)
{
    // What the list before had not said yet is said now, before the new location plays.
    reportPending();
    m_playlist.clear();
    if (path.isEmpty()) {
        clear();
        return;
    }
    const QFileInfo file(path);
    const QString what = QDir::toNativeSeparators(path);
    bool text = false;
    const bool playlist =
        file.isFile() && corvalo::music::playlistFormatOfFile(path, &text) != PlaylistFormat::None;
    QString problem;
    QString detail;
    QList<QUrl> queue;
    if (!file.exists())
        problem = QStringLiteral("The file does not exist.");
    else if (!file.isFile() || !file.isReadable())
        problem = QStringLiteral("The file cannot be read.");
    else if (playlist) {
        corvalo::music::Playlist list = corvalo::music::loadPlaylist(path);
        problem = list.error;
        queue = list.entries;
    } else if (text) {
        problem = reasonFor(MediaFailure::Other);
        detail = QStringLiteral("It is a text file. ") + corvalo::music::playlistsRead();
    } else {
        queue = {QUrl::fromLocalFile(file.absoluteFilePath())};
    }
    if (!problem.isEmpty()) {
        clear();
        report({{what, problem, detail, {}}});
        return;
    }
    if (!ensurePlayback(what)) {
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
    m_index = index;
    const QUrl url = m_queue.at(index);
    forgetTags();
    m_strip->setMedia(titleOf(url), locationText(url));
    showProgress(0, 0, false);
    enter(State::Playing);
    emit sourceChanged(url);
    emit trackChanged();
    // The file was looked at when it was chosen; what lies there now may be a pipe or a device
    // that would never answer.
    if (url.isLocalFile() && !corvalo::music::isReadableFile(url)) {
        const bool exists = access(corvalo::music::localFileBytes(url).constData(), F_OK) == 0;
        const Failure entry{locationText(url),
                            exists ? QStringLiteral("It is not a file that can be read.")
                                   : QStringLiteral("The file does not exist."),
                            {},
                            m_playlist};
        handle(Event::Failed, &entry);
        return;
    }
    m_playback->load(url, true);
}

// Through: a list waits at its first entry for the next Play, a single file at its start.
void MusicPlayer::rewind()
{
    m_playback->stop();
    showProgress(0, m_index > 0 ? 0 : m_duration, m_seekable && m_index == 0);
    if (m_index > 0) {
        m_index = 0;
        forgetTags();
        const QUrl first = m_queue.first();
        m_strip->setMedia(titleOf(first), locationText(first));
        emit sourceChanged(first);
        emit trackChanged();
    }
    enter(State::Stopped);
}

void MusicPlayer::clear()
{
    const bool had = m_index >= 0;
    m_queue.clear();
    m_index = -1;
    forgetTags();
    if (m_playback)
        m_playback->stop();
    showProgress(0, 0, false);
    m_strip->setMedia(QString(), QString());
    enter(State::Empty);
    if (had) {
        emit sourceChanged(QUrl());
        emit trackChanged();
    }
}

void MusicPlayer::reportPending()
{
    if (m_pending.isEmpty())
        return;
    report(std::exchange(m_pending, {}));
}

// One box at a time: what fails while it is open is added to it, unless it already says so.
void MusicPlayer::report(const QList<Failure>& failures)
{
    QList<corvalo::FailureBox::Failure> told;
    for (const Failure& failure : failures) {
        QString alone = QStringLiteral("Cannot play \"%1\".\n%2").arg(failure.what, failure.reason);
        if (!failure.detail.isEmpty())
            alone += QStringLiteral("\n(%1)").arg(failure.detail);
        told.append({alone, QStringLiteral("\"%1\": %2").arg(failure.what, failure.reason),
                     failure.playlist});
    }
    m_failures.add(told, m_strip->window());
}

void MusicPlayer::setVolume(int volume)
{
    volume = std::clamp(volume, 0, 100);
    const bool changed = std::exchange(m_volume, volume) != volume;
    if (m_playback)
        m_playback->setVolume(m_volume);
    m_strip->setVolume(m_volume);
    if (changed)
        emit volumeChanged(volume);
}

void MusicPlayer::setMuted(bool muted)
{
    m_muted = muted;
    if (m_playback)
        m_playback->setMuted(muted);
    m_strip->setMuted(muted);
}

void MusicPlayer::showProgress(qint64 position, qint64 duration, bool seekable)
{
    m_position = position;
    if (std::exchange(m_duration, duration) != duration) {
        m_strip->setDuration(duration);
        emit trackChanged();
    }
    if (std::exchange(m_seekable, seekable) != seekable) {
        m_strip->setSeekable(seekable);
        emit seekableChanged(seekable);
    }
    m_strip->setPosition(position);
}

void MusicPlayer::started()
{
    handle(Event::Started);
}

void MusicPlayer::ended()
{
    if (m_duration > 0)
        showProgress(m_duration, m_duration, m_seekable);
    handle(Event::Ended);
}

void MusicPlayer::progressed(qint64 position, qint64 duration, bool seekable)
{
    // Paused, the position stands where it was put.
    if (m_state == State::Playing)
        showProgress(position, duration, seekable);
}

void MusicPlayer::titled(const QString& title)
{
    if (m_index < 0 || title == m_title)
        return;
    m_title = title;
    emit trackChanged();
}

void MusicPlayer::tagged(const QString& artist, const QString& album)
{
    // A source may name them in several reports; one that leaves either out keeps what came
    // before.
    const QString newArtist = artist.isEmpty() ? m_artist : artist;
    const QString newAlbum = album.isEmpty() ? m_album : album;
    if (m_index < 0 || (newArtist == m_artist && newAlbum == m_album))
        return;
    m_artist = newArtist;
    m_album = newAlbum;
    emit trackChanged();
}

void MusicPlayer::forgetTags()
{
    m_title.clear();
    m_artist.clear();
    m_album.clear();
}

void MusicPlayer::failed(MediaFailure kind, const QString& text)
{
    if (m_index < 0)
        return;
    const Failure entry{locationText(m_queue.at(m_index)), reasonFor(kind), text, m_playlist};
    handle(Event::Failed, &entry);
}

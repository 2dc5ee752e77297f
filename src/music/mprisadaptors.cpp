#include "mprisadaptors.h"

#include "look/failurebox.h"
#include "mprisservice.h"
#include "musicplayer.h"

#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QMetaProperty>
#include <QUrl>

#include <climits>
#include <cmath>

using State = MusicPlayer::State;

namespace {

constexpr qint64 microsPerMilli = 1000;

// A file:// address longer than this names no path the system allows, however it is escaped, and
// is refused before it is read.
constexpr qsizetype longestFileAddress = 3 * PATH_MAX + 64;

// The local file the address names, or empty with *why set when it names none Corvalo can play.
QString localPath(const QString& uri, QString* why)
{
    QString path;
    if (uri.size() <= longestFileAddress) {
        const QUrl url(uri);
        if (url.isLocalFile())
            path = url.toLocalFile();
    }
    if (uri.size() > longestFileAddress || QFile::encodeName(path).size() >= PATH_MAX) {
        *why = QStringLiteral("The address is longer than any path of a file can be (%1 bytes).")
                   .arg(PATH_MAX - 1);
        return {};
    }
    if (!QDir::isAbsolutePath(path)) {
        *why = QStringLiteral("Corvalo plays local files only, given as file:// addresses; "
                              "\"%1\" is not one.")
                   .arg(corvalo::shortened(uri));
        return {};
    }
    return path;
}

} // namespace

MprisRootAdaptor::MprisRootAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_service(service)
{}

QString MprisRootAdaptor::identity() const
{
    return QStringLiteral("Corvalo");
}

QString MprisRootAdaptor::desktopEntry() const
{
    return QGuiApplication::desktopFileName();
}

QStringList MprisRootAdaptor::supportedUriSchemes() const
{
    return {QStringLiteral("file")};
}

// The kinds the music manager offers.
QStringList MprisRootAdaptor::supportedMimeTypes() const
{
    return {QStringLiteral("audio/x-wav"),     QStringLiteral("audio/mpeg"),
            QStringLiteral("audio/x-mpegurl"), QStringLiteral("audio/midi"),
            QStringLiteral("audio/x-ms-wma"),  QStringLiteral("audio/x-ms-wax"),
            QStringLiteral("video/x-ms-asf"),  QStringLiteral("video/x-ms-wmx")};
}

void MprisRootAdaptor::Raise()
{
    emit m_service->raiseRequested();
}

void MprisRootAdaptor::Quit()
{
    emit m_service->quitRequested();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(MprisService* service)
    : QDBusAbstractAdaptor(service), m_service(service)
{}

MusicPlayer* MprisPlayerAdaptor::player() const
{
    return m_service->player();
}

bool MprisPlayerAdaptor::holdsEntry() const
{
    return player() && player()->state() != State::Empty;
}

QString MprisPlayerAdaptor::playbackStatus() const
{
    switch (player() ? player()->state() : State::Empty) {
    case State::Empty:
    case State::Stopped:
        return QStringLiteral("Stopped");
    case State::Paused:
        return QStringLiteral("Paused");
    default:
        // Ended and Failed are steps on the way to the next entry, shown as playing on the strip.
        return QStringLiteral("Playing");
    }
}

QVariantMap MprisPlayerAdaptor::metadata() const
{
    QVariantMap data{{QStringLiteral("mpris:trackid"), QVariant::fromValue(m_service->trackId())}};
    if (!holdsEntry())
        return data;
    if (player()->duration() > 0)
        data.insert(QStringLiteral("mpris:length"), player()->duration() * microsPerMilli);
    data.insert(QStringLiteral("xesam:title"), player()->title());
    if (!player()->artist().isEmpty())
        data.insert(QStringLiteral("xesam:artist"), QStringList{player()->artist()});
    if (!player()->album().isEmpty())
        data.insert(QStringLiteral("xesam:album"), player()->album());
    data.insert(QStringLiteral("xesam:url"), QString::fromLatin1(player()->source().toEncoded()));
    return data;
}

double MprisPlayerAdaptor::volume() const
{
    return player() ? player()->volume() / 100.0 : 0.0;
}

void MprisPlayerAdaptor::setVolume(double volume)
{
    if (player() && std::isfinite(volume))
        player()->setVolume(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100)));
}

qlonglong MprisPlayerAdaptor::position() const
{
    return player() ? player()->position() * microsPerMilli : 0;
}

bool MprisPlayerAdaptor::canGoNext() const
{
    return player() && player()->hasNext();
}

bool MprisPlayerAdaptor::canGoPrevious() const
{
    return player() && player()->hasPrevious();
}

bool MprisPlayerAdaptor::canPlay() const
{
    return holdsEntry();
}

bool MprisPlayerAdaptor::canPause() const
{
    return holdsEntry();
}

bool MprisPlayerAdaptor::canSeek() const
{
    return holdsEntry() && player()->isSeekable() && player()->state() != State::Stopped;
}

QVariantMap MprisPlayerAdaptor::announced() const
{
    QVariantMap values;
    const QMetaObject* meta = metaObject();
    for (int i = meta->propertyOffset(); i < meta->propertyCount(); ++i) {
        const QMetaProperty property = meta->property(i);
        if (!property.isConstant() && qstrcmp(property.name(), "Position") != 0)
            values.insert(QString::fromLatin1(property.name()), property.read(this));
    }
    return values;
}

void MprisPlayerAdaptor::ask(void (MusicPlayer::*request)())
{
    if (MusicPlayer* asked = player())
        (asked->*request)();
}

void MprisPlayerAdaptor::Next()
{
    ask(&MusicPlayer::next);
}

void MprisPlayerAdaptor::Previous()
{
    ask(&MusicPlayer::previous);
}

void MprisPlayerAdaptor::Pause()
{
    ask(&MusicPlayer::pause);
}

void MprisPlayerAdaptor::PlayPause()
{
    ask(&MusicPlayer::playPause);
}

void MprisPlayerAdaptor::Stop()
{
    ask(&MusicPlayer::stop);
}

void MprisPlayerAdaptor::Play()
{
    ask(&MusicPlayer::play);
}

// Past the end it does what Next does, and with no next entry that is stopping.
void MprisPlayerAdaptor::Seek(qlonglong offset)
{
    if (!canSeek())
        return;
    const qint64 target = player()->position() + offset / microsPerMilli;
    if (player()->duration() > 0 && target > player()->duration())
        player()->hasNext() ? player()->next() : player()->stop();
    else
        player()->seek(std::max<qint64>(target, 0));
}

// A position meant for another entry, or outside this one, is ignored.
void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath& trackId, qlonglong position)
{
    if (!canSeek() || trackId != m_service->trackId() || position < 0 ||
        position > player()->duration() * microsPerMilli)
        return;
    player()->seek(position / microsPerMilli);
}

// Like the music manager's Play: what cannot be played is told in the one "Error" box. What is no
// local file's address is refused at once, and the caller hears why.
void MprisPlayerAdaptor::OpenUri(const QString& uri, const QDBusMessage& call)
{
    QString why;
    const QString path = localPath(uri, &why);
    if (path.isEmpty()) {
        call.setDelayedReply(true);
        QDBusConnection::sessionBus().send(call.createErrorReply(QDBusError::InvalidArgs, why));
        return;
    }
    emit m_service->openRequested(path);
}

#include "mprisservice.h"

#include "mprisadaptors.h"
#include "musicplayer.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>

namespace {

const QString objectPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString serviceBase = QStringLiteral("org.mpris.MediaPlayer2.corvalo");

void giveUp(const QString& why)
{
    qInfo("Corvalo: the desktop's media controls cannot reach the player: %s.", qPrintable(why));
}

} // namespace

MprisService::MprisService(QObject* parent) : QObject(parent) {}

MprisService::~MprisService()
{
    if (!m_registered)
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.unregisterService(m_serviceName);
    bus.unregisterObject(objectPath);
}

void MprisService::setPlayer(MusicPlayer* player)
{
    for (const QMetaObject::Connection& connection : std::as_const(m_connections))
        disconnect(connection);
    m_connections.clear();
    m_player = player;
    ++m_track;
    if (player)
        followPlayer();
    announceLater();
}

void MprisService::followPlayer()
{
    MusicPlayer* player = m_player;
    m_connections = {
        connect(player, &MusicPlayer::stateChanged, this,
                [this](MusicPlayer::State state) {
                    if (state != MusicPlayer::State::Empty)
                        registerOnBus();
                    announceLater();
                }),
        connect(player, &MusicPlayer::sourceChanged, this,
                [this] {
                    ++m_track;
                    announceLater();
                }),
        connect(player, &MusicPlayer::trackChanged, this, &MprisService::announceLater),
        connect(player, &MusicPlayer::seekableChanged, this, &MprisService::announceLater),
        connect(player, &MusicPlayer::volumeChanged, this, &MprisService::announceLater),
        connect(player, &MusicPlayer::seeked, this,
                [this](qint64 ms) {
                    if (m_playerAdaptor)
                        emit m_playerAdaptor->Seeked(ms * 1000);
                }),
        connect(player, &QObject::destroyed, this, &MprisService::announceLater),
    };
    if (player->state() != MusicPlayer::State::Empty)
        registerOnBus();
}

QDBusObjectPath MprisService::trackId() const
{
    if (!m_player || m_player->state() == MusicPlayer::State::Empty)
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    return QDBusObjectPath(QStringLiteral("/corvalo/track/%1").arg(m_track));
}

// Tried once: without a session bus (or with both names taken) the player goes on as before.
void MprisService::registerOnBus()
{
    if (std::exchange(m_triedBus, true))
        return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        giveUp(QStringLiteral("there is no D-Bus session bus"));
        return;
    }
    new MprisRootAdaptor(this);
    m_playerAdaptor = new MprisPlayerAdaptor(this);
    const QString instance =
        QStringLiteral("%1.instance%2").arg(serviceBase).arg(QCoreApplication::applicationPid());
    if (!bus.registerObject(objectPath, this)) {
        giveUp(bus.lastError().message());
        return;
    }
    for (const QString& name : {serviceBase, instance}) {
        if (bus.registerService(name)) {
            m_serviceName = name;
            break;
        }
    }
    if (m_serviceName.isEmpty()) {
        bus.unregisterObject(objectPath);
        giveUp(bus.lastError().message());
        return;
    }
    m_registered = true;
    m_announced = m_playerAdaptor->announced();
}

// Changes come in bursts (a new entry changes its title, length and state together); the
// desktop hears them once the burst is over.
void MprisService::announceLater()
{
    if (!m_registered || std::exchange(m_announceQueued, true))
        return;
    QMetaObject::invokeMethod(this, &MprisService::announce, Qt::QueuedConnection);
}

void MprisService::announce()
{
    m_announceQueued = false;
    const QVariantMap now = m_playerAdaptor->announced();
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it)
        if (m_announced.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    if (changed.isEmpty())
        return;
    m_announced = now;
    QDBusMessage message =
        QDBusMessage::createSignal(objectPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    message << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    QDBusConnection::sessionBus().send(message);
}

#pragma once

#include <QObject>
#include <QPointer>
#include <QVariantMap>

class MprisPlayerAdaptor;
class MusicPlayer;
class QDBusObjectPath;

// The player as the desktop's media controls see it: MPRIS 2 on the session bus. It follows
// whichever player it is given and asks for everything beyond the player (Raise, Quit, OpenUri)
// by signal. Nothing touches the bus until a player first has something to play; from then on
// the name is held until the program ends.
class MprisService : public QObject {
    Q_OBJECT
public:
    explicit MprisService(QObject* parent = nullptr);
    ~MprisService() override;

    void setPlayer(MusicPlayer* player);
    MusicPlayer* player() const { return m_player; }
    bool isRegistered() const { return m_registered; }
    QString serviceName() const { return m_serviceName; }

    // Names the current entry; a new id for every entry handed to the player.
    QDBusObjectPath trackId() const;

signals:
    void raiseRequested();
    void quitRequested();
    void openRequested(const QString& path);

private:
    void followPlayer();
    void registerOnBus();
    void announceLater();
    void announce();

    QPointer<MusicPlayer> m_player;
    QList<QMetaObject::Connection> m_connections;
    MprisPlayerAdaptor* m_playerAdaptor = nullptr;
    bool m_registered = false;
    bool m_triedBus = false;
    bool m_announceQueued = false;
    QString m_serviceName;
    quint64 m_track = 0;
    QVariantMap m_announced; // the player interface's properties as the desktop last heard them
};

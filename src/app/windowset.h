#pragma once

#include "music/mprisservice.h"
#include "music/musicplayer.h"
#include "plugins.h"
#include "storelink.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

class QWidget;
class FrmCorvalo;
class frmSplash;
class FrmExp1;
class FrmAbout;
class frmmusic;
class Skins;

// The program's seven windows, at most one of each. A window is built the first time anything
// asks for it and forgotten when the user closes it through its frame, so the next request
// builds it afresh; a hidden window keeps its state. This is the one place that knows every
// window and wires them to each other. Taking the set down takes every window with it, the store
// window too, which lives in a program of its own.
class WindowSet : public QObject {
    Q_OBJECT
public:
    explicit WindowSet(QObject* parent = nullptr);
    ~WindowSet() override;

    FrmCorvalo* mainWindow();
    frmSplash* splash();
    FrmExp1* helpExample();
    FrmAbout* about();
    frmmusic* musicManager();
    Skins* skinChooser();
    // The store window, shown by the store program that openStore() starts.
    StoreLink& store() { return m_store; }

    // The program's start: the main window's load step puts the splash card on the screen first,
    // then the main window comes up active with the display focused.
    void start();

    // What a store button does: shows the store window (built afresh if it was closed, brought to
    // the front if open) and has its web view navigate to the store's home page, on every click.
    void openStore();

    // Shows a window modeless and without owner; an open window comes to the front.
    static void show(QWidget* window);

    // Where the plugins and the store program are found, and where sounds are played through.
    corvalo::PluginFinder& plugins() { return m_plugins; }
    void setMediaBackendLoader(MusicPlayer::BackendLoader loader);
    // The page the store buttons lead to (the store's home page unless set).
    void setStoreUrl(const QUrl& url) { m_storeUrl = url; }

    // "Exit": the program ends at once.
    void exitProgram() { emit programEnd(); }

    // The desktop's media controls, following the current main window's player.
    MprisService& desktopControls() { return m_desktopControls; }

signals:
    // After "Exit", or when no window of the set is left on the screen.
    void programEnd();

protected:
    // The end rule: a window of the set left the screen, closed or only hidden.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void queueEndCheck();
    template <class W> W* instance(QPointer<W>& slot, bool* created = nullptr);
    void adopt(QWidget* window);
    QList<QWidget*> windows() const;
    void endIfNoneShown();
    FrmCorvalo* shownMainWindow();
    MediaBackend* loadMediaBackend(QString* why);
    void routeDesktopControls();
    void play(const QString& location);

    QPointer<FrmCorvalo> m_main;
    QPointer<frmSplash> m_splash;
    QPointer<FrmExp1> m_helpExample;
    QPointer<FrmAbout> m_about;
    QPointer<frmmusic> m_music;
    QPointer<Skins> m_skins;
    corvalo::PluginFinder m_plugins;
    StoreLink m_store{m_plugins};
    MusicPlayer::BackendLoader m_mediaLoader;
    MprisService m_desktopControls;
    QUrl m_storeUrl;
    bool m_endCheckQueued = false;
};

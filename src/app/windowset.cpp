#include "windowset.h"

#include "look/placement.h"
#include "look/product.h"
#include "look/screenreader.h"
#include "look/windowclose.h"
#include "media/mediabackend.h"
#include "music/musicmanager.h"
#include "skins/skinchooser.h"
#include "splash/splashwindow.h"
#include "windows/aboutbox.h"
#include "windows/helpexample.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

WindowSet::WindowSet(QObject* parent)
    : QObject(parent), m_mediaLoader([this](QString* why) { return loadMediaBackend(why); }),
      m_storeUrl(QLatin1String(corvalo::product::storeHomePage))
{
    // The store window counts in the end rule like any other.
    connect(&m_store, &StoreLink::changed, this, &WindowSet::queueEndCheck);
    routeDesktopControls();
}

WindowSet::~WindowSet()
{
    for (QWidget* w : windows()) {
        w->removeEventFilter(this);
        delete w;
    }
}

QList<QWidget*> WindowSet::windows() const
{
    QList<QWidget*> all;
    for (QWidget* w : std::initializer_list<QWidget*>{m_main, m_splash, m_helpExample, m_about,
                                                      m_music, m_skins})
        if (w)
            all.append(w);
    return all;
}

void WindowSet::adopt(QWidget* window)
{
    corvalo::deleteWhenClosed(window);
    window->installEventFilter(this);
    // On a screen too small for the designed place, the window comes as near to it as fits. Its
    // frame is not known before it is shown; the main window's is the best guess.
    QMargins frame;
    if (m_main && m_main->isVisible() && !window->windowFlags().testFlag(Qt::FramelessWindowHint))
        frame = corvalo::frameMargins(m_main);
    corvalo::keepOnScreen(window, frame);
}

template <class W> W* WindowSet::instance(QPointer<W>& slot, bool* created)
{
    if (created)
        *created = !slot;
    if (!slot) {
        slot = new W;
        adopt(slot);
    }
    return slot;
}

// The program ends when its last window leaves the screen, whether closed or only hidden: a
// hidden window must never keep it running unseen. Looked at once the event has done its work.
bool WindowSet::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Hide || event->type() == QEvent::Close)
        queueEndCheck();
    return QObject::eventFilter(watched, event);
}

void WindowSet::queueEndCheck()
{
    if (m_endCheckQueued)
        return;
    m_endCheckQueued = true;
    QMetaObject::invokeMethod(this, &WindowSet::endIfNoneShown, Qt::QueuedConnection);
}

void WindowSet::endIfNoneShown()
{
    m_endCheckQueued = false;
    for (QWidget* w : windows())
        if (w->isVisible())
            return;
    // A store program still starting does not keep the program: it goes with it.
    if (!m_store.isOnScreen())
        emit programEnd();
}

FrmCorvalo* WindowSet::mainWindow()
{
    bool created = false;
    FrmCorvalo* main = instance(m_main, &created);
    if (created) {
        main->musicPlayer()->setBackendLoader(m_mediaLoader);
        m_desktopControls.setPlayer(main->musicPlayer());
        connect(main, &FrmCorvalo::exitRequested, this, &WindowSet::exitProgram);
        connect(main, &FrmCorvalo::aboutRequested, this, [this] { show(about()); });
        connect(main, &FrmCorvalo::musicManagerRequested, this, [this] { show(musicManager()); });
        connect(main, &FrmCorvalo::skinsRequested, this, [this] { show(skinChooser()); });
        connect(main, &FrmCorvalo::helpRequested, this, [this] { show(helpExample()); });
        connect(main, &FrmCorvalo::cleared, this, [this] {
            if (m_splash)
                m_splash->hide();
        });
    }
    return main;
}

frmSplash* WindowSet::splash()
{
    bool created = false;
    frmSplash* card = instance(m_splash, &created);
    if (created)
        connect(card, &frmSplash::storeRequested, this, &WindowSet::openStore);
    return card;
}

FrmExp1* WindowSet::helpExample()
{
    return instance(m_helpExample);
}

FrmAbout* WindowSet::about()
{
    return instance(m_about);
}

frmmusic* WindowSet::musicManager()
{
    bool created = false;
    frmmusic* music = instance(m_music, &created);
    if (created) {
        connect(music, &frmmusic::storeRequested, this, &WindowSet::openStore);
        connect(music, &frmmusic::playRequested, this, &WindowSet::play);
    }
    return music;
}

Skins* WindowSet::skinChooser()
{
    bool created = false;
    Skins* skins = instance(m_skins, &created);
    if (created)
        connect(skins, &Skins::skinChosen, this,
                [this](const corvalo::Skin& skin, const QPixmap& picture, const QString& name) {
                    shownMainWindow()->applySkin(skin, picture, name);
                });
    return skins;
}

// The main window as the other windows need it: if the user closed it, a new one is built and
// shown, so a skin or a sound file never goes nowhere.
FrmCorvalo* WindowSet::shownMainWindow()
{
    if (m_main)
        return m_main;
    FrmCorvalo* main = mainWindow();
    show(main);
    return main;
}

void WindowSet::setMediaBackendLoader(MusicPlayer::BackendLoader loader)
{
    m_mediaLoader = std::move(loader);
    if (m_main)
        m_main->musicPlayer()->setBackendLoader(m_mediaLoader);
}

// The player's media stack, loaded the first time a sound is played.
MediaBackend* WindowSet::loadMediaBackend(QString* why)
{
    QObject* root = m_plugins.load(QStringLiteral("corvalo_media"), why);
    auto* backend = qobject_cast<MediaBackend*>(root);
    if (root && !backend)
        *why = QStringLiteral("The file is not Corvalo's media plugin.");
    return backend;
}

// Raise brings the main window up (built afresh if the user closed it), Quit is "Exit", and a
// file opened from the desktop plays as the music manager's Play has it.
void WindowSet::routeDesktopControls()
{
    connect(&m_desktopControls, &MprisService::raiseRequested, this,
            [this] { show(shownMainWindow()); });
    connect(&m_desktopControls, &MprisService::quitRequested, this, &WindowSet::exitProgram);
    connect(&m_desktopControls, &MprisService::openRequested, this, &WindowSet::play);
}

// A sound file or playlist asked for by a window or the desktop plays on the main window's
// player, which outlives them.
void WindowSet::play(const QString& location)
{
    MusicPlayer* player = shownMainWindow()->musicPlayer();
    player->setLocation(location);
    // Said where the user is; a location that cannot play says why in its own box.
    if (QWidget* focused = QApplication::focusWidget();
        focused && player->state() == MusicPlayer::State::Playing)
        corvalo::announce(focused, QStringLiteral("Playing ") + player->title());
}

void WindowSet::openStore()
{
    m_store.open(m_storeUrl);
}

void WindowSet::start()
{
    FrmCorvalo* calculator = mainWindow();
    // The card comes as any new window does; the main window, shown after it, takes the focus
    // from it, so the first keys typed reach the display rather than closing the card. A card
    // shown without the focus would be flagged as wanting attention by some window managers.
    splash()->show();
    show(calculator);
}

void WindowSet::show(QWidget* window)
{
    if (!window)
        return;
    window->show();
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

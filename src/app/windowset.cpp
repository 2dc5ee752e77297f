#include "windowset.h"

#include "music/mediabackend.h"
#include "music/musicmanager.h"
#include "music/musicplayer.h"
#include "plugins.h"
#include "skins/skinchooser.h"
#include "splash/splashwindow.h"
#include "store.h"
#include "windows/aboutbox.h"
#include "windows/helpexample.h"
#include "windows/mainwindow.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

namespace WindowSet {

namespace {

QPointer<FrmCorvalo> g_main;
QPointer<frmSplash> g_splash;
QPointer<FrmExp1> g_helpExample;
QPointer<FrmAbout> g_about;
QPointer<frmmusic> g_music;
QPointer<Skins> g_skins;
QPointer<QWidget> g_store;

QList<QWidget*> allWindows()
{
    QList<QWidget*> windows;
    for (QWidget* w : std::initializer_list<QWidget*>{g_main, g_splash, g_helpExample, g_about,
                                                      g_music, g_skins, g_store})
        if (w)
            windows.append(w);
    return windows;
}

// The program ends when its last window leaves the screen, whether closed or only hidden:
// a hidden window must never keep it running unseen.
class Watcher : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide || event->type() == QEvent::Close) {
            QMetaObject::invokeMethod(
                this,
                [] {
                    for (QWidget* w : allWindows())
                        if (w->isVisible())
                            return;
                    emit lifetime()->programEnd();
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }
};

Watcher* watcher()
{
    static Watcher instance;
    return &instance;
}

template <class W> W* instance(QPointer<W>& slot, bool* created = nullptr)
{
    if (created)
        *created = !slot;
    if (!slot) {
        slot = new W;
        slot->setAttribute(Qt::WA_DeleteOnClose);
        slot->installEventFilter(watcher());
    }
    return slot;
}

// The player's media stack, loaded the first time a sound is played.
MediaBackend* loadMediaBackend(QString* why)
{
    QObject* root = corvalo::loadPlugin(QStringLiteral("corvalo_media"), why);
    auto* backend = qobject_cast<MediaBackend*>(root);
    if (root && !backend)
        *why = QStringLiteral("The file is not Corvalo's media plugin.");
    return backend;
}

// The main window as the other windows need it: if the user closed it, a new one is built and
// shown, so a skin or a sound file never goes nowhere.
FrmCorvalo* shownMainWindow()
{
    if (g_main)
        return g_main;
    FrmCorvalo* main = mainWindow();
    show(main);
    return main;
}

} // namespace

FrmCorvalo* mainWindow()
{
    bool created = false;
    FrmCorvalo* main = instance(g_main, &created);
    if (created) {
        main->musicPlayer()->setBackendLoader(loadMediaBackend);
        QObject::connect(main, &FrmCorvalo::exitRequested, [] { exitProgram(); });
        QObject::connect(main, &FrmCorvalo::aboutRequested, [] { show(about()); });
        QObject::connect(main, &FrmCorvalo::musicManagerRequested, [] { show(musicManager()); });
        QObject::connect(main, &FrmCorvalo::skinsRequested, [] { show(skinChooser()); });
        QObject::connect(main, &FrmCorvalo::helpRequested, [] { show(helpExample()); });
        QObject::connect(main, &FrmCorvalo::cleared, [] {
            if (g_splash)
                g_splash->hide();
        });
    }
    return main;
}
frmSplash* splash()
{
    bool created = false;
    frmSplash* card = instance(g_splash, &created);
    if (created)
        QObject::connect(card, &frmSplash::storeRequested, [] { openStore(); });
    return card;
}
FrmExp1* helpExample()
{
    return instance(g_helpExample);
}
FrmAbout* about()
{
    return instance(g_about);
}
frmmusic* musicManager()
{
    bool created = false;
    frmmusic* music = instance(g_music, &created);
    if (created) {
        QObject::connect(music, &frmmusic::storeRequested, [] { openStore(); });
        music->setPlayer([] { return shownMainWindow()->musicPlayer(); });
    }
    return music;
}
Skins* skinChooser()
{
    bool created = false;
    Skins* skins = instance(g_skins, &created);
    if (created)
        skins->setMainWindow([] { return shownMainWindow(); });
    return skins;
}

QWidget* store()
{
    if (!g_store) {
        g_store = corvalo::createStoreWindow();
        if (g_store) {
            g_store->setAttribute(Qt::WA_DeleteOnClose);
            g_store->installEventFilter(watcher());
        }
    }
    return g_store;
}

FrmCorvalo* existingMainWindow()
{
    return g_main;
}
frmSplash* existingSplash()
{
    return g_splash;
}
FrmAbout* existingAbout()
{
    return g_about;
}
QWidget* existingStore()
{
    return g_store;
}

void openStore()
{
    QWidget* window = store();
    if (!window)
        return;
    show(window);
    corvalo::navigateStore(window, corvalo::storeUrl());
}

void show(QWidget* window)
{
    if (!window)
        return;
    window->show();
    if (window->isMinimized())
        window->showNormal();
    window->raise();
    window->activateWindow();
}

void closeAll()
{
    for (QWidget* w : allWindows()) {
        w->removeEventFilter(watcher());
        delete w;
    }
}

Lifetime* lifetime()
{
    static Lifetime instance;
    return &instance;
}

void exitProgram()
{
    emit lifetime()->programEnd();
}

} // namespace WindowSet

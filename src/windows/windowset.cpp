#include "windowset.h"

#include "aboutbox.h"
#include "helpexample.h"
#include "mainwindow.h"
#include "music/musicmanager.h"
#include "skins/skinchooser.h"
#include "splash/splashwindow.h"
#include "splash/storeloader.h"

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

template <class W> W* instance(QPointer<W>& slot)
{
    if (!slot) {
        slot = new W;
        slot->setAttribute(Qt::WA_DeleteOnClose);
        slot->installEventFilter(watcher());
    }
    return slot;
}

} // namespace

FrmCorvalo* mainWindow()
{
    return instance(g_main);
}
frmSplash* splash()
{
    return instance(g_splash);
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
    return instance(g_music);
}
Skins* skinChooser()
{
    return instance(g_skins);
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

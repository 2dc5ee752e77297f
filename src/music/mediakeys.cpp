#include "mediakeys.h"

#include "musicplayer.h"

#include <QShortcut>
#include <QWidget>

#include <utility>

namespace corvalo::music {

void bindMediaKeys(QWidget* window, MusicPlayer* player)
{
    // On X11 and Wayland the single Play/Pause key of a keyboard arrives as Play
    // (XF86AudioPlay), which the desktops' own media-key services take as the toggle too.
    const std::pair<Qt::Key, void (MusicPlayer::*)()> keys[] = {
        {Qt::Key_MediaPlay, &MusicPlayer::playPause},
        {Qt::Key_MediaPause, &MusicPlayer::pause},
        {Qt::Key_MediaTogglePlayPause, &MusicPlayer::playPause},
        {Qt::Key_MediaStop, &MusicPlayer::stop},
        {Qt::Key_MediaNext, &MusicPlayer::next},
        {Qt::Key_MediaPrevious, &MusicPlayer::previous},
    };
    for (const auto& [key, action] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), window);
        shortcut->setContext(Qt::ApplicationShortcut);
        QObject::connect(shortcut, &QShortcut::activated, player, action);
    }
}

} // namespace corvalo::music

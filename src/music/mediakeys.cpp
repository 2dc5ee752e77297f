#include "mediakeys.h"

#include "musicplayer.h"

#include <QShortcut>
#include <QWidget>

#include <utility>

namespace corvalo::music {

void bindMediaKeys(QWidget* window, MusicPlayer* player)
{
    const std::pair<Qt::Key, void (MusicPlayer::*)()> keys[] = {
        {Qt::Key_MediaPlay, &MusicPlayer::play},
        {Qt::Key_MediaPause, &MusicPlayer::pause},
        {Qt::Key_MediaTogglePlayPause, &MusicPlayer::playPause},
        {Qt::Key_MediaStop, &MusicPlayer::stop},
        {Qt::Key_MediaNext, &MusicPlayer::next},
        {Qt::Key_MediaPrevious, &MusicPlayer::previous},
    };
    for (const auto& [key, action] : keys) {
        auto* shortcut = new QShortcut(QKeySequence(key), window);
        QObject::connect(shortcut, &QShortcut::activated, player, action);
    }
}

} // namespace corvalo::music

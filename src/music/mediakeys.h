#pragma once

class MusicPlayer;
class QWidget;

namespace corvalo::music {

// The keyboard's media keys act on the player while the window is active, also where no desktop
// service hands them on. Shortcuts, so the window's own key handling never sees them.
void bindMediaKeys(QWidget* window, MusicPlayer* player);

} // namespace corvalo::music

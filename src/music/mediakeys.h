#pragma once

class MusicPlayer;
class QWidget;

namespace corvalo::music {

// The keyboard's media keys act on the player while any of the program's windows is active, also
// where no desktop service hands them on. Shortcuts, so no window's own key handling sees them.
// They live as long as the window does.
void bindMediaKeys(QWidget* window, MusicPlayer* player);

} // namespace corvalo::music

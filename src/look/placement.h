#pragma once

#include <QMargins>
#include <QRect>

class QWidget;

namespace corvalo {

// Where a window whose frame would stick out of area goes instead: moved inward by the least
// distance, its top-left corner first when it is larger than the area. A frame that fits stays.
// Both are in logical pixels, ratio device pixels to one of them.
QRect placedWithin(QRect frame, QRect area, qreal ratio);

// The frame the window manager put around a window, where it is shown.
QMargins frameMargins(const QWidget* window);

// Keeps a window that was given a place of its own wholly on its screen's available area,
// counting its frame (that of the main window when its own is not known yet). A window left to
// the window manager's placement is placed by it, and made no larger than that area.
void keepOnScreen(QWidget* window, QMargins frameEstimate);

// Asks the window manager to leave the window out of the task bar and the pager. Called before the
// window is first shown: the hint is read as the window is mapped. Wayland has no such hint.
void keepOffTaskbar(QWidget* window);

} // namespace corvalo

#pragma once

class QWidget;

namespace corvalo {

// Has the window deleted when it is closed, as Qt::WA_DeleteOnClose does, but never while a menu
// or dialog of its own runs an event loop (a context menu, a modal box): those are closed first,
// and the window goes once their loops have returned.
void deleteWhenClosed(QWidget* window);

} // namespace corvalo

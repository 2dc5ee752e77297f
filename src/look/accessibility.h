#pragma once

#include <QAccessible>

class QWidget;

namespace corvalo {

// Called first in a window's constructor, before anything could ask for its accessible
// interface. Qt exposes a window built on a plain QWidget as a nameless "filler"; from here on it
// is a frame (or the role given), named by its title or accessible name. Inside any plain
// container, the children that have nothing to say are left out of the tree: labels without
// text, pictures without a name (backgrounds, which only decorate) and drawn lines and shapes.
void exposeWindow(QWidget* window, QAccessible::Role role = QAccessible::Window);

// The interfaces exposeWindow() relies on, for every plain widget of the application. Once per
// application: corvalo::setUpApplication() does it.
void installPlainWidgetInterfaces();

} // namespace corvalo

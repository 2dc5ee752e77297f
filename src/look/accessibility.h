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

// Says text through a screen reader as a change of the widget's description, the one change
// Orca reads out on the object with the focus; the widget's description is left as it was.
void announce(QWidget* widget, const QString& text);

// Sets the widget's description and has a screen reader read it out if the widget has the focus.
void setAnnouncedDescription(QWidget* widget, const QString& description);

// A program started before the screen reader joins the accessibility bus once the desktop says
// that assistive technology is on. Once per application: corvalo::setUpApplication() does it.
void followScreenReader();

// A text box the keyboard reaches is announced by its name first. Once per application:
// corvalo::setUpApplication() does it.
void tellFocusFirst();

// The interfaces exposeWindow() relies on, for every plain widget of the application. Once per
// application: corvalo::setUpApplication() does it.
void installPlainWidgetInterfaces();

} // namespace corvalo

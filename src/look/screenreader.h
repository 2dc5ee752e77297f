#pragma once

class QString;
class QWidget;

// What a screen reader (Orca 43 with Qt 6.4's bridge) hears beyond what Qt tells it by itself.
namespace corvalo {

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

} // namespace corvalo

#pragma once

class QAbstractSlider;
class QObject;
class QString;
class QWidget;

// What a screen reader (Orca 43 with Qt 6.4's bridge) hears beyond what Qt tells it by itself.
namespace corvalo {

// Says text through a screen reader as a change of the widget's description, the one change
// Orca reads out on the object with the focus; the widget's description is left as it was.
void announce(QWidget* widget, const QString& text);

// Sets the widget's description and has a screen reader read it out if the widget has the focus.
void setAnnouncedDescription(QWidget* widget, const QString& description);

// What a screen reader says for the widget's value, in place of the bare number; an empty text
// leaves the number. Set it before the value changes: the screen reader asks for it then.
void setValueText(QWidget* widget, const QString& text);
QString valueText(const QObject* widget);

// Sets a value that moves by itself, such as a playing position, without the screen reader
// reading out every step; it reads the value when asked.
void setValueQuietly(QAbstractSlider* slider, int value);

// A program started before the screen reader joins the accessibility bus once the desktop says
// that assistive technology is on. Once per application: corvalo::setUpApplication() does it.
void followScreenReader();

// A text box the keyboard reaches is announced by its name first, and values set quietly are not
// announced. Once per application:
// corvalo::setUpApplication() does it.
void tidyAnnouncements();

} // namespace corvalo

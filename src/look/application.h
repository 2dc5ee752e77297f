#pragma once

namespace corvalo {

// Configures the QApplication just made, for the calculator, the store program and the tests
// alike: name and desktop id, style, look-alike faces, the quit rule (each program decides itself
// when it is done) and every install that holds for the whole process.
void setUpApplication();

// Called before the QApplication is made. Qt's GTK theme, where the desktop chooses it, brings
// GTK into the process, and GTK's own accessibility bridge would list a second, empty program
// of ours to a screen reader. Qt's bridge alone speaks for the program: none of its dialogs is
// GTK's.
void keepGtkOffAccessibilityBus();

} // namespace corvalo

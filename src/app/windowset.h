#pragma once

#include <QObject>

class QWidget;
class FrmCorvalo;
class frmSplash;
class FrmExp1;
class FrmAbout;
class frmmusic;
class Skins;

// The program's seven windows, at most one of each. A window is built the first time anything
// asks for it and forgotten when the user closes it through its frame, so the next request
// builds it afresh; a hidden window keeps its state.
namespace WindowSet {

FrmCorvalo* mainWindow();
frmSplash* splash();
FrmExp1* helpExample();
FrmAbout* about();
frmmusic* musicManager();
Skins* skinChooser();
// The store window lives in a module of its own that is loaded here on first use; nullptr (after
// telling the user why) when the module cannot be loaded.
QWidget* store();

// The same windows, without building them.
FrmCorvalo* existingMainWindow();
frmSplash* existingSplash();
FrmAbout* existingAbout();
QWidget* existingStore();

// What a store button does: shows the store window (built afresh if it was closed, brought to the
// front if open) and has its web view navigate to the store's home page, on every click.
void openStore();

// Shows a window modeless and without owner; an open window comes to the front.
void show(QWidget* window);

// Takes down every window at once.
void closeAll();

// Announces the end of the program: after "Exit", or when no window is left on the screen.
class Lifetime : public QObject {
    Q_OBJECT
signals:
    void programEnd();
};
Lifetime* lifetime();
void exitProgram();

} // namespace WindowSet

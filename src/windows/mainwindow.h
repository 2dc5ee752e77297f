#pragma once

#include "engine/calculator.h"
#include "skins/skincatalogue.h"

#include <QMainWindow>

#include "keypad.h"

#include <array>

class MusicPlayer;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;

// The calculator: a keypad under a one-line display made of two stacked boxes, the note, the
// "?" key, the background picture and the player strip along the bottom.
class FrmCorvalo : public QMainWindow {
    Q_OBJECT
public:
    explicit FrmCorvalo(QWidget* parent = nullptr);

    // What a click on the key's button does: the boxes' texts are read, the key acts on the
    // calculation, and the outcome is shown; a fault is reported in a message box.
    void pressKey(corvalo::Key key);
    const corvalo::CalcState& state() const { return m_state; }

    QPushButton* keyButton(corvalo::Key key) const;
    // The button of a row of corvalo::keypad.
    QPushButton* pushButton(std::size_t row) const { return m_buttons.at(row); }
    // All push buttons, the keypad and "?", in the order skins colour them (corvalo::colourOrder).
    QList<QPushButton*> pushButtons() const;
    QLineEdit* display() const { return m_txtDisplay; }
    QLineEdit* display2() const { return m_txtDisplay2; }
    QLabel* note() const { return m_lblRem; }
    QLabel* backgroundPicture() const { return m_image2; }
    QWidget* playerStrip() const { return m_player; }
    MusicPlayer* musicPlayer() const { return m_music; }

    // The background takes the skin's picture as given (the chooser's own, not a copy), then the
    // keys, the display boxes and the note take its colours.
    void applySkin(const corvalo::Skin& skin, const QPixmap& picture, const QString& pictureName);

signals:
    // The menu commands and the "?" key; the window set opens what they ask for.
    void exitRequested();
    void aboutRequested();
    void musicManagerRequested();
    void skinsRequested();
    void helpRequested();
    // "C" was pressed: it also takes the splash card down.
    void cleared();

protected:
    // Keys typed where the focus is on nothing or on a control that leaves them alone.
    void keyPressEvent(QKeyEvent* event) override;
    // Keys typed on the display boxes and the keypad, and text pasted or dropped on the boxes.
    // Ctrl+C with nothing selected copies a box's whole text.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    // F10: the File menu opens with "Exit" chosen, the menu bar following the keyboard.
    void openFileMenu();
    void SetButtonColour(corvalo::Colour keyColour);
    void SetDisplayColours(corvalo::Colour displayColour, corvalo::Colour noteColour);
    // Calculating from the keyboard (engine/typing.h has the rule): the key typed presses a
    // calculator key or enters the display; false when it does neither. Any printable text
    // enters the display when the display has the focus, only a number's characters elsewhere.
    bool keyTyped(const QKeyEvent* event, bool displayFocused);
    void pressTyped(corvalo::Key key, bool byEnter = false);
    // Text typed, pasted or dropped, put in at the shown box's cursor.
    void enterText(const QString& text);
    bool textDropped(QLineEdit* box, QEvent* event);
    QLineEdit* shownBox() const;
    void render();
    void showFault(corvalo::Fault fault);

    corvalo::CalcState m_state;
    bool m_enterTyped = false;    // the key pressed now came from Enter in a display box
    bool m_resultShown = false;   // "=" has shown a result: text typed next starts afresh
    bool m_afterOperator = false; // an operator key was the last thing pressed
    std::array<QPushButton*, corvalo::keypad.size()> m_buttons{}; // by row of the table
    QLineEdit* m_txtDisplay = nullptr;
    QLineEdit* m_txtDisplay2 = nullptr;
    QLabel* m_lblRem = nullptr;
    QLabel* m_lblInfo = nullptr;
    QLabel* m_image2 = nullptr;
    QWidget* m_player = nullptr;
    MusicPlayer* m_music = nullptr;
};

#include "mainwindow.h"

#include "engine/number.h"
#include "engine/typing.h"
#include "keypad.h"
#include "look/accessibility.h"
#include "look/appearance.h"
#include "look/picturebutton.h"
#include "look/screenreader.h"
#include "music/mediakeys.h"
#include "music/musicplayer.h"
#include "music/playerstrip.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QScopedValueRollback>

#include <algorithm>
#include <optional>
#include <utility>

using corvalo::Box;
using corvalo::Colour;
using corvalo::Key;

namespace {

constexpr QRect displayRect = corvalo::twipsRect(120, 0, 3495, 375);
constexpr Colour displayBack = Colour::fromRgb(0x804040);
constexpr Colour noteColour = Colour::fromRgb(0xFFFF00);
const QString comicSans = QStringLiteral("Comic Sans MS");

// The decimal key of the numeric keypad, whatever the keyboard layout makes it type (a comma on
// a German keyboard).
bool isKeypadDecimal(const QKeyEvent* key)
{
    return (key->modifiers() & Qt::KeypadModifier) &&
           (key->key() == Qt::Key_Period || key->key() == Qt::Key_Comma);
}

// What a typed number is made of: digits, ".", signs and an exponent's letter.
bool isNumberText(const QString& text)
{
    return std::ranges::all_of(text, [](QChar c) {
        return c.isDigit() || c == u'.' || c == u'-' || c == u'+' ||
               corvalo::isExponentLetter(c.unicode());
    });
}

// Text that offers "=" again, as the digit keys do.
bool holdsDigit(const QString& text)
{
    return std::ranges::any_of(text, [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

FrmCorvalo::FrmCorvalo(QWidget* parent) : QMainWindow(parent)
{
    corvalo::exposeWindow(this);
    setObjectName(QStringLiteral("FrmCorvalo"));
    setWindowTitle(QStringLiteral("Corvalo(Xmas)"));
    setWindowIcon(corvalo::windowIcon());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFont(corvalo::defaultLayoutFont());
    buildMenu();
    buildControls();
    render();

    // The design places the client area; the menu bar and the frame lie above it.
    const QRect clientArea = corvalo::twipsRect(5325, 2835, 3750, 3645);
    const int menuHeight = menuBar()->heightForWidth(clientArea.width());
    setGeometry(clientArea.adjusted(0, -menuHeight, 0, 0));
}

void FrmCorvalo::buildMenu()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    file->menuAction()->setObjectName(QStringLiteral("mnuFile"));
    QAction* exit = file->addAction(QStringLiteral("Exit"), this, &FrmCorvalo::exitRequested);
    exit->setObjectName(QStringLiteral("MnuExit"));

    auto command = [this](const char* name, const QString& caption, auto handler) {
        QAction* action = menuBar()->addAction(caption, this, handler);
        action->setObjectName(QString::fromLatin1(name));
    };
    command("MnuAbout", QStringLiteral("About"), &FrmCorvalo::aboutRequested);
    command("mnuMusic", QStringLiteral("Music Manager"), &FrmCorvalo::musicManagerRequested);
    command("MnuSkins", QStringLiteral("Skins"), &FrmCorvalo::skinsRequested);
}

void FrmCorvalo::buildControls()
{
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    corvalo::setBackColour(client, corvalo::SystemColour::TitleBarText);
    setCentralWidget(client);

    // Built from the bottom of the stack up, so each new control lies above the ones before it.
    m_image2 = new QLabel(client);
    m_image2->setObjectName(QStringLiteral("Image2"));
    m_image2->setGeometry(corvalo::twipsRect(-240, 0, 4185, 3015));
    m_image2->setScaledContents(true);
    m_image2->setPixmap(
        corvalo::picture(QStringLiteral("village.jpg"), m_image2->devicePixelRatioF()));
    m_image2->setAccessibleName(QStringLiteral("Default skin")); // a skin hands on its own

    m_lblRem = new QLabel(QStringLiteral("NOTE: Press Equals  after every sum."), client);
    m_lblRem->setObjectName(QStringLiteral("lblREM"));
    m_lblRem->setGeometry(corvalo::twipsRect(480, 360, 3015, 255));
    m_lblRem->setFont(corvalo::layoutFont(comicSans, 8.25));
    m_lblRem->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    corvalo::setForeColour(m_lblRem, noteColour);

    m_lblInfo = new QLabel(client);
    m_lblInfo->setObjectName(QStringLiteral("LblInfo"));
    m_lblInfo->setGeometry(displayRect);

    auto* strip = new PlayerStrip(client); // "WindowsMediaPlayer1"
    m_music = new MusicPlayer(strip, this);
    corvalo::music::bindMediaKeys(this, m_music);
    m_player = strip;
    m_player->setGeometry(corvalo::twipsRect(0, 3000, 3735, 645));
    m_player->setAccessibleName(QStringLiteral("Media player"));

    auto makeDisplay = [&](const char* name, Colour text) {
        auto* box = new QLineEdit(client);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(displayRect);
        box->setFont(corvalo::layoutFont(QStringLiteral("MS Sans Serif"), 8.25, true));
        box->setAccessibleName(QStringLiteral("Display"));
        box->setMaxLength(corvalo::displayCapacity);
        corvalo::setBackColour(box, displayBack);
        corvalo::setForeColour(box, text);
        box->installEventFilter(this);
        // Once edited, a result is a number being typed.
        connect(box, &QLineEdit::textEdited, this,
                [this] { m_resultShown = m_afterOperator = false; });
        return box;
    };
    m_txtDisplay = makeDisplay("TxtDisplay", corvalo::SystemColour::MenuText);

    std::vector<std::pair<int, QWidget*>> tabOrder = {{0, m_txtDisplay}};
    // Built bottom first, so walk each part of the table from its end.
    auto makeButtons = [&](bool aboveDisplay2) {
        for (std::size_t row = corvalo::keypad.size(); row-- > 0;) {
            const corvalo::KeyDesign& d = corvalo::keypad[row];
            if (d.aboveDisplay2 != aboveDisplay2)
                continue;
            auto* button = new PictureButton(QString::fromLatin1(d.caption), client);
            button->setObjectName(QString::fromLatin1(d.name));
            button->setAccessibleName(QString::fromLatin1(d.accessibleName));
            button->setGeometry(corvalo::twipsRect(d.left, d.top, d.width, d.height));
            button->setFont(corvalo::layoutFont(comicSans, d.points, d.bold));
            button->setAutoDefault(false);
            // Reached by Tab, never by a click: what the user types keeps going to the display.
            button->setFocusPolicy(Qt::TabFocus);
            button->installEventFilter(this);
            tabOrder.emplace_back(d.tabIndex, button);
            m_buttons[row] = button;
            if (d.key) {
                const Key key = *d.key;
                connect(button, &QPushButton::clicked, this, [this, key] { pressKey(key); });
            } else {
                connect(button, &QPushButton::clicked, this, &FrmCorvalo::helpRequested);
            }
        }
    };
    makeButtons(false);
    m_txtDisplay2 = makeDisplay("txtdisplay2", Colour::fromRgb(0x000000));
    tabOrder.emplace_back(23, m_txtDisplay2);
    makeButtons(true);

    tabOrder.emplace_back(29, m_player);
    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
    m_txtDisplay->setFocus();
}

QPushButton* FrmCorvalo::keyButton(Key key) const
{
    return m_buttons[corvalo::keypadRow(key)];
}

QList<QPushButton*> FrmCorvalo::pushButtons() const
{
    QList<QPushButton*> buttons;
    for (std::size_t row : corvalo::colourOrder)
        buttons.append(m_buttons[row]);
    return buttons;
}

void FrmCorvalo::pressKey(Key key)
{
    m_state.display = m_txtDisplay->text().toStdString();
    m_state.display2 = m_txtDisplay2->text().toStdString();
    QWidget* focused = focusWidget();
    auto* focusedBox = qobject_cast<QLineEdit*>(focused);
    const QString focusedText = focusedBox ? focusedBox->text() : QString();
    const corvalo::Fault fault = corvalo::press(m_state, key);
    render();
    m_resultShown = key == Key::Equals && fault == corvalo::Fault::None;
    m_afterOperator =
        key == Key::Add || key == Key::Subtract || key == Key::Multiply || key == Key::Divide;
    // A screen reader reads the box the focus moves to, a fault's message box, and new text that
    // Enter put into the box it was typed in; otherwise it speaks no text put into a box, nor
    // anything outside the focus.
    const bool readAlready = m_enterTyped && focusedBox && !focusedBox->text().isEmpty() &&
                             focusedBox->text() != focusedText;
    if (fault == corvalo::Fault::None && focused && focusWidget() == focused && !readAlready) {
        const QString shown = shownBox()->text();
        corvalo::announce(focused, shown.isEmpty() ? QStringLiteral("Empty") : shown);
    }
    if (key == Key::Clear)
        emit cleared();
    if (fault != corvalo::Fault::None)
        showFault(fault);
}

void FrmCorvalo::render()
{
    const bool first = m_state.visible == Box::Display;
    QLineEdit* shown = first ? m_txtDisplay : m_txtDisplay2;
    QLineEdit* hidden = first ? m_txtDisplay2 : m_txtDisplay;
    QWidget* focused = focusWidget();
    QPushButton* equals = keyButton(Key::Equals);
    // Typing goes on in the box now shown. A key pressed from the keyboard that turns itself off
    // hands the focus to the display too, not to whichever key comes next in the tab order. The
    // focus moves before the text changes, so a screen reader hears the new text in the box
    // it has just announced, rather than a change elsewhere followed by a familiar box.
    const bool swapped = shown->isHidden();
    shown->setVisible(true);
    if (swapped || focused == hidden || (focused == equals && !m_state.equalsEnabled) ||
        (focused && !focused->isEnabled()))
        shown->setFocus();
    hidden->setVisible(false);
    equals->setEnabled(m_state.equalsEnabled);
    auto setText = [](QLineEdit* box, const std::string& text) {
        const QString shownText = QString::fromStdString(text);
        if (box->text() != shownText)
            box->setText(shownText);
    };
    setText(m_txtDisplay, m_state.display);
    setText(m_txtDisplay2, m_state.display2);
}

void FrmCorvalo::showFault(corvalo::Fault fault)
{
    QMessageBox::critical(this, QStringLiteral("Error"),
                          QString::fromUtf8(corvalo::faultMessage(fault)));
}

void FrmCorvalo::keyPressEvent(QKeyEvent* event)
{
    if (keyTyped(event, false))
        return;
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::NoModifier) {
        openFileMenu();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void FrmCorvalo::openFileMenu()
{
    // As the keyboard reaches a menu bar by itself: Alt pressed and let go alone gives the menu
    // bar the keyboard with its first item chosen, and Down opens that item's menu with its first
    // command chosen. The arrow keys then move along the menu bar, and Escape gives the focus back.
    // Qt's menu bar sees a key about to be pressed as its shortcut check.
    QWidget* focus = focusWidget() ? focusWidget() : this;
    QKeyEvent altDown(QEvent::ShortcutOverride, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(focus, &altDown);
    QKeyEvent altUp(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
    QCoreApplication::sendEvent(focus, &altUp);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(menuBar(), &down);
}

void FrmCorvalo::applySkin(const corvalo::Skin& skin, const QPixmap& picture,
                           const QString& pictureName)
{
    m_image2->setPixmap(picture);
    m_image2->setAccessibleName(pictureName);
    SetButtonColour(skin.keyColour);
    SetDisplayColours(skin.displayColour, skin.noteColour);
}

void FrmCorvalo::SetButtonColour(corvalo::Colour keyColour)
{
    for (QPushButton* button : pushButtons())
        corvalo::setBackColour(button, keyColour);
}

void FrmCorvalo::SetDisplayColours(corvalo::Colour displayColour, corvalo::Colour noteColour)
{
    corvalo::setBackColour(m_txtDisplay, displayColour);
    corvalo::setBackColour(m_txtDisplay2, displayColour);
    corvalo::setForeColour(m_lblRem, noteColour);
}

bool FrmCorvalo::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (box && key->matches(QKeySequence::Copy) && !box->hasSelectedText()) {
            QGuiApplication::clipboard()->setText(box->text());
            return true;
        }
        // A focused key takes Enter as its own press under some desktops' themes (GNOME's): here
        // it is "=" wherever the focus is, while Space still presses the focused key.
        return keyTyped(key, box != nullptr);
    }
    case QEvent::Drop:
    case QEvent::MouseButtonRelease:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
        return box && textDropped(box, event);
    default:
        return QMainWindow::eventFilter(watched, event);
    }
}

// The other ways text reaches a box go the way typed text does.
bool FrmCorvalo::textDropped(QLineEdit* box, QEvent* event)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    switch (event->type()) {
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (!drop->mimeData()->hasText())
            return false;
        drop->acceptProposedAction();
        enterText(drop->mimeData()->text());
        return true;
    }
    case QEvent::MouseButtonRelease: // X11's middle-button paste of the selection
        if (static_cast<QMouseEvent*>(event)->button() != Qt::MiddleButton ||
            !clipboard->supportsSelection())
            return false;
        enterText(clipboard->text(QClipboard::Selection));
        return true;
    case QEvent::ContextMenu: {
        QMenu* menu = box->createStandardContextMenu();
        menu->setAttribute(Qt::WA_DeleteOnClose);
        // Qt names the command by its own translated caption, its shortcut appended.
        for (QAction* paste : menu->actions()) {
            if (!paste->text().startsWith(QLineEdit::tr("&Paste")))
                continue;
            disconnect(paste, &QAction::triggered, box, nullptr);
            connect(paste, &QAction::triggered, this,
                    [this, clipboard] { enterText(clipboard->text()); });
        }
        menu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    case QEvent::InputMethod: { // what an input method has composed, once it is final
        const auto* composed = static_cast<QInputMethodEvent*>(event);
        if (composed->commitString().isEmpty() || !composed->preeditString().isEmpty() ||
            composed->replacementLength() != 0)
            return false;
        enterText(composed->commitString());
        return true;
    }
    default:
        return false;
    }
}

bool FrmCorvalo::keyTyped(const QKeyEvent* event, bool displayFocused)
{
    if (event->matches(QKeySequence::Paste)) {
        enterText(QGuiApplication::clipboard()->text());
        return true;
    }
    if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        pressTyped(Key::Equals, true);
        return true;
    case Qt::Key_Escape:
        pressTyped(Key::Clear);
        return true;
    default:
        break;
    }
    // The calculator's decimal point is "." in every layout; a comma would end the number.
    const QString text = isKeypadDecimal(event) ? QStringLiteral(".") : event->text();
    if (text.isEmpty() || !std::ranges::all_of(text, [](QChar c) { return c.isPrint(); }))
        return false;
    if (text.size() == 1) {
        QLineEdit* box = shownBox();
        const QString shown = box->text();
        const int at = box->hasSelectedText() ? box->selectionStart() : box->cursorPosition();
        const corvalo::TypingPlace place{
            .numberStarts = m_afterOperator || box->selectedText() == shown,
            .afterExponent = at > 0 && corvalo::isExponentLetter(shown.at(at - 1).unicode()),
        };
        if (const auto key = corvalo::typedKey(text.front().unicode(), place)) {
            pressTyped(*key);
            return true;
        }
    }
    if (!displayFocused && !isNumberText(text))
        return false;
    enterText(text);
    return true;
}

void FrmCorvalo::pressTyped(Key key, bool byEnter)
{
    const QScopedValueRollback enter(m_enterTyped, byEnter);
    keyButton(key)->click();
}

void FrmCorvalo::enterText(const QString& text)
{
    if (text.isEmpty())
        return;
    QLineEdit* box = shownBox();
    const qsizetype kept = m_resultShown ? 0 : box->text().size() - box->selectedText().size();
    if (kept + text.size() > box->maxLength()) {
        showFault(corvalo::Fault::DisplayFull);
        return;
    }
    if (std::exchange(m_resultShown, false)) {
        // A new calculation, as after "C"; the memory stays, and so does the splash card.
        corvalo::press(m_state, Key::Clear);
        render();
        box = shownBox();
    }
    m_afterOperator = false;
    box->insert(text);
    if (holdsDigit(text)) {
        m_state.equalsEnabled = true;
        keyButton(Key::Equals)->setEnabled(true);
    }
    // Typed with the focus on a key, the text is news to a screen reader.
    if (QWidget* focused = focusWidget(); focused && focused != box)
        corvalo::announce(focused, box->text());
}

QLineEdit* FrmCorvalo::shownBox() const
{
    return m_state.visible == Box::Display ? m_txtDisplay : m_txtDisplay2;
}

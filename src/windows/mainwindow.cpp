#include "mainwindow.h"

#include "look/appearance.h"
#include "music/musicplayer.h"
#include "music/playerstrip.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>

#include <limits>

using corvalo::Box;
using corvalo::Colour;
using corvalo::Key;

namespace {

struct ButtonDesign {
    std::optional<Key> key; // none for "?"
    const char* name;
    const char* caption;
    const char* accessibleName;
    int left, top, width, height; // twips
    double points;
    bool bold;
    int tabIndex;
};

// In stacking order, topmost first.
constexpr ButtonDesign upperButtons[] = {
    {Key::MemoryClear, "CmdMemC", "MC", "Memory clear", 1560, 600, 495, 375, 8.25, true, 28},
    {Key::MemoryRecall, "cmdMrc", "MRC", "Memory recall", 840, 600, 495, 375, 8.25, true, 27},
    {Key::MemoryAdd, "CmdMem", "M+", "Memory add", 120, 600, 495, 375, 8.25, true, 26},
    {std::nullopt, "cmdexp1", "?", "Help example", 3480, 360, 255, 255, 8.25, false, 25},
};
// Below txtdisplay2 and above TxtDisplay.
constexpr ButtonDesign lowerButtons[] = {
    {Key::Pi, "CmdPy", "TT", "Pi", 120, 2520, 495, 375, 11.25, true, 21},
    {Key::Square, "CmdSqr", "^", "Square", 1560, 2520, 495, 375, 11.25, true, 20},
    {Key::Two, "CmdTwo", "2", "Two", 840, 1080, 495, 375, 11.25, true, 19},
    {Key::Three, "CmdThree", "3", "Three", 1560, 1080, 495, 375, 11.25, true, 18},
    {Key::Four, "CmdFour", "4", "Four", 120, 1560, 495, 375, 11.25, true, 17},
    {Key::Five, "CmdFive", "5", "Five", 840, 1560, 495, 375, 11.25, true, 16},
    {Key::Six, "CmdSix", "6", "Six", 1560, 1560, 495, 375, 11.25, true, 15},
    {Key::Seven, "CmdSeven", "7", "Seven", 120, 2040, 495, 375, 11.25, true, 14},
    {Key::Eight, "CmdEight", "8", "Eight", 840, 2040, 495, 375, 11.25, true, 13},
    {Key::Nine, "CmdNine", "9", "Nine", 1560, 2040, 495, 375, 11.25, true, 12},
    {Key::Zero, "CmdZero", "0", "Zero", 840, 2520, 495, 375, 11.25, true, 11},
    {Key::One, "CmdOne", "1", "One", 120, 1080, 495, 375, 11.25, true, 10},
    {Key::Clear, "CmdCancel", "C", "Clear", 2400, 2520, 1095, 375, 8.25, true, 9},
    {Key::Dot, "CmdDot", ".", "Decimal point", 2400, 2040, 495, 375, 12, false, 8},
    {Key::Equals, "CmdEquals", "=", "Equals", 3000, 2040, 495, 375, 12, false, 7},
    {Key::Percent, "CmdPercent", "%", "Percent", 3000, 600, 495, 375, 8.25, true, 6},
    {Key::SquareRoot, "CmdSqrt", "Sqrt", "Square root", 2400, 600, 495, 375, 8.25, true, 5},
    {Key::Add, "cmdAdd", "+", "Add", 3000, 1080, 495, 405, 12, false, 4},
    {Key::Subtract, "cmdSubtract", "-", "Subtract", 2400, 1080, 495, 405, 12, false, 3},
    {Key::Multiply, "cmdMultiply", "*", "Multiply", 2400, 1560, 495, 405, 12, false, 2},
    {Key::Divide, "cmdDivide", "/", "Divide", 3000, 1560, 495, 405, 12, false, 1},
};

constexpr QRect displayRect = corvalo::twipsRect(120, 0, 3495, 375);
constexpr Colour displayBack = Colour::fromRgb(0x804040);
constexpr Colour noteColour = Colour::fromRgb(0xFFFF00);
const QString comicSans = QStringLiteral("Comic Sans MS");

} // namespace

FrmCorvalo::FrmCorvalo(QWidget* parent) : QMainWindow(parent)
{
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

    const int menuHeight = menuBar()->sizeHint().height();
    setGeometry(corvalo::twips(5325), corvalo::twips(2835), corvalo::twips(3750),
                corvalo::twips(3645) + menuHeight);
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
    m_image2->setPixmap(corvalo::picture(QStringLiteral("village.jpg")));

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
    m_player = strip;
    m_player->setGeometry(corvalo::twipsRect(0, 3000, 3735, 645));
    m_player->setAccessibleName(QStringLiteral("Media player"));

    auto makeDisplay = [&](const char* name, Colour text) {
        auto* box = new QLineEdit(client);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(displayRect);
        box->setFont(corvalo::layoutFont(QStringLiteral("MS Sans Serif"), 8.25, true));
        box->setAccessibleName(QStringLiteral("Display"));
        box->setMaxLength(std::numeric_limits<int>::max()); // a result must never be cut short
        corvalo::setBackColour(box, displayBack);
        corvalo::setForeColour(box, text);
        return box;
    };
    m_txtDisplay = makeDisplay("TxtDisplay", corvalo::SystemColour::MenuText);

    std::vector<std::pair<int, QWidget*>> tabOrder = {{0, m_txtDisplay}};
    auto makeButtons = [&](const auto& designs) {
        for (auto it = std::rbegin(designs); it != std::rend(designs); ++it) {
            const ButtonDesign& d = *it;
            auto* button = new QPushButton(QString::fromLatin1(d.caption), client);
            button->setObjectName(QString::fromLatin1(d.name));
            button->setAccessibleName(QString::fromLatin1(d.accessibleName));
            button->setGeometry(corvalo::twipsRect(d.left, d.top, d.width, d.height));
            button->setFont(corvalo::layoutFont(comicSans, d.points, d.bold));
            button->setAutoDefault(false);
            tabOrder.emplace_back(d.tabIndex, button);
            if (d.key) {
                const Key key = *d.key;
                m_keys[static_cast<std::size_t>(key)] = button;
                connect(button, &QPushButton::clicked, this, [this, key] { pressKey(key); });
            } else {
                m_cmdExp1 = button;
                connect(button, &QPushButton::clicked, this, &FrmCorvalo::helpRequested);
            }
        }
    };
    makeButtons(lowerButtons);
    m_txtDisplay2 = makeDisplay("txtdisplay2", Colour::fromRgb(0x000000));
    tabOrder.emplace_back(23, m_txtDisplay2);
    makeButtons(upperButtons);

    tabOrder.emplace_back(29, m_player);
    std::sort(tabOrder.begin(), tabOrder.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 1; i < tabOrder.size(); ++i)
        setTabOrder(tabOrder[i - 1].second, tabOrder[i].second);
    m_txtDisplay->setFocus();
}

QPushButton* FrmCorvalo::keyButton(Key key) const
{
    return m_keys[static_cast<std::size_t>(key)];
}

void FrmCorvalo::pressKey(Key key)
{
    m_state.display = m_txtDisplay->text().toStdString();
    m_state.display2 = m_txtDisplay2->text().toStdString();
    const corvalo::Fault fault = corvalo::press(m_state, key);
    render();
    if (key == Key::Clear)
        emit cleared();
    if (fault != corvalo::Fault::None)
        showFault(fault);
}

void FrmCorvalo::render()
{
    auto setText = [](QLineEdit* box, const std::string& text) {
        const QString shown = QString::fromStdString(text);
        if (box->text() != shown)
            box->setText(shown);
    };
    setText(m_txtDisplay, m_state.display);
    setText(m_txtDisplay2, m_state.display2);
    const bool first = m_state.visible == Box::Display;
    (first ? m_txtDisplay : m_txtDisplay2)->setVisible(true);
    (first ? m_txtDisplay2 : m_txtDisplay)->setVisible(false);
    keyButton(Key::Equals)->setEnabled(m_state.equalsEnabled);
}

void FrmCorvalo::showFault(corvalo::Fault fault)
{
    QMessageBox::critical(this, QStringLiteral("Error"),
                          QString::fromUtf8(corvalo::faultMessage(fault)));
}

void FrmCorvalo::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        keyButton(Key::Equals)->click();
        return;
    case Qt::Key_Escape:
        keyButton(Key::Clear)->click();
        return;
    default:
        QMainWindow::keyPressEvent(event);
    }
}

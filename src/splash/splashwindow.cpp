#include "splashwindow.h"

#include "look/accessibility.h"
#include "look/appearance.h"
#include "look/placement.h"
#include "look/product.h"

#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

using corvalo::Colour;

namespace {

constexpr Colour darkBlue = Colour::fromRgb(0x000040);
constexpr Colour white = Colour::fromRgb(0xFFFFFF);

enum class Fit { None, KeepLeft, KeepRight };

// Labels are transparent: the back colour is stored but the picture behind shows through.
QLabel* addLabel(QWidget* parent, const char* name, const QString& text, QRect rect,
                 const QFont& font, Fit fit = Fit::None)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(font);
    label->setGeometry(rect);
    corvalo::setBackColour(label, darkBlue);
    label->setAutoFillBackground(false);
    corvalo::setForeColour(label, white);
    if (fit == Fit::None) {
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return label;
    }
    // Sized to its caption, anchored on the side its text is aligned to.
    label->setAlignment((fit == Fit::KeepRight ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    QRect fitted(rect.topLeft(), label->sizeHint());
    if (fit == Fit::KeepRight)
        fitted.moveRight(rect.right());
    label->setGeometry(fitted);
    return label;
}

// A picture without a spoken name is a background and stays out of the accessibility tree.
QLabel* addPicture(QWidget* parent, const char* name, const char* file, QRect rect,
                   const QString& spokenName = QString())
{
    auto* image = new QLabel(parent);
    image->setObjectName(QString::fromLatin1(name));
    image->setAccessibleName(spokenName);
    image->setGeometry(rect);
    image->setScaledContents(true);
    image->setPixmap(corvalo::picture(QString::fromLatin1(file), image->devicePixelRatioF()));
    return image;
}

} // namespace

// An ordinary window, only without a frame: a tool or splash window is kept above every window
// of the program by some window managers (GNOME's, KDE's), where the card must go behind a
// window the user brings up after it.
frmSplash::frmSplash(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    // A frame, not a dialog: a screen reader counts an open dialog into the announcement of
    // every other window.
    corvalo::exposeWindow(this);
    setAccessibleName(QStringLiteral("Corvalo")); // the card has no caption to be named by
    setObjectName(QStringLiteral("frmSplash"));
    setFont(corvalo::defaultLayoutFont());
    corvalo::setBackColour(this, darkBlue);
    setGeometry(corvalo::twipsRect(3885, 6735, 7380, 4245));
    setFixedSize(size());
    corvalo::keepOffTaskbar(this);
    buildFrame();

    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
}

void frmSplash::buildFrame()
{
    m_frame1 = new QFrame(this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setFrameShape(QFrame::NoFrame);
    m_frame1->setGeometry(corvalo::twipsRect(120, 120, 7080, 4050));
    corvalo::setBackColour(m_frame1, darkBlue);

    // Built from the bottom of the stack up, so each control lies above the ones before it.
    const QString arial = QStringLiteral("Arial");
    QWidget* f = m_frame1;
    addPicture(f, "Image1", "starsky.jpg", corvalo::twipsRect(0, 0, 7095, 4065));
    addLabel(f, "lblCompanyProduct", QStringLiteral("Corvalo"),
             corvalo::twipsRect(2400, 600, 2310, 435), corvalo::layoutFont(arial, 18, true),
             Fit::KeepLeft);
    addLabel(f, "lblPlatform", QStringLiteral("Corvalo"), corvalo::twipsRect(4830, 2340, 2025, 360),
             corvalo::layoutFont(arial, 15.75, true), Fit::KeepRight);
    addLabel(f, "lblCompany", QStringLiteral("By ") + QLatin1String(corvalo::product::authorName),
             corvalo::twipsRect(4560, 3270, 2415, 255), corvalo::layoutFont(arial, 8.25));
    m_label1 = addLabel(f, "Label1", QStringLiteral("(Click To Close)"),
                        corvalo::twipsRect(3000, 3480, 1215, 375), font());
    addLabel(f, "LblStyle", QStringLiteral("The Calculator With Style."),
             corvalo::twipsRect(1800, 1200, 3615, 495),
             corvalo::layoutFont(QStringLiteral("MS Sans Serif"), 13.5, true));
    addLabel(f, "Label2", QStringLiteral("Merry Christmas!"),
             corvalo::twipsRect(240, 2040, 3015, 1335),
             corvalo::layoutFont(QStringLiteral("Roman"), 27.75, true));
    const QString tree = QStringLiteral("Christmas tree");
    addPicture(f, "Image2", "tree.gif", corvalo::twipsRect(5400, 480, 1290, 1590), tree);
    addPicture(f, "Image3", "tree.gif", corvalo::twipsRect(360, 480, 1290, 1590), tree);
    addPicture(f, "Image4", "village.jpg", corvalo::twipsRect(2760, 1680, 1560, 1605),
               QStringLiteral("Snowy village"));
    QLabel* label3 = addLabel(f, "Label3", QLatin1String(corvalo::product::makerWebAddress),
                              corvalo::twipsRect(2160, 3600, 3255, 375),
                              corvalo::layoutFont(QStringLiteral("Comic Sans MS"), 14.25));
    corvalo::setForeColour(label3, corvalo::SystemColour::HighlightText);
    addLabel(f, "lblVersion", QStringLiteral("Version 3.0(xmas)"),
             corvalo::twipsRect(4680, 2760, 2160, 285), corvalo::layoutFont(arial, 12, true),
             Fit::KeepRight);

    m_command1 = new QPushButton(corvalo::product::storeButtonCaption(), f);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setGeometry(corvalo::twipsRect(1680, 120, 3735, 375));
    m_command1->setAutoDefault(false);
    connect(m_command1, &QPushButton::clicked, this, &frmSplash::storeRequested);
    m_command1->setFocus();
}

bool frmSplash::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        // Any key that types a character, even with the store button focused; the button is not
        // pressed by it.
        if (static_cast<QKeyEvent*>(event)->text().isEmpty())
            return false;
        close();
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        return filterMouse(watched, event);
    default:
        return false;
    }
}

// Only the card's own surface and "(Click To Close)" close it on a click; a click on any other
// label or picture is swallowed, so it never reaches the card beneath.
bool frmSplash::filterMouse(QObject* watched, QEvent* event)
{
    if (watched == m_command1)
        return false;
    const auto* mouse = static_cast<QMouseEvent*>(event);
    const bool closing = watched == this || watched == m_label1;
    if (mouse->button() != Qt::LeftButton || !closing)
        return true;
    if (event->type() != QEvent::MouseButtonRelease) {
        m_pressed = watched;
        return true;
    }
    const bool clicked = m_pressed == watched && static_cast<QWidget*>(watched)->rect().contains(
                                                     mouse->position().toPoint());
    m_pressed = nullptr;
    if (clicked)
        close();
    return true;
}

#include "aboutbox.h"

#include "look/accessibility.h"
#include "look/appearance.h"
#include "look/picturebutton.h"
#include "look/product.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>

using corvalo::Colour;

namespace {

constexpr Colour white = Colour::fromRgb(0xFFFFFF);

// A straight horizontal line of the given thickness; it takes no clicks.
class LineControl : public QWidget {
public:
    explicit LineControl(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), palette().color(QPalette::WindowText));
    }
};

// A picture without a spoken name is a background and stays out of the accessibility tree.
void addPicture(QWidget* parent, const char* name, const char* file, QRect rect,
                const QString& spokenName = QString())
{
    auto* image = new QLabel(parent);
    image->setObjectName(QString::fromLatin1(name));
    image->setAccessibleName(spokenName);
    image->setGeometry(rect);
    image->setScaledContents(true);
    image->setPixmap(corvalo::picture(QString::fromLatin1(file), image->devicePixelRatioF()));
}

// Element of the two-line group Line1, from (x1, y) to (x2, y) in twips.
void addLine(QWidget* parent, int index, int x1, int x2, int y, int pixels, Colour colour)
{
    auto* line = new LineControl(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setProperty("index", index);
    const int left = corvalo::twips(x1);
    line->setGeometry(left, corvalo::twips(y), corvalo::twips(x2) - left + 1, pixels);
    corvalo::setForeColour(line, colour);
}

QLabel* addLabel(QWidget* parent, const char* name, const QString& text, QRect rect,
                 const QFont& font, bool bordered)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(rect);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    corvalo::setForeColour(label, white);
    if (bordered) {
        label->setFrameStyle(QFrame::Box | QFrame::Plain);
        label->setLineWidth(1);
    }
    return label;
}

QString description()
{
    return QStringLiteral("Corvalo By ") + QLatin1String(corvalo::product::authorName) +
           QStringLiteral(". Incorporating the seasons and special times of year, to keep your "
                          "desktop up to date and fresh. Next release due, January 1st , "
                          "entitled, \"New Year\".");
}

} // namespace

FrmAbout::FrmAbout(QWidget* parent) : QWidget(parent, Qt::Window)
{
    corvalo::exposeWindow(this, QAccessible::Dialog);
    setObjectName(QStringLiteral("FrmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setWindowIcon(corvalo::windowIcon());
    setFont(corvalo::defaultLayoutFont());
    corvalo::setBackColour(this, Colour::fromRgb(0x000040));
    setGeometry(corvalo::twipsRect(9690, 660, 5505, 3540));
    buildControls();
}

void FrmAbout::buildControls()
{
    // Built from the bottom of the stack up, so each control lies above the ones before it.
    addPicture(this, "Image2", "starsky.jpg", corvalo::twipsRect(0, 0, 5535, 3540));
    addLabel(this, "Lbltitle", QStringLiteral("Corvalo"), corvalo::twipsRect(840, 240, 4095, 345),
             font(), true);
    addLine(this, 1, 0, 5564, 2445, 1, Colour::fromRgb(0x808080));
    addLabel(this, "lblDescription", description(), corvalo::twipsRect(840, 1125, 4095, 1170),
             font(), true);
    addLine(this, 0, 15, 5564, 2460, 2, white);
    addLabel(this, "lblVersion", QStringLiteral("Version 3.0(Xmas)"),
             corvalo::twipsRect(840, 660, 4095, 345), font(), true);
    addLabel(this, "LblHalloween", QStringLiteral("Merry Xmas!!"),
             corvalo::twipsRect(960, 2760, 3015, 615),
             corvalo::layoutFont(QStringLiteral("Modern"), 20.25, true), false);
    addPicture(this, "Image1", "tree.gif", corvalo::twipsRect(0, 0, 810, 2415),
               QStringLiteral("Christmas tree"));

    m_cmdOk = new PictureButton(QStringLiteral("OK"), QStringLiteral("snowflakes.bmp"), this);
    m_cmdOk->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOk->setGeometry(corvalo::twipsRect(4155, 2520, 1260, 345));
    m_cmdOk->setDefault(true);
    corvalo::setBackColour(m_cmdOk, Colour::fromRgb(0xC0FFFF));
    connect(m_cmdOk, &QPushButton::clicked, this, &QWidget::hide);
    m_cmdOk->setFocus();
}

// "OK" is both the default and the cancel button.
void FrmAbout::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        m_cmdOk->click();
        return;
    default:
        QWidget::keyPressEvent(event);
    }
}

#include "helpexample.h"

#include "look/accessibility.h"
#include "look/appearance.h"

#include <QLabel>
#include <QPainter>

using corvalo::Colour;

namespace {

// A hollow rectangle outline in its fore colour; it takes no clicks, like the drawn shape it
// stands for.
class ShapeOutline : public QWidget {
public:
    explicit ShapeOutline(QWidget* parent) : QWidget(parent)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
};

struct LabelDesign {
    const char* name;
    const char* text;
    int left, top, width, height;
    const char* family;
    double points;
    bool bold, italic;
    std::uint32_t textRgb;
};

// Bottom of the stack first.
constexpr LabelDesign labels[] = {
    {"LblExp1Exp", "Situation: To work out 5+7+3+4.", 240, 840, 3735, 255, "MS Sans Serif", 8.25,
     true, false, 0x000000},
    {"LblExp1_Carry",
     "The same rules apply for all other function i.e Multiply, subtract, divide etc.", 240, 1920,
     3855, 615, "MS Sans Serif", 8.25, true, false, 0x000000},
    {"Label1", "To carry this out you must  first do: 5+7 = Followed by +3 = +4 =.", 240, 1200,
     3855, 615, "MS Sans Serif", 8.25, true, false, 0x000000},
    {"Label2",
     "Note: This will be made easier in the next version. V4.0(for certain) When available", 240,
     2640, 3855, 615, "MS Sans Serif", 9.75, false, true, 0x000000},
    {"LblHalloween", "Merry Xmas!!!", 1200, 120, 3255, 615, "Modern", 20.25, true, false, 0xFF0000},
};

} // namespace

FrmExp1::FrmExp1(QWidget* parent) : QWidget(parent, Qt::Window)
{
    // A screen reader reads a dialog's text out when it opens.
    corvalo::exposeWindow(this, QAccessible::Dialog);
    setObjectName(QStringLiteral("FrmExp1"));
    setWindowTitle(QStringLiteral("Help-Example"));
    setWindowIcon(corvalo::windowIcon());
    setFont(corvalo::defaultLayoutFont());
    corvalo::setBackColour(this, Colour::fromRgb(0x000040));
    setGeometry(corvalo::twipsRect(9480, 3180, 4230, 3390));
    buildControls();
}

void FrmExp1::buildControls()
{
    auto* image1 = new QLabel(this);
    image1->setObjectName(QStringLiteral("Image1"));
    image1->setGeometry(corvalo::twipsRect(0, 0, 4200, 3360));
    image1->setScaledContents(true);
    image1->setPixmap(
        corvalo::picture(QStringLiteral("snowflakes.bmp"), image1->devicePixelRatioF()));

    for (const LabelDesign& d : labels) {
        auto* label = new QLabel(QString::fromLatin1(d.text), this);
        label->setObjectName(QString::fromLatin1(d.name));
        label->setGeometry(corvalo::twipsRect(d.left, d.top, d.width, d.height));
        label->setFont(
            corvalo::layoutFont(QString::fromLatin1(d.family), d.points, d.bold, d.italic));
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setWordWrap(true);
        corvalo::setForeColour(label, Colour::fromRgb(d.textRgb));
    }
    // A screen reader reads a dialog's lines of three words or more as it opens; the two-word
    // heading it reads as the dialog's focus.
    findChild<QLabel*>(QStringLiteral("LblHalloween"))->setFocusPolicy(Qt::TabFocus);

    auto* shape1 = new ShapeOutline(this);
    shape1->setObjectName(QStringLiteral("Shape1"));
    shape1->setGeometry(corvalo::twipsRect(120, 720, 4035, 2415));
    corvalo::setForeColour(shape1, Colour::fromRgb(0xFF0000));
}

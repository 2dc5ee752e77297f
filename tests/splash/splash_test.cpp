#include "testsupport.h"

#include "app/windowset.h"
#include "look/appearance.h"
#include "look/product.h"
#include "splash/splashwindow.h"
#include "windows/aboutbox.h"
#include "windows/helpexample.h"
#include "windows/mainwindow.h"

#include <QAction>
#include <QFrame>
#include <QImageReader>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using corvalo::Colour;
using corvalo::twips;
using corvalo::twipsRect;

namespace {

void discardClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QStringList bottomToTop(const QWidget* parent)
{
    QStringList names;
    for (QObject* child : parent->children())
        if (child->isWidgetType())
            names << child->objectName();
    return names;
}

} // namespace

class SplashTest : public QObject {
    Q_OBJECT
    std::unique_ptr<WindowSet> m_windows;

    QWidget* shown(const QString& window)
    {
        QWidget* w =
            window == QLatin1String("frmSplash")  ? static_cast<QWidget*>(m_windows->splash())
            : window == QLatin1String("FrmAbout") ? static_cast<QWidget*>(m_windows->about())
                                                  : m_windows->helpExample();
        WindowSet::show(w);
        return w;
    }
    bool storeOpen() const { return m_windows->store().isOnScreen(); }

private slots:
    void initTestCase() { testsupport::prepareApplication(); }
    void init() { m_windows = testsupport::makeWindowSet(); }
    void cleanup()
    {
        m_windows.reset();
        discardClosedWindows();
    }

    void windows_data();
    void windows();
    void controls_data();
    void controls();
    void pictures_data();
    void pictures();
    void stacking_data();
    void stacking();
    void drawnLinesAndOkPicture();
    void splashClicks_data();
    void splashClicks();
    void splashClickNeedsPressAndReleaseOnTheControl();
    void splashKeys_data();
    void splashKeys();
    void clearKeyHidesSplash();
    void okHidesAbout_data();
    void okHidesAbout();
    void closeBoxDiscardsAbout();
};

void SplashTest::windows_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("splash") << "frmSplash"
                            << "" << twipsRect(3885, 6735, 7380, 4245);
    QTest::newRow("help") << "FrmExp1"
                          << "Help-Example" << twipsRect(9480, 3180, 4230, 3390);
    QTest::newRow("about") << "FrmAbout"
                           << "About" << twipsRect(9690, 660, 5505, 3540);
}

void SplashTest::windows()
{
    QFETCH(QString, window);
    QFETCH(QString, title);
    QFETCH(QRect, geometry);

    QWidget* w = shown(window);
    QCOMPARE(w->objectName(), window);
    QCOMPARE(w->windowTitle(), title);
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(corvalo::backColour(w), Colour::fromRgb(0x000040));
    QList<QWidget*> focusable;
    for (QWidget* child : w->findChildren<QWidget*>())
        if (child->focusPolicy() != Qt::NoFocus)
            focusable << child;
    if (window == QLatin1String("frmSplash")) {
        QCOMPARE(w->windowType(), Qt::Window); // a tool window is kept above the others
        QVERIFY(w->windowFlags().testFlag(Qt::FramelessWindowHint));
        QCOMPARE(w->minimumSize(), w->maximumSize());
        QCOMPARE(focusable, QList<QWidget*>{static_cast<frmSplash*>(w)->storeButton()});
        return;
    }
    QVERIFY(!w->windowIcon().isNull());
    QCOMPARE(w->windowIcon().cacheKey(), corvalo::windowIcon().cacheKey()); // one decoded icon
    QVERIFY(w->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    // Enlarging moves and stretches nothing; the new area shows the back colour.
    const QRect last = w->childrenRect();
    w->resize(w->size() + QSize(100, 80));
    QCOMPARE(w->childrenRect(), last);
    QCOMPARE(w->grab().toImage().pixelColor(w->width() - 3, w->height() - 3), QColor(0, 0, 0x40));
}

void SplashTest::controls_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QFont>("font");
    QTest::addColumn<quint32>("fore");
    QTest::addColumn<QString>("style"); // wrap, box (bordered, wrapping), fit left, fit right

    const QString arial = QStringLiteral("Arial"), sans = QStringLiteral("MS Sans Serif");
    const QFont standard = corvalo::defaultLayoutFont();
    const QFont bold = corvalo::layoutFont(sans, 8.25, true);
    const QFont modern = corvalo::layoutFont(QStringLiteral("Modern"), 20.25, true);
    const quint32 white = Colour::fromRgb(0xFFFFFF).value, red = Colour::fromRgb(0xFF0000).value;
    const QString author = QLatin1String(corvalo::product::authorName);
    auto row = [](const char* tag, const char* window, const char* name, QRect rect,
                  const QString& text, const QFont& font, quint32 fore, const char* style) {
        QTest::newRow(tag) << window << name << rect << text << font << fore << style;
    };
    row("splash store button", "frmSplash", "Command1", twipsRect(1680, 120, 3735, 375),
        corvalo::product::storeButtonCaption(), standard, Colour::fromRgb(0).value, "");
    row("splash version", "frmSplash", "lblVersion", twipsRect(4680, 2760, 2160, 285),
        "Version 3.0(xmas)", corvalo::layoutFont(arial, 12, true), white, "fit right");
    row("splash web address", "frmSplash", "Label3", twipsRect(2160, 3600, 3255, 375),
        corvalo::product::makerWebAddress, corvalo::layoutFont("Comic Sans MS", 14.25),
        corvalo::SystemColour::HighlightText.value, "wrap");
    row("splash greeting", "frmSplash", "Label2", twipsRect(240, 2040, 3015, 1335),
        "Merry Christmas!", corvalo::layoutFont("Roman", 27.75, true), white, "wrap");
    row("splash style", "frmSplash", "LblStyle", twipsRect(1800, 1200, 3615, 495),
        "The Calculator With Style.", corvalo::layoutFont(sans, 13.5, true), white, "wrap");
    row("splash close", "frmSplash", "Label1", twipsRect(3000, 3480, 1215, 375), "(Click To Close)",
        standard, white, "wrap");
    row("splash author", "frmSplash", "lblCompany", twipsRect(4560, 3270, 2415, 255),
        "By " + author, corvalo::layoutFont(arial, 8.25), white, "wrap");
    row("splash platform", "frmSplash", "lblPlatform", twipsRect(4830, 2340, 2025, 360), "Corvalo",
        corvalo::layoutFont(arial, 15.75, true), white, "fit right");
    row("splash product", "frmSplash", "lblCompanyProduct", twipsRect(2400, 600, 2310, 435),
        "Corvalo", corvalo::layoutFont(arial, 18, true), white, "fit left");
    row("help greeting", "FrmExp1", "LblHalloween", twipsRect(1200, 120, 3255, 615),
        "Merry Xmas!!!", modern, red, "wrap");
    row("help note", "FrmExp1", "Label2", twipsRect(240, 2640, 3855, 615),
        "Note: This will be made easier in the next version. V4.0(for certain) When available",
        corvalo::layoutFont(sans, 9.75, false, true), 0, "wrap");
    row("help steps", "FrmExp1", "Label1", twipsRect(240, 1200, 3855, 615),
        "To carry this out you must  first do: 5+7 = Followed by +3 = +4 =.", bold, 0, "wrap");
    row("help rule", "FrmExp1", "LblExp1_Carry", twipsRect(240, 1920, 3855, 615),
        "The same rules apply for all other function i.e Multiply, subtract, divide etc.", bold, 0,
        "wrap");
    row("help situation", "FrmExp1", "LblExp1Exp", twipsRect(240, 840, 3735, 255),
        "Situation: To work out 5+7+3+4.", bold, 0, "wrap");
    row("about ok", "FrmAbout", "cmdOK", twipsRect(4155, 2520, 1260, 345), "OK", standard,
        Colour::fromRgb(0).value, "");
    row("about greeting", "FrmAbout", "LblHalloween", twipsRect(960, 2760, 3015, 615),
        "Merry Xmas!!", modern, white, "wrap");
    row("about version", "FrmAbout", "lblVersion", twipsRect(840, 660, 4095, 345),
        "Version 3.0(Xmas)", standard, white, "box");
    row("about description", "FrmAbout", "lblDescription", twipsRect(840, 1125, 4095, 1170),
        "Corvalo By " + author +
            ". Incorporating the seasons and special times of year, to keep your desktop up to "
            "date and fresh. Next release due, January 1st , entitled, \"New Year\".",
        standard, white, "box");
    row("about title", "FrmAbout", "Lbltitle", twipsRect(840, 240, 4095, 345), "Corvalo", standard,
        white, "box");
}

// Transparent labels (pictures show through), borders of one plain line, captions that wrap or
// size the label to fit, anchored on the side they are aligned to.
void SplashTest::controls()
{
    QFETCH(QString, window);
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(QString, text);
    QFETCH(QFont, font);
    QFETCH(quint32, fore);
    QFETCH(QString, style);

    auto* control = shown(window)->findChild<QWidget*>(name);
    QVERIFY(control);
    QCOMPARE(control->font().family(), font.family());
    QCOMPARE(control->font().pixelSize(), font.pixelSize());
    QCOMPARE(control->font().weight(), font.weight());
    QCOMPARE(control->font().italic(), font.italic());
    if (auto* button = qobject_cast<QPushButton*>(control)) {
        QCOMPARE(button->text(), text);
        QCOMPARE(button->geometry(), rect);
        return;
    }
    auto* label = qobject_cast<QLabel*>(control);
    QVERIFY(label);
    QCOMPARE(label->text(), text);
    QCOMPARE(corvalo::foreColour(label).value, fore);
    QVERIFY(!label->autoFillBackground());
    QCOMPARE(label->frameShape(), style == QLatin1String("box") ? QFrame::Box : QFrame::NoFrame);
    QCOMPARE(label->frameShadow(), QFrame::Plain);
    QCOMPARE(label->lineWidth(), 1);
    QCOMPARE(label->wordWrap(), !style.startsWith(QLatin1String("fit")));
    if (!style.startsWith(QLatin1String("fit"))) {
        QCOMPARE(label->geometry(), rect);
        return;
    }
    const QFontMetrics metrics(label->font());
    QVERIFY(qAbs(label->width() - metrics.horizontalAdvance(text)) <= 2);
    QVERIFY(qAbs(label->height() - metrics.height()) <= 2);
    QCOMPARE(label->y(), rect.y());
    if (style == QLatin1String("fit right"))
        QCOMPARE(label->geometry().right(), rect.right());
    else
        QCOMPARE(label->x(), rect.x());
}

void SplashTest::pictures_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("rect");
    QTest::addColumn<QString>("file");
    QTest::newRow("splash sky") << "frmSplash"
                                << "Image1" << twipsRect(0, 0, 7095, 4065) << "starsky.jpg";
    QTest::newRow("splash right tree")
        << "frmSplash"
        << "Image2" << twipsRect(5400, 480, 1290, 1590) << "tree.gif";
    QTest::newRow("splash left tree") << "frmSplash"
                                      << "Image3" << twipsRect(360, 480, 1290, 1590) << "tree.gif";
    QTest::newRow("splash village")
        << "frmSplash"
        << "Image4" << twipsRect(2760, 1680, 1560, 1605) << "village.jpg";
    QTest::newRow("help snowflakes") << "FrmExp1"
                                     << "Image1" << twipsRect(0, 0, 4200, 3360) << "snowflakes.bmp";
    QTest::newRow("about tree") << "FrmAbout"
                                << "Image1" << twipsRect(0, 0, 810, 2415) << "tree.gif";
    QTest::newRow("about sky") << "FrmAbout"
                               << "Image2" << twipsRect(0, 0, 5535, 3540) << "starsky.jpg";
}

// Stretched still pictures: a GIF shows its first frame.
void SplashTest::pictures()
{
    QFETCH(QString, window);
    QFETCH(QString, name);
    QFETCH(QRect, rect);
    QFETCH(QString, file);

    auto* image = shown(window)->findChild<QLabel*>(name);
    QVERIFY(image);
    QCOMPARE(image->geometry(), rect);
    QVERIFY(image->hasScaledContents() && !image->movie());
    const QImage firstFrame = QImageReader(QStringLiteral(":/pictures/") + file).read();
    QVERIFY(!firstFrame.isNull());
    QCOMPARE(image->pixmap().toImage().convertToFormat(QImage::Format_ARGB32),
             firstFrame.convertToFormat(QImage::Format_ARGB32));
}

void SplashTest::stacking_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("splash") << "frmSplash" << QStringList{"Frame1"};
    QTest::newRow("splash frame") << "Frame1" << QStringList{"Image1",      "lblCompanyProduct",
                                                             "lblPlatform", "lblCompany",
                                                             "Label1",      "LblStyle",
                                                             "Label2",      "Image2",
                                                             "Image3",      "Image4",
                                                             "Label3",      "lblVersion",
                                                             "Command1"};
    QTest::newRow("help") << "FrmExp1"
                          << QStringList{"Image1", "LblExp1Exp",   "LblExp1_Carry", "Label1",
                                         "Label2", "LblHalloween", "Shape1"};
    QTest::newRow("about") << "FrmAbout" << QStringList{"Image2",         "Lbltitle", "Line1",
                                                        "lblDescription", "Line1",    "lblVersion",
                                                        "LblHalloween",   "Image1",   "cmdOK"};
}

void SplashTest::stacking()
{
    QFETCH(QString, window);
    QFETCH(QStringList, expected);
    QWidget* w = window == QLatin1String("Frame1")
                     ? static_cast<frmSplash*>(shown("frmSplash"))->frame()
                     : shown(window);
    QCOMPARE(bottomToTop(w), expected);
}

// The red outline around the help text, the etched pair of lines (grey 1 px, white 2 px below)
// and the snowflakes centred on "OK".
void SplashTest::drawnLinesAndOkPicture()
{
    QWidget* help = shown(QStringLiteral("FrmExp1"));
    auto* shape = help->findChild<QWidget*>(QStringLiteral("Shape1"));
    QCOMPARE(shape->geometry(), twipsRect(120, 720, 4035, 2415));
    QCOMPARE(help->childAt(shape->geometry().center())->objectName(),
             QStringLiteral("LblExp1_Carry"));
    const QImage helpShown = help->grab().toImage();
    const QRect r = shape->geometry();
    QCOMPARE(helpShown.pixelColor(r.left(), r.center().y()), QColor(Qt::red));
    QCOMPARE(helpShown.pixelColor(r.center().x(), r.bottom()), QColor(Qt::red));
    QVERIFY(helpShown.pixelColor(r.left() + 2, r.center().y()) != QColor(Qt::red));

    auto* about = static_cast<FrmAbout*>(shown(QStringLiteral("FrmAbout")));
    const QImage aboutShown = about->grab().toImage();
    for (int x : {1, 100, about->width() - 1}) {
        QCOMPARE(aboutShown.pixelColor(x, twips(2445)), QColor(0x80, 0x80, 0x80));
        QCOMPARE(aboutShown.pixelColor(x, twips(2460)), QColor(Qt::white));
        QCOMPARE(aboutShown.pixelColor(x, twips(2460) + 1), QColor(Qt::white));
    }

    QPushButton* ok = about->okButton();
    QVERIFY(ok->isDefault());
    QCOMPARE(corvalo::backColour(ok), Colour::fromRgb(0xC0FFFF));
    const QImage face = ok->grab().toImage();
    const QImage snow = corvalo::picture(QStringLiteral("snowflakes.bmp")).toImage();
    const QPoint centre = ok->rect().adjusted(2, 2, -2, -2).center();
    for (const QPoint& offset : {QPoint(-30, 0), QPoint(30, -4), QPoint(-20, 5)})
        QCOMPARE(face.pixelColor(centre + offset), snow.pixelColor(snow.rect().center() + offset));
}

void SplashTest::splashClicks_data()
{
    QTest::addColumn<QPoint>("point"); // on the splash window; the frame starts at 8, 8
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("closes");

    auto inFrame = [](int x, int y) { return QPoint(8 + x, 8 + y); };
    QTest::newRow("surface left of the frame") << QPoint(3, 140) << "frmSplash" << true;
    QTest::newRow("surface below the frame") << QPoint(250, 281) << "frmSplash" << true;
    QTest::newRow("surface top right corner") << QPoint(489, 2) << "frmSplash" << true;
    QTest::newRow("click to close") << inFrame(240, 235) << "Label1" << true;
    QTest::newRow("web address over click to close") << inFrame(240, 250) << "Label3" << false;
    QTest::newRow("web address beside it") << inFrame(330, 250) << "Label3" << false;
    QTest::newRow("background picture") << inFrame(460, 10) << "Image1" << false;
    QTest::newRow("left tree") << inFrame(50, 60) << "Image3" << false;
    QTest::newRow("right tree") << inFrame(400, 100) << "Image2" << false;
    QTest::newRow("village") << inFrame(230, 200) << "Image4" << false;
    QTest::newRow("greeting") << inFrame(100, 180) << "Label2" << false;
    QTest::newRow("style") << inFrame(250, 95) << "LblStyle" << false;
    QTest::newRow("product") << inFrame(170, 55) << "lblCompanyProduct" << false;
    QTest::newRow("platform") << inFrame(440, 165) << "lblPlatform" << false;
    QTest::newRow("version") << inFrame(440, 195) << "lblVersion" << false;
    QTest::newRow("author") << inFrame(400, 225) << "lblCompany" << false;
}

void SplashTest::splashClicks()
{
    QFETCH(QPoint, point);
    QFETCH(QString, target);
    QFETCH(bool, closes);

    QPointer<QWidget> splash = shown(QStringLiteral("frmSplash"));
    QWidget* hit = splash->childAt(point) ? splash->childAt(point) : splash.data();
    QCOMPARE(hit->objectName(), target);
    QTest::mouseClick(hit, Qt::LeftButton, {}, hit->mapFrom(splash.data(), point));
    QCOMPARE(splash->isVisible(), !closes);
    discardClosedWindows();
    QCOMPARE(splash.isNull(), closes);
    QVERIFY(!storeOpen());
}

void SplashTest::splashClickNeedsPressAndReleaseOnTheControl()
{
    QWidget* splash = shown(QStringLiteral("frmSplash"));
    auto* label1 = splash->findChild<QLabel*>(QStringLiteral("Label1"));
    QTest::mousePress(label1, Qt::LeftButton, {}, QPoint(5, 3));
    QTest::mouseRelease(label1, Qt::LeftButton, {}, QPoint(5, 300)); // dragged off it
    QTest::mouseClick(label1, Qt::RightButton, {}, QPoint(5, 3));
    QVERIFY(splash->isVisible());
}

void SplashTest::splashKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("onStoreButton");
    QTest::addColumn<bool>("closes");

    const struct {
        const char* name;
        int key;
        const char* text;
    } keys[] = {{"letter", Qt::Key_A, "a"},       {"digit", Qt::Key_5, "5"},
                {"enter", Qt::Key_Return, "\r"},  {"escape", Qt::Key_Escape, "\x1b"},
                {"space", Qt::Key_Space, " "},    {"left arrow", Qt::Key_Left, ""},
                {"function key", Qt::Key_F5, ""}, {"shift alone", Qt::Key_Shift, ""}};
    for (const auto& k : keys)
        for (bool onButton : {false, true})
            QTest::addRow("%s on the %s", k.name, onButton ? "store button" : "window")
                << k.key << k.text << onButton << (*k.text != 0);
}

// Enter or space on the focused store button close the card without pressing the button.
void SplashTest::splashKeys()
{
    QFETCH(int, key);
    QFETCH(QString, text);
    QFETCH(bool, onStoreButton);
    QFETCH(bool, closes);

    QPointer<frmSplash> splash = static_cast<frmSplash*>(shown(QStringLiteral("frmSplash")));
    QSignalSpy pressed(splash->storeButton(), &QPushButton::clicked);
    QWidget* receiver = onStoreButton ? splash->storeButton() : static_cast<QWidget*>(splash);
    QTest::sendKeyEvent(QTest::Click, receiver, Qt::Key(key), text, Qt::NoModifier);
    QCOMPARE(splash->isVisible(), !closes);
    discardClosedWindows();
    QCOMPARE(splash.isNull(), closes);
    QCOMPARE(pressed.count(), 0);
    QVERIFY(!storeOpen());
}

void SplashTest::clearKeyHidesSplash()
{
    FrmCorvalo* calculator = m_windows->mainWindow();
    WindowSet::show(calculator);
    QPointer<QWidget> splash = shown(QStringLiteral("frmSplash"));
    auto* clear = calculator->findChild<QPushButton*>(QStringLiteral("CmdCancel"));
    for (int i = 0; i < 2; ++i) {
        QTest::mouseClick(clear, Qt::LeftButton);
        discardClosedWindows();
        QVERIFY(splash && splash->isHidden()); // hidden, not discarded
    }
    splash->close();
    discardClosedWindows();
    QTest::mouseClick(clear, Qt::LeftButton);
    QVERIFY(testsupport::topLevels(QStringLiteral("frmSplash")).isEmpty());
}

void SplashTest::okHidesAbout_data()
{
    QTest::addColumn<int>("key"); // 0: a click on "OK"
    QTest::addColumn<bool>("toWindow");
    QTest::newRow("click") << 0 << false;
    QTest::newRow("enter on OK") << int(Qt::Key_Return) << false;
    QTest::newRow("keypad enter on OK") << int(Qt::Key_Enter) << false;
    QTest::newRow("escape on OK") << int(Qt::Key_Escape) << false;
    QTest::newRow("space on OK") << int(Qt::Key_Space) << false;
    QTest::newRow("enter on the window") << int(Qt::Key_Return) << true;
    QTest::newRow("escape on the window") << int(Qt::Key_Escape) << true;
}

// "OK", Enter and Esc hide the box; "About" then shows the very same box again.
void SplashTest::okHidesAbout()
{
    QFETCH(int, key);
    QFETCH(bool, toWindow);

    QAction* aboutCommand =
        m_windows->mainWindow()->findChild<QAction*>(QStringLiteral("MnuAbout"));
    aboutCommand->trigger();
    QPointer<FrmAbout> about = m_windows->about(); // the one the command showed
    QVERIFY(about && about->isVisible());
    QWidget* receiver = toWindow ? static_cast<QWidget*>(about) : about->okButton();
    if (key == 0)
        QTest::mouseClick(about->okButton(), Qt::LeftButton);
    else
        QTest::keyClick(receiver, Qt::Key(key));
    discardClosedWindows();
    QVERIFY(about && about->isHidden());

    aboutCommand->trigger();
    QCOMPARE(testsupport::topLevels(QStringLiteral("FrmAbout")), QWidgetList{about});
    QVERIFY(about->isVisible());
}

void SplashTest::closeBoxDiscardsAbout()
{
    QAction* aboutCommand =
        m_windows->mainWindow()->findChild<QAction*>(QStringLiteral("MnuAbout"));
    aboutCommand->trigger();
    QPointer<FrmAbout> about = m_windows->about(); // the one the command showed
    about->close();
    discardClosedWindows();
    QVERIFY(!about);
    aboutCommand->trigger();
    const QWidgetList fresh = testsupport::topLevels(QStringLiteral("FrmAbout"));
    QVERIFY(fresh.size() == 1 && fresh.first()->isVisible());
}

QTEST_MAIN(SplashTest)
#include "splash_test.moc"

#include "../engine/keysequence.h"
#include "app/windowset.h"
#include "look/appearance.h"
#include "skins/skinchooser.h"
#include "testsupport.h"
#include "windows/keypad.h"
#include "windows/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using corvalo::Colour;
using corvalo::Key;

namespace {

// The main window's push buttons in the order the key colour reaches them, read from the table
// the window is built from.
QStringList keyButtonOrder()
{
    QStringList names;
    for (std::size_t row : corvalo::colourOrder)
        names.append(QString::fromLatin1(corvalo::keypad[row].name));
    return names;
}
const QStringList previewNames = {"imgdefault", "imgsanta", "ImgWinter", "ImgHalloween"};
constexpr Colour sentinel = Colour::fromRgb(0x123456);

// The looks a skin may change, as the main window shows them.
struct Look {
    qint64 picture;
    QList<Colour> keys;
    Colour display, display2, note;
    bool operator==(const Look&) const = default;
};

Look lookOf(FrmCorvalo* main)
{
    Look look{main->backgroundPicture()->pixmap().cacheKey(),
              {},
              corvalo::backColour(main->display()),
              corvalo::backColour(main->display2()),
              corvalo::foreColour(main->note())};
    for (QPushButton* key : main->pushButtons())
        look.keys.append(corvalo::backColour(key));
    return look;
}

Key keyOf(const QString& token)
{
    static const QHash<QString, Key> keys = {
        {"+", Key::Add},           {"-", Key::Subtract},     {"*", Key::Multiply},
        {"/", Key::Divide},        {"=", Key::Equals},       {"^", Key::Square},
        {"Sqrt", Key::SquareRoot}, {"%", Key::Percent},      {"TT", Key::Pi},
        {"M+", Key::MemoryAdd},    {"MC", Key::MemoryClear}, {"MRC", Key::MemoryRecall},
        {"C", Key::Clear},         {".", Key::Dot}};
    if (token.size() == 1 && token[0].isDigit())
        return static_cast<Key>(token[0].digitValue());
    if (!keys.contains(token))
        qFatal("unknown key %s", qPrintable(token));
    return keys.value(token);
}

void press(FrmCorvalo* main, const QString& sequence)
{
    for (const QString& token : sequence.split(' ', Qt::SkipEmptyParts))
        main->pressKey(keyOf(token));
}

} // namespace

class SkinChooserTest : public QObject {
    Q_OBJECT

    std::unique_ptr<WindowSet> m_windows;

    FrmCorvalo* main() { return m_windows->mainWindow(); }
    Skins* openChooser()
    {
        Skins* chooser = m_windows->skinChooser();
        WindowSet::show(chooser);
        return chooser;
    }
    void click(QWidget* window, const QString& button)
    {
        auto* b = window->findChild<QPushButton*>(button);
        QVERIFY2(b, qPrintable(button));
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QLabel* previewOf(QWidget* chooser, const QString& name)
    {
        return chooser->findChild<QLabel*>(name);
    }
    QStringList shownPreviews(QWidget* chooser)
    {
        QStringList shown;
        for (const QString& name : previewNames)
            if (previewOf(chooser, name)->isVisibleTo(chooser))
                shown.append(name);
        return shown;
    }
    // Puts colours and a picture on the main window that no skin uses.
    void paintSentinels(FrmCorvalo* main)
    {
        QPixmap blank(8, 8);
        blank.fill(Qt::magenta);
        main->backgroundPicture()->setPixmap(blank);
        for (QPushButton* key : main->pushButtons())
            corvalo::setBackColour(key, sentinel);
        corvalo::setBackColour(main->display(), sentinel);
        corvalo::setBackColour(main->display2(), sentinel);
        corvalo::setForeColour(main->note(), sentinel);
    }
    QImage renderMain()
    {
        WindowSet::show(main());
        if (!QTest::qWaitForWindowActive(main()))
            return {};
        return main()->centralWidget()->grab().toImage();
    }

private slots:
    void initTestCase() { testsupport::prepareApplication(); }
    void init()
    {
        m_windows = testsupport::makeWindowSet();
        WindowSet::show(main());
    }
    void cleanup() { m_windows.reset(); }

    void layout_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("twips");
        QTest::newRow("cmddefault") << "cmddefault"
                                    << "Default" << QRect(240, 480, 975, 375);
        QTest::newRow("CmdSanta") << "CmdSanta"
                                  << "Santa" << QRect(240, 960, 975, 375);
        QTest::newRow("CmdHall") << "CmdHall"
                                 << "Halloween" << QRect(240, 1440, 975, 375);
        QTest::newRow("CmdWinter") << "CmdWinter"
                                   << "Winter" << QRect(240, 1920, 975, 375);
        QTest::newRow("cmdSet") << "cmdSet"
                                << "Set" << QRect(4560, 4320, 1215, 375);
        QTest::newRow("LblInf") << "LblInf"
                                << "Note: Button colours will also change accordingly."
                                << QRect(240, 4200, 2775, 615);
        QTest::newRow("ImgWinter") << "ImgWinter"
                                   << "" << QRect(3840, 720, 2940, 3240);
        QTest::newRow("ImgHalloween") << "ImgHalloween"
                                      << "" << QRect(3840, 720, 2895, 3255);
        QTest::newRow("imgsanta") << "imgsanta"
                                  << "" << QRect(3840, 720, 2895, 3255);
        QTest::newRow("imgdefault") << "imgdefault"
                                    << "" << QRect(3840, 720, 2895, 3255);
    }
    void layout()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QRect, twips);
        Skins* chooser = openChooser();
        auto* control = chooser->findChild<QWidget*>(name);
        QVERIFY(control);
        QCOMPARE(control->parentWidget(), chooser);
        QCOMPARE(control->geometry(),
                 corvalo::twipsRect(twips.x(), twips.y(), twips.width(), twips.height()));
        const QVariant text = control->property("text");
        QCOMPARE(text.toString(), caption);
        if (auto* picture = qobject_cast<QLabel*>(control); picture && caption.isEmpty()) {
            QVERIFY(picture->hasScaledContents());
            QVERIFY(!picture->pixmap().isNull());
        }
    }

    void windowDesign()
    {
        Skins* chooser = openChooser();
        QCOMPARE(chooser->windowTitle(), QString("Skins"));
        QCOMPARE(chooser->size(), QSize(corvalo::twips(7305), corvalo::twips(5025)));
        QCOMPARE(corvalo::backColour(chooser), corvalo::SystemColour::WindowBackground);
        QVERIFY(!chooser->windowIcon().isNull());

        // Children lie in creation order, bottom first.
        const QStringList topFirst = {"cmddefault", "CmdSanta",  "CmdHall",   "CmdWinter",
                                      "cmdSet",     "LblInf",    "ImgWinter", "ImgHalloween",
                                      "imgsanta",   "imgdefault"};
        QStringList stack;
        for (QObject* child : chooser->children())
            if (topFirst.contains(child->objectName()))
                stack.prepend(child->objectName());
        QCOMPARE(stack, topFirst);

        QStringList tabs = {"cmddefault"};
        for (QWidget* w = chooser->findChild<QWidget*>("cmddefault")->nextInFocusChain();
             tabs.size() < 5; w = w->nextInFocusChain())
            tabs.append(w->objectName());
        QCOMPARE(tabs, QStringList({"cmddefault", "CmdHall", "CmdWinter", "CmdSanta", "cmdSet"}));
    }

    void previewSwitching_data()
    {
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<QString>("shown");
        QTest::newRow("on opening") << QStringList{} << "imgdefault";
        QTest::newRow("Santa") << QStringList{"CmdSanta"} << "imgsanta";
        QTest::newRow("Halloween after Santa")
            << QStringList{"CmdSanta", "CmdHall"} << "ImgHalloween";
        QTest::newRow("Winter after Halloween")
            << QStringList{"CmdHall", "CmdWinter"} << "ImgWinter";
        QTest::newRow("Default after Winter")
            << QStringList{"CmdWinter", "cmddefault"} << "imgdefault";
        QTest::newRow("Santa twice") << QStringList{"CmdSanta", "CmdSanta"} << "imgsanta";
    }
    void previewSwitching()
    {
        QFETCH(QStringList, clicks);
        QFETCH(QString, shown);
        const Look before = lookOf(main());
        Skins* chooser = openChooser();
        for (const QString& button : clicks)
            click(chooser, button);
        QCOMPARE(shownPreviews(chooser), QStringList{shown});
        QCOMPARE(lookOf(main()), before);
    }

    void set_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("preview");
        QTest::addColumn<QString>("pictureFile");
        QTest::addColumn<QSize>("pixels");
        QTest::addColumn<uint>("key");
        QTest::addColumn<uint>("display");
        QTest::addColumn<uint>("note");
        const uint buttonFace = corvalo::SystemColour::ButtonFace.value;
        auto rgb = [](uint rrggbb) { return Colour::fromRgb(rrggbb).value; };
        QTest::newRow("Winter") << "CmdWinter"
                                << "ImgWinter"
                                << "winter.bmp" << QSize(300, 200) << rgb(0xC0FFFF) << rgb(0xC0FFFF)
                                << rgb(0x000000);
        QTest::newRow("Default") << "cmddefault"
                                 << "imgdefault"
                                 << "village.jpg" << QSize(200, 195) << buttonFace << rgb(0x804040)
                                 << rgb(0xFFFF00);
        QTest::newRow("Santa") << "CmdSanta"
                               << "imgsanta"
                               << "santa.bmp" << QSize(218, 221) << rgb(0xC00000) << rgb(0xFFFFFF)
                               << rgb(0x000000);
        QTest::newRow("Halloween") << "CmdHall"
                                   << "ImgHalloween"
                                   << "halloween.bmp" << QSize(320, 320) << rgb(0xFF8000)
                                   << rgb(0xFF8000) << rgb(0xFF8000);
    }
    void set()
    {
        QFETCH(QString, button);
        QFETCH(QString, preview);
        QFETCH(QString, pictureFile);
        QFETCH(QSize, pixels);
        QFETCH(uint, key);
        QFETCH(uint, display);
        QFETCH(uint, note);
        FrmCorvalo* calculator = main();
        const Colour clientBack = corvalo::backColour(calculator->centralWidget());
        const Colour displayText = corvalo::foreColour(calculator->display());
        paintSentinels(calculator);
        Skins* chooser = openChooser();
        click(chooser, button);
        click(chooser, "cmdSet");

        const QPixmap held = previewOf(chooser, preview)->pixmap();
        QCOMPARE(held.size(), pixels);
        QCOMPARE(held.toImage(), corvalo::picture(pictureFile).toImage());
        QCOMPARE(calculator->backgroundPicture()->pixmap().cacheKey(), held.cacheKey());

        const auto buttons = calculator->findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), qsizetype(corvalo::keypad.size()));
        const QColor face = Colour{key}.resolve(QApplication::palette());
        for (QPushButton* b : buttons) {
            QCOMPARE(corvalo::backColour(b).value, key);
            // What the user sees: the face beside the caption, halfway down, in the skin's colour.
            const QImage shown = b->grab().toImage();
            const int captionLeft =
                (b->width() - b->fontMetrics().horizontalAdvance(b->text())) / 2;
            const QPointF beside(std::max(3, captionLeft / 2 + 1), b->height() / 2);
            QCOMPARE(shown.pixelColor((beside * shown.devicePixelRatio()).toPoint()), face);
        }
        QCOMPARE(corvalo::backColour(calculator->display()).value, display);
        QCOMPARE(corvalo::backColour(calculator->display2()).value, display);
        QCOMPARE(corvalo::foreColour(calculator->note()).value, note);
        QCOMPARE(corvalo::backColour(calculator->centralWidget()), clientBack);
        QCOMPARE(corvalo::foreColour(calculator->display()), displayText);
        const QPalette desktop = QApplication::palette();
        QPalette dark = desktop;
        dark.setColor(QPalette::WindowText, QColor(0xFC, 0xFC, 0xFC));
        QApplication::setPalette(dark);
        const QPalette p = calculator->display()->palette(); // the typed number's
        QApplication::setPalette(desktop);
        QVERIFY(corvalo::contrastRatio(p.color(QPalette::Text), p.color(QPalette::Base)) >= 3);
        QCOMPARE(shownPreviews(chooser), QStringList{preview});
        // tools/skin-screenshots.sh collects what each skin looks like.
        if (const QString shots = qEnvironmentVariable("CORVALO_SKIN_SCREENSHOTS");
            !shots.isEmpty())
            QVERIFY(calculator->grab().save(
                QDir(shots).filePath(QString::fromLatin1(QTest::currentDataTag()) + ".png")));

        // Whatever the preview holds is what the main window gets.
        QPixmap replaced(held.size());
        replaced.fill(Qt::cyan);
        previewOf(chooser, preview)->setPixmap(replaced);
        click(chooser, "cmdSet");
        QCOMPARE(calculator->backgroundPicture()->pixmap().cacheKey(), replaced.cacheKey());
    }

    // Picture first, then the keys in their order, then the boxes and the note.
    void setOrder()
    {
        FrmCorvalo* calculator = main();
        Skins* chooser = openChooser();
        click(chooser, "CmdHall");
        const qint64 halloween = previewOf(chooser, "ImgHalloween")->pixmap().cacheKey();

        struct Recorder : QObject {
            QLabel* picture = nullptr;
            qint64 expected = 0;
            QStringList changed;
            bool pictureFirst = false;
            bool eventFilter(QObject* watched, QEvent* event) override
            {
                if (event->type() == QEvent::PaletteChange) {
                    if (changed.isEmpty())
                        pictureFirst = picture->pixmap().cacheKey() == expected;
                    changed.append(watched->objectName());
                }
                return false;
            }
        } recorder;
        recorder.picture = calculator->backgroundPicture();
        recorder.expected = halloween;
        for (QWidget* w : calculator->centralWidget()->findChildren<QWidget*>())
            w->installEventFilter(&recorder);

        click(chooser, "cmdSet");
        QVERIFY(recorder.pictureFirst);
        QCOMPARE(recorder.changed,
                 keyButtonOrder() + QStringList({"TxtDisplay", "txtdisplay2", "lblREM"}));
    }

    void defaultRestoresStartupLook_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::newRow("fresh") << "";
        QTest::newRow("result shown, equals disabled") << "5 + 7 =";
    }
    void defaultRestoresStartupLook()
    {
        QFETCH(QString, keys);
        press(main(), keys);
        const QImage startup = renderMain();
        QVERIFY(!startup.isNull());
        Skins* chooser = openChooser();
        click(chooser, "CmdHall");
        click(chooser, "cmdSet");
        QVERIFY(renderMain() != startup);
        click(chooser, "cmddefault");
        click(chooser, "cmdSet");
        QCOMPARE(renderMain(), startup);
    }

    void defaultKeysFollowDesktop_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("follows");
        QTest::newRow("Default") << "cmddefault" << true;
        QTest::newRow("Winter") << "CmdWinter" << false;
    }
    void defaultKeysFollowDesktop()
    {
        QFETCH(QString, button);
        QFETCH(bool, follows);
        Skins* chooser = openChooser();
        click(chooser, button);
        click(chooser, "cmdSet");
        QPushButton* key = main()->keyButton(Key::Five);
        const QColor before = key->palette().color(QPalette::Button);

        const QPalette desktop = QApplication::palette();
        QPalette changed = desktop;
        changed.setColor(QPalette::Button, QColor(0x12, 0x9a, 0x34));
        QApplication::setPalette(changed);
        const QColor after = key->palette().color(QPalette::Button);
        QApplication::setPalette(desktop);
        QCOMPARE(after, follows ? QColor(0x12, 0x9a, 0x34) : before);
    }

    void skinMidCalculation_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("skinButton");
        QTest::addColumn<QString>("after");
        QTest::newRow("operation pending") << "5 +"
                                           << "CmdSanta"
                                           << "7 =";
        QTest::newRow("second operand typed") << "9 * 3"
                                              << "CmdHall"
                                              << "=";
        QTest::newRow("square prompt") << "4 ^"
                                       << "CmdWinter"
                                       << "=";
        QTest::newRow("chained, memory held") << "6 M+ / 4 = -"
                                              << "cmddefault"
                                              << "MRC =";
        QTest::newRow("after a result") << "1 / 3 ="
                                        << "CmdWinter"
                                        << "+ 1 =";
    }
    void skinMidCalculation()
    {
        QFETCH(QString, before);
        QFETCH(QString, skinButton);
        QFETCH(QString, after);
        FrmCorvalo* calculator = main();
        press(calculator, before);
        const corvalo::CalcState state = calculator->state();
        const QString text = calculator->display()->text();
        const QString text2 = calculator->display2()->text();
        const bool firstShown = !calculator->display()->isHidden();
        const bool equalsEnabled = calculator->keyButton(Key::Equals)->isEnabled();

        Skins* chooser = openChooser();
        click(chooser, skinButton);
        click(chooser, "cmdSet");
        QCOMPARE(calculator->state(), state);
        QCOMPARE(calculator->display()->text(), text);
        QCOMPARE(calculator->display2()->text(), text2);
        QCOMPARE(!calculator->display()->isHidden(), firstShown);
        QCOMPARE(calculator->display2()->isHidden(), firstShown);
        QCOMPARE(calculator->keyButton(Key::Equals)->isEnabled(), equalsEnabled);

        press(calculator, after);
        const auto uninterrupted =
            corvalo::testing::pressKeys((before + ' ' + after).toStdString());
        QCOMPARE(calculator->state(), uninterrupted.state);
    }

    void lifeCycle()
    {
        QAction* menuSkins = main()->menuBar()->findChild<QAction*>("MnuSkins");
        QVERIFY(menuSkins);
        auto choosers = [] {
            QList<Skins*> found;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* s = qobject_cast<Skins*>(w))
                    found.append(s);
            return found;
        };

        menuSkins->trigger();
        QCOMPARE(choosers().size(), 1);
        QPointer<Skins> first = choosers().first();
        QVERIFY(first->isVisible());
        click(first, "CmdSanta");
        menuSkins->trigger();
        QCOMPARE(choosers(), (QList<Skins*>{first}));
        QCOMPARE(shownPreviews(first), QStringList{"imgsanta"});

        click(first, "cmdSet");
        const Look santa = lookOf(main());
        const QImage santaPicture = previewOf(first, "imgsanta")->pixmap().toImage();
        first->close();
        QTRY_VERIFY(first.isNull());
        QCOMPARE(lookOf(main()), santa);
        QCOMPARE(main()->backgroundPicture()->pixmap().toImage(), santaPicture);

        menuSkins->trigger();
        QCOMPARE(choosers().size(), 1);
        Skins* second = choosers().first();
        QCOMPARE(shownPreviews(second), QStringList{"imgdefault"});
        click(second, "cmdSet");
        QCOMPARE(corvalo::backColour(main()->keyButton(Key::Zero)),
                 corvalo::SystemColour::ButtonFace);
        QCOMPARE(main()->backgroundPicture()->pixmap().cacheKey(),
                 previewOf(second, "imgdefault")->pixmap().cacheKey());
    }

    void setAfterMainWindowClosed()
    {
        QPointer<FrmCorvalo> closed = main();
        press(closed, "7 +");
        Skins* chooser = openChooser();
        click(chooser, "CmdWinter");
        closed->close();
        QTRY_VERIFY(closed.isNull());
        QVERIFY(testsupport::topLevels("FrmCorvalo").isEmpty());

        click(chooser, "cmdSet");
        QCOMPARE(testsupport::topLevels("FrmCorvalo").size(), 1);
        auto* fresh = qobject_cast<FrmCorvalo*>(testsupport::topLevels("FrmCorvalo").first());
        QVERIFY(fresh->isVisible());
        QCOMPARE(fresh->state(), corvalo::CalcState{});
        QCOMPARE(fresh->backgroundPicture()->pixmap().cacheKey(),
                 previewOf(chooser, "ImgWinter")->pixmap().cacheKey());
        QCOMPARE(corvalo::backColour(fresh->keyButton(Key::Seven)), Colour::fromRgb(0xC0FFFF));
    }
};

QTEST_MAIN(SkinChooserTest)
#include "skinchooser_test.moc"

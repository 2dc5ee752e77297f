#include "app/windowset.h"
#include "look/appearance.h"
#include "splash/splashwindow.h"
#include "testsupport.h"
#include "windows/aboutbox.h"
#include "windows/helpexample.h"
#include "windows/mainwindow.h"

#include <QAction>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

namespace {

// Keypad captions to button names; a token in single quotes is typed into the focused box.
const QHash<QString, QString> buttonByCaption = {
    {"0", "CmdZero"},   {"1", "CmdOne"},      {"2", "CmdTwo"},      {"3", "CmdThree"},
    {"4", "CmdFour"},   {"5", "CmdFive"},     {"6", "CmdSix"},      {"7", "CmdSeven"},
    {"8", "CmdEight"},  {"9", "CmdNine"},     {".", "CmdDot"},      {"C", "CmdCancel"},
    {"+", "cmdAdd"},    {"-", "cmdSubtract"}, {"*", "cmdMultiply"}, {"/", "cmdDivide"},
    {"=", "CmdEquals"}, {"^", "CmdSqr"},      {"Sqrt", "CmdSqrt"},  {"%", "CmdPercent"},
    {"TT", "CmdPy"},    {"M+", "CmdMem"},     {"MC", "CmdMemC"},    {"MRC", "cmdMrc"},
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    FrmCorvalo* m_window = nullptr;

    QPushButton* button(const QString& name) const
    {
        auto* b = m_window->findChild<QPushButton*>(name);
        if (!b)
            qFatal("no button %s", qPrintable(name));
        return b;
    }
    QLineEdit* visibleBox() const
    {
        QLineEdit* one = m_window->findChild<QLineEdit*>("TxtDisplay");
        QLineEdit* two = m_window->findChild<QLineEdit*>("txtdisplay2");
        return one->isVisible() ? one : two;
    }
    bool exactlyOneBoxVisible() const
    {
        return m_window->display()->isVisible() != m_window->display2()->isVisible();
    }
    void click(const QString& keys)
    {
        for (const QString& token : keys.split(' ', Qt::SkipEmptyParts)) {
            if (token.startsWith('\'')) {
                QLineEdit* box = visibleBox();
                box->setFocus();
                QTest::keyClicks(box, token.mid(1, token.size() - 2));
            } else if (buttonByCaption.contains(token)) {
                QTest::mouseClick(button(buttonByCaption[token]), Qt::LeftButton);
            } else {
                for (QChar c : token) {
                    QVERIFY2(buttonByCaption.contains(QString(c)), qPrintable(token));
                    QTest::mouseClick(button(buttonByCaption[QString(c)]), Qt::LeftButton);
                }
            }
        }
    }

private slots:
    void initTestCase() { testsupport::prepareApplication(); }

    void init()
    {
        m_window = WindowSet::mainWindow();
        WindowSet::show(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }

    void cleanup() { WindowSet::closeAll(); }

    void startsWithFirstBoxShownAndEmpty()
    {
        QVERIFY(m_window->display()->isVisible());
        QVERIFY(!m_window->display2()->isVisible());
        QCOMPARE(m_window->display()->text(), QString());
        QCOMPARE(m_window->display2()->text(), QString());
        QVERIFY(button("CmdEquals")->isEnabled());
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Corvalo(Xmas)"));
    }

    void clickedKeys_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("display");
        QTest::addColumn<bool>("equalsEnabled");
        QTest::newRow("entry") << "12.5"
                               << "12.5" << true;
        QTest::newRow("first add") << "5 + 7 ="
                                   << "12" << false;
        QTest::newRow("chained adds") << "5 + 7 = + 3 = + 4 ="
                                      << "19" << false;
        QTest::newRow("chained subtract") << "5 + 7 = - 3 ="
                                          << "9" << false;
        QTest::newRow("digit after result") << "5 + 7 = 8 + 1 ="
                                            << "1286" << false;
        QTest::newRow("exponent notation") << "1 / 300000 ="
                                           << "3.33333333333333E-06" << false;
        QTest::newRow("square prompt") << "2 ^"
                                       << "Press Equals..." << true;
        QTest::newRow("square") << "5 + 7 = ^ ="
                                << "144" << false;
        QTest::newRow("square root") << "16 Sqrt ="
                                     << "4" << false;
        QTest::newRow("percent") << "200 % 15 ="
                                 << "30" << false;
        QTest::newRow("pi") << "TT * 2 ="
                            << "6.28318530717958" << false;
        QTest::newRow("memory") << "5 M+ 7 M+ MRC"
                                << "62" << true;
        QTest::newRow("memory survives clear") << "5 M+ C 3 M+ MRC"
                                               << "8" << true;
        QTest::newRow("large divide") << "1000000 / 4 ="
                                      << "250000" << false;
        QTest::newRow("large chained add") << "200000 + 1 = + 2 ="
                                           << "200003" << false;
        QTest::newRow("clear") << "5 + 7 = C"
                               << "" << true;
        QTest::newRow("typed operand") << "'12.5e1' + 2 ="
                                       << "127" << false;
        QTest::newRow("typed after operator") << "5 + '7x' ="
                                              << "12" << false;
        QTest::newRow("typed text reads as zero") << "'abc' + 4 ="
                                                  << "4" << false;
    }

    void clickedKeys()
    {
        QFETCH(QString, keys);
        QFETCH(QString, display);
        QFETCH(bool, equalsEnabled);
        click(keys);
        QCOMPARE(visibleBox()->text(), display);
        QVERIFY(exactlyOneBoxVisible());
        QCOMPARE(button("CmdEquals")->isEnabled(), equalsEnabled);
    }

    void enterPressesEqualsAndEscapePressesClear()
    {
        click("5 +");
        QLineEdit* box = visibleBox();
        box->setFocus();
        QTest::keyClicks(box, "7");
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(visibleBox()->text(), QStringLiteral("12"));
        QTest::keyClick(visibleBox(), Qt::Key_Escape);
        QCOMPARE(visibleBox()->text(), QString());
        QVERIFY(m_window->display()->isVisible());

        click("3 +");
        QTest::keyClick(button("cmdAdd"), Qt::Key_Enter); // also when a key has the focus
        QCOMPARE(visibleBox()->text(), QStringLiteral("3"));
    }

    void longTextsAreKeptWhole()
    {
        const QString typed = QStringLiteral("0.") + QString(40000, '3');
        m_window->display()->setText(typed);
        click("3 + 1 =");
        QCOMPARE(m_window->display()->text().size(), typed.size() + 1);
        QCOMPARE(visibleBox()->text(), QStringLiteral("1.33333333333333"));
    }

    void faultIsReportedAndCalculationGoesOn()
    {
        testsupport::MessageBoxCatcher catcher;
        click("12 / 0 =");
        QTRY_COMPARE(catcher.seen().size(), std::size_t(1));
        QCOMPARE(catcher.seen()[0].title, QStringLiteral("Error"));
        QCOMPARE(catcher.seen()[0].icon, QMessageBox::Critical);
        QCOMPARE(catcher.seen()[0].text, QStringLiteral("Cannot divide by zero."));
        QCOMPARE(visibleBox()->text(), QStringLiteral("0"));
        QVERIFY(button("CmdEquals")->isEnabled());
        click("5 =");
        QCOMPARE(visibleBox()->text(), QStringLiteral("2.4"));
        QCOMPARE(catcher.seen().size(), std::size_t(1));
    }

    void geometry_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("rect");
        QTest::newRow("TxtDisplay") << "TxtDisplay" << QRect(8, 0, 233, 25);
        QTest::newRow("txtdisplay2") << "txtdisplay2" << QRect(8, 0, 233, 25);
        QTest::newRow("CmdMem") << "CmdMem" << QRect(8, 40, 33, 25);
        QTest::newRow("CmdPercent") << "CmdPercent" << QRect(200, 40, 33, 25);
        QTest::newRow("cmdAdd") << "cmdAdd" << QRect(200, 72, 33, 27);
        QTest::newRow("cmdDivide") << "cmdDivide" << QRect(200, 104, 33, 27);
        QTest::newRow("CmdEquals") << "CmdEquals" << QRect(200, 136, 33, 25);
        QTest::newRow("CmdCancel") << "CmdCancel" << QRect(160, 168, 73, 25);
        QTest::newRow("CmdZero") << "CmdZero" << QRect(56, 168, 33, 25);
        QTest::newRow("cmdexp1") << "cmdexp1" << QRect(232, 24, 17, 17);
        QTest::newRow("lblREM") << "lblREM" << QRect(32, 24, 201, 17);
        QTest::newRow("WindowsMediaPlayer1") << "WindowsMediaPlayer1" << QRect(0, 200, 249, 43);
        QTest::newRow("Image2") << "Image2" << QRect(-16, 0, 279, 201);
    }

    void geometry()
    {
        QFETCH(QString, name);
        QFETCH(QRect, rect);
        auto* widget = m_window->findChild<QWidget*>(name);
        QVERIFY(widget);
        QCOMPARE(widget->geometry(), rect);
    }

    void clientAreaAndPlacement()
    {
        QCOMPARE(m_window->centralWidget()->size(), QSize(250, 243));
        QCOMPARE(m_window->geometry().topLeft(), QPoint(355, 189));
    }

    void stacking()
    {
        auto stackIndex = [this](const char* name) {
            return m_window->centralWidget()->children().indexOf(
                m_window->findChild<QWidget*>(name));
        };
        QVERIFY(stackIndex("txtdisplay2") > stackIndex("TxtDisplay"));
        QVERIFY(stackIndex("cmdexp1") > stackIndex("lblREM"));
        QVERIFY(stackIndex("TxtDisplay") > stackIndex("LblInfo"));
        QCOMPARE(stackIndex("Image2"), 0);
        // Where the "?" key overlaps the note, a click reaches the key.
        QCOMPARE(m_window->centralWidget()->childAt(236, 30), button("cmdexp1"));
    }

    void tabOrderFollowsLayout()
    {
        const QStringList expected = {
            "TxtDisplay", "cmdDivide", "cmdMultiply", "cmdSubtract", "cmdAdd",  "CmdSqrt",
            "CmdPercent", "CmdEquals", "CmdDot",      "CmdCancel",   "CmdOne",  "CmdZero",
            "CmdNine",    "CmdEight",  "CmdSeven",    "CmdSix",      "CmdFive", "CmdFour",
            "CmdThree",   "CmdTwo",    "CmdSqr",      "CmdPy"};
        QWidget* w = m_window->display();
        for (int i = 1; i < expected.size(); ++i) {
            w = w->nextInFocusChain();
            while (w->focusPolicy() == Qt::NoFocus || w->objectName().isEmpty())
                w = w->nextInFocusChain();
            QCOMPARE(w->objectName(), expected[i]);
        }
    }

    void fontsAreLookAlikesAndCaptionsFit()
    {
        for (QPushButton* b : m_window->centralWidget()->findChildren<QPushButton*>()) {
            if (!buttonByCaption.values().contains(b->objectName()) && b->objectName() != "cmdexp1")
                continue;
            QCOMPARE(QFontInfo(b->font()).family(), QStringLiteral("Comic Neue"));
            QVERIFY2(b->fontMetrics().horizontalAdvance(b->text()) < b->width() - 2,
                     qPrintable(b->objectName()));
        }
        QCOMPARE(QFontInfo(m_window->display()->font()).family(),
                 QStringLiteral("Liberation Sans"));
        QVERIFY(m_window->display()->font().bold());
        QCOMPARE(button("CmdPy")->font().pixelSize(), 15);
        QCOMPARE(button("cmdAdd")->font().pixelSize(), 16);
        QCOMPARE(m_window->note()->text(), QStringLiteral("NOTE: Press Equals  after every sum."));
    }

    void coloursAtStart()
    {
        using corvalo::Colour;
        QCOMPARE(corvalo::backColour(m_window->display()), Colour::fromRgb(0x804040));
        QCOMPARE(corvalo::backColour(m_window->display2()), Colour::fromRgb(0x804040));
        QCOMPARE(corvalo::foreColour(m_window->display()), corvalo::SystemColour::MenuText);
        QCOMPARE(corvalo::foreColour(m_window->note()), Colour::fromRgb(0xFFFF00));
        QCOMPARE(button("CmdFive")->palette().color(QPalette::Button),
                 QApplication::palette().color(QPalette::Button));
    }

    // Skins colour the keys, so a key's back colour must fill its face, not just its edge.
    void keyBackColourFillsTheKey()
    {
        QPushButton* five = button("CmdFive");
        corvalo::setBackColour(five, corvalo::Colour::fromRgb(0xC00000));
        const QImage face = five->grab().toImage();
        const QColor middle = face.pixelColor(face.width() / 4, face.height() / 2);
        QVERIFY2(middle.red() > 150 && middle.green() < 100 && middle.blue() < 100,
                 qPrintable(middle.name()));
    }

    void everyControlHasAnAccessibleName()
    {
        QSet<QString> names;
        for (QPushButton* b : m_window->centralWidget()->findChildren<QPushButton*>(
                 QString(), Qt::FindDirectChildrenOnly)) {
            QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
            names.insert(b->accessibleName());
        }
        QCOMPARE(names.size(), 25);
        QCOMPARE(m_window->display()->accessibleName(), QStringLiteral("Display"));
        QCOMPARE(m_window->display2()->accessibleName(), QStringLiteral("Display"));
    }

    void randomClicksKeepExactlyOneBoxVisible()
    {
        testsupport::MessageBoxCatcher catcher;
        const QStringList names = buttonByCaption.values();
        auto* random = QRandomGenerator::global();
        for (int i = 0; i < 400; ++i) {
            QPushButton* b = button(names[random->bounded(names.size())]);
            QTest::mouseClick(b, Qt::LeftButton);
            QVERIFY(exactlyOneBoxVisible());
        }
    }

    void menuWindowsAreSingleInstances()
    {
        QAction* about = m_window->findChild<QAction*>("MnuAbout");
        QVERIFY(about);
        about->trigger();
        FrmAbout* first = WindowSet::existingAbout();
        QVERIFY(first && first->isVisible());
        about->trigger();
        QCOMPARE(WindowSet::existingAbout(), first);

        first->hide(); // a hidden window keeps its state and comes back as it was
        about->trigger();
        QCOMPARE(WindowSet::existingAbout(), first);

        first->close(); // closed through the frame: discarded, built afresh next time
        QTRY_VERIFY(!WindowSet::existingAbout());
        about->trigger();
        QVERIFY(WindowSet::existingAbout());

        QTest::mouseClick(button("cmdexp1"), Qt::LeftButton);
        FrmExp1* help = WindowSet::helpExample();
        QVERIFY(help->isVisible());
        QCOMPARE(help->windowTitle(), QStringLiteral("Help-Example"));
    }

    void menuBarLayout()
    {
        const QList<QAction*> top = m_window->menuBar()->actions();
        QStringList captions;
        for (QAction* a : top)
            captions << a->text();
        QCOMPARE(captions, QStringList({"File", "About", "Music Manager", "Skins"}));
        QVERIFY(top[0]->menu());
        QCOMPARE(top[0]->menu()->actions().size(), 1);
        QCOMPARE(top[0]->menu()->actions()[0]->text(), QStringLiteral("Exit"));
        for (int i = 1; i < top.size(); ++i)
            QVERIFY(!top[i]->menu());
    }

    void programEndsWithLastVisibleWindow()
    {
        QSignalSpy ended(WindowSet::lifetime(), &WindowSet::Lifetime::programEnd);
        WindowSet::show(WindowSet::about());
        m_window->close();
        QTest::qWait(20);
        QCOMPARE(ended.size(), 0); // the About box is still on the screen
        WindowSet::about()->hide();
        QTRY_COMPARE(ended.size(), 1); // hidden windows never keep the program running
    }

    void exitEndsTheProgram()
    {
        QSignalSpy ended(WindowSet::lifetime(), &WindowSet::Lifetime::programEnd);
        WindowSet::show(WindowSet::about());
        m_window->findChild<QAction*>("MnuExit")->trigger();
        QCOMPARE(ended.size(), 1);
    }

    void clearHidesTheSplash()
    {
        auto* splash = static_cast<QWidget*>(WindowSet::splash());
        WindowSet::show(splash);
        click("C");
        QVERIFY(!splash->isVisible());
        QCOMPARE(static_cast<QWidget*>(WindowSet::existingSplash()), splash);
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"

#include "app/windowset.h"
#include "look/appearance.h"
#include "music/musicmanager.h"
#include "splash/splashwindow.h"
#include "testsupport.h"
#include "windows/aboutbox.h"
#include "windows/helpexample.h"
#include "windows/keypad.h"
#include "windows/mainwindow.h"

#include <QAction>
#include <QClipboard>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

namespace {

// Keypad captions to button names, as the main window's table has them.
QHash<QString, QString> buttonsByCaption()
{
    QHash<QString, QString> buttons;
    for (const corvalo::KeyDesign& d : corvalo::keypad)
        buttons.insert(QString::fromLatin1(d.caption), QString::fromLatin1(d.name));
    return buttons;
}
const QHash<QString, QString> buttonByCaption = buttonsByCaption();

QColor pixelAt(const QImage& image, QPointF logical)
{
    return image.pixelColor((logical * image.devicePixelRatio()).toPoint());
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<WindowSet> m_windows;
    FrmCorvalo* m_window = nullptr;

    QPushButton* button(const QString& name) const
    {
        return m_window->findChild<QPushButton*>(name);
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
    // Captions are clicked; a token in single quotes is typed, one in double quotes pasted, and
    // <Enter> pressed, where the keyboard focus is, which must always be the visible box.
    bool click(const QString& keys)
    {
        for (const QString& token : keys.split(' ', Qt::SkipEmptyParts)) {
            if (token.startsWith('\'') || token.startsWith('"') || token == "<Enter>") {
                QWidget* focus = m_window->focusWidget();
                if (focus != visibleBox()) {
                    qWarning("focus on %s before %s",
                             focus ? qPrintable(focus->objectName()) : "nothing",
                             qPrintable(token));
                    return false;
                }
                if (token == "<Enter>") {
                    QTest::keyClick(focus, Qt::Key_Return);
                } else if (token.startsWith('"')) {
                    QGuiApplication::clipboard()->setText(token.mid(1, token.size() - 2));
                    QTest::keyClick(focus, Qt::Key_V, Qt::ControlModifier);
                } else // one character at a time, each where the focus is then: "+" moves it
                    for (QChar typed : token.mid(1, token.size() - 2))
                        QTest::keyClick(m_window->focusWidget(), typed.toLatin1());
                continue;
            }
            const QStringList captions = buttonByCaption.contains(token)
                                             ? QStringList{token}
                                             : token.split("", Qt::SkipEmptyParts);
            for (const QString& caption : captions) {
                QPushButton* b = button(buttonByCaption.value(caption));
                if (!b) {
                    qWarning("no key %s", qPrintable(caption));
                    return false;
                }
                QTest::mouseClick(b, Qt::LeftButton);
            }
        }
        return true;
    }
    // The colour of a key's face beside its caption, halfway down.
    static QColor faceColour(QPushButton* key)
    {
        const QImage face = key->grab().toImage();
        const int captionLeft =
            (key->width() - key->fontMetrics().horizontalAdvance(key->text())) / 2;
        return pixelAt(face, QPointF(std::max(3, captionLeft / 2 + 1), key->height() / 2));
    }

private slots:
    void initTestCase() { testsupport::prepareApplication(); }

    void init()
    {
        m_windows = testsupport::makeWindowSet();
        m_window = m_windows->mainWindow();
        WindowSet::show(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }

    void cleanup() { m_windows.reset(); }

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
        QTest::newRow("typed after clicked keys") << "5 + '7' <Enter>"
                                                  << "12" << false;
        QTest::newRow("clicked between typed") << "'8' * '3' <Enter>"
                                               << "24" << false;
        QTest::newRow("typed into chain after swap") << "5 + 7 = + 3 '4' <Enter>"
                                                     << "46" << false;
        QTest::newRow("typed before function key") << "'16' Sqrt <Enter>"
                                                   << "4" << false;
        QTest::newRow("typed chain") << "'5' + '7' <Enter> + '3' <Enter>"
                                     << "15" << false;
        QTest::newRow("typed operators") << "'12+3='"
                                         << "15" << false;
        QTest::newRow("typed minus as sign and operator") << "'-2*-3='"
                                                          << "6" << false;
        QTest::newRow("typed exponent sign") << "'1e-3/2='"
                                             << "0.0005" << false;
        QTest::newRow("typed digit enables equals") << "5 + 7 = '3'"
                                                    << "3" << true;
        QTest::newRow("typed minus after result chains") << "5 + 7 = '-3='"
                                                         << "9" << false;
        QTest::newRow("typed exponent plus") << "'1e+5*2='"
                                             << "200000" << false;
        QTest::newRow("pasted after result") << "5 + 7 = \"8\" + 1 ="
                                             << "9" << false;
        QTest::newRow("pasted after chaining") << "5 + 7 = + \"3\" <Enter>"
                                               << "15" << false;
        QTest::newRow("pasted beyond the display's room") // refused with a message
            << "5 + 7 = \"" + QString(corvalo::displayCapacity + 1, '7') + '"' << "12" << false;
    }

    void clickedKeys()
    {
        QFETCH(QString, keys);
        QFETCH(QString, display);
        QFETCH(bool, equalsEnabled);
        testsupport::MessageBoxCatcher catcher;
        QVERIFY(click(keys));
        QCOMPARE(visibleBox()->text(), display);
        QVERIFY(exactlyOneBoxVisible());
        QCOMPARE(button("CmdEquals")->isEnabled(), equalsEnabled);
    }

    // Keyboard calculation follows one rule (engine/typing.h), wherever the focus is: random
    // sequences typed agree after every step with the same clicked, where text without a key (a
    // sign, an exponent) is put into the display as typed, and "C" clicked where text starts
    // afresh after a result. A failure names the shortest failing sequence.
    void typingFollowsClicking()
    {
        testsupport::MessageBoxCatcher catcher(0);
        const QStringList alphabet =
            QStringLiteral("0 1 5 . e + - * / = <Enter> <Escape> M+ MC MRC").split(' ');
        QRandomGenerator random(20261208); // fixed, so a failure repeats
        for (int i = 0; i < 2400; ++i) {
            const QString focus = QStringList{"display", "CmdSeven", ""}[i % 3]; // or nothing
            QStringList steps;
            for (int n = random.bounded(1, 12); n > 0; --n)
                steps << alphabet[random.bounded(alphabet.size())];
            QString differs = typedAgainstClicked(steps, focus);
            for (int k = 0; !differs.isEmpty() && k < steps.size(); ++k) {
                QStringList shorter = steps;
                shorter.removeAt(k);
                if (const QString d = typedAgainstClicked(shorter, focus); !d.isEmpty())
                    steps = shorter, differs = d, k = -1;
            }
            QVERIFY2(differs.isEmpty(),
                     qPrintable(steps.join(' ') + " with the focus on " + focus + ": " + differs));
        }
    }
    QString typedAgainstClicked(const QStringList& steps, const QString& focus)
    {
        auto key = [this](QString step) {
            return button(
                buttonByCaption.value(step.replace("<Enter>", "=").replace("<Escape>", "C")));
        };
        auto seen = [&] {
            return QStringLiteral("\"%1\" in box %2, = %3")
                .arg(visibleBox()->text(), visibleBox() == m_window->display() ? "1" : "2",
                     key("=")->isEnabled() ? "on" : "off");
        };
        QStringList clicked;
        bool result = false, afterOperator = false;
        key("C")->click(), key("MC")->click();
        for (const QString& step : steps) {
            const QString shown = visibleBox()->text();
            const bool text = step == "e" || (step == "-" && (shown.isEmpty() || afterOperator)) ||
                              (QStringLiteral("+-").contains(step) && shown.endsWith('e'));
            if (text || step == "." || step.front().isDigit()) {
                if (std::exchange(result, false))
                    key("C")->click();
                text ? visibleBox()->insert(step) : key(step)->click();
                afterOperator = false;
            } else if (key(step)->isEnabled()) {
                key(step)->click();
                result = key(step) == key("=") && !key("=")->isEnabled();
                afterOperator = QStringLiteral("+-*/").contains(step);
            }
            clicked << seen();
        }
        key("C")->click(), key("MC")->click();
        for (qsizetype i = 0; i < steps.size(); ++i) {
            QWidget* target = key("7");
            if (focus != "CmdSeven")
                target = focus.isEmpty() ? static_cast<QWidget*>(m_window) : visibleBox();
            target->setFocus();
            if (focus.isEmpty())
                target->focusWidget()->clearFocus();
            if (steps[i].startsWith('M'))
                key(steps[i])->click();
            else if (steps[i].startsWith('<'))
                QTest::keyClick(target, steps[i] == "<Enter>" ? Qt::Key_Return : Qt::Key_Escape);
            else
                QTest::keyClick(target, steps[i].front().toLatin1());
            if (clicked[i] != seen())
                return QStringLiteral("after step %1, clicked: %2, typed: %3")
                    .arg(QString::number(i + 1), clicked[i], seen());
        }
        return {};
    }

    void enterPressesEqualsAndEscapePressesClear()
    {
        QVERIFY(click("5 +"));
        QLineEdit* box = visibleBox();
        box->setFocus();
        QTest::keyClicks(box, "7");
        QTest::keyClick(box, Qt::Key_Return);
        QCOMPARE(visibleBox()->text(), QStringLiteral("12"));
        QTest::keyClick(visibleBox(), Qt::Key_Escape);
        QCOMPARE(visibleBox()->text(), QString());
        QVERIFY(m_window->display()->isVisible());

        QVERIFY(click("3 +"));
        QTest::keyClick(button("cmdAdd"), Qt::Key_Enter); // also when a key has the focus
        QCOMPARE(visibleBox()->text(), QStringLiteral("3"));
    }

    void longTextsAreKeptWhole() // up to the display's room; a key beyond it says so
    {
        testsupport::MessageBoxCatcher catcher;
        const QString typed = QStringLiteral("0.") + QString(corvalo::displayCapacity - 3, '3');
        m_window->display()->setText(typed);
        QVERIFY(click("3 3 + 1 ="));
        QCOMPARE(m_window->display()->text().size(), typed.size() + 1);
        QCOMPARE(visibleBox()->text(), QStringLiteral("1.33333333333333"));
        QCOMPARE(catcher.seen().at(0).text, "The display holds at most 32767 characters.");
    }

    void faultIsReportedAndCalculationGoesOn()
    {
        testsupport::MessageBoxCatcher catcher;
        QVERIFY(click("12 / 0 ="));
        QTRY_COMPARE(catcher.seen().size(), std::size_t(1));
        QCOMPARE(catcher.seen()[0].title, QStringLiteral("Error"));
        QCOMPARE(catcher.seen()[0].icon, QMessageBox::Critical);
        QCOMPARE(catcher.seen()[0].text, QStringLiteral("Cannot divide by zero."));
        QCOMPARE(visibleBox()->text(), QStringLiteral("0"));
        QVERIFY(button("CmdEquals")->isEnabled());
        QVERIFY(click("5 ="));
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
        QCOMPARE(m_window->centralWidget()->mapToGlobal(QPoint(0, 0)), QPoint(355, 189));
        QVERIFY(m_window->menuBar()->mapToGlobal(QPoint(0, 0)).y() < 189);
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
        // Tab indexes 0 to 21: the display, then the keys beneath txtdisplay2.
        QMap<int, QString> byTabIndex = {{0, "TxtDisplay"}};
        for (const corvalo::KeyDesign& d : corvalo::keypad)
            if (d.tabIndex < 23)
                byTabIndex.insert(d.tabIndex, QString::fromLatin1(d.name));
        const QStringList expected = byTabIndex.values();
        QCOMPARE(expected.size(), 22);
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

    // The graphical key style: the face in the back colour exactly, whatever the state; the
    // edge raised or sunken; the caption in the text colour, or grey when disabled.
    void keyStyle_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("state");
        QTest::newRow("raised") << ""
                                << "CmdFive"
                                << "raised";
        QTest::newRow("pressed") << ""
                                 << "CmdFive"
                                 << "pressed";
        QTest::newRow("focused by Tab") << ""
                                        << "cmdDivide"
                                        << "focused";
        QTest::newRow("equals disabled after Sqrt") << "9 Sqrt ="
                                                    << "CmdEquals"
                                                    << "disabled";
    }
    void keyStyle()
    {
        QFETCH(QString, keys);
        QFETCH(QString, name);
        QFETCH(QString, state);
        QVERIFY(click(keys));
        QPushButton* key = button(name);
        corvalo::setBackColour(key, corvalo::Colour::fromRgb(0xC00000));
        const QImage plain = key->grab().toImage();
        key->setDown(state == "pressed");
        if (state == "focused")
            QTest::keyClick(visibleBox(), Qt::Key_Tab);
        QCOMPARE(key->hasFocus(), state == "focused");
        QCOMPARE(key->isEnabled(), state != "disabled");
        const QImage shown = key->grab().toImage();
        QCOMPARE(faceColour(key), QColor(0xC0, 0x00, 0x00));
        QCOMPARE(shown != plain, state == "pressed" || state == "focused");

        const QPalette& colours = key->palette();
        const bool sunken = state == "pressed";
        QCOMPARE(shown.pixel(0, 0),
                 colours.color(sunken ? QPalette::Shadow : QPalette::Light).rgb());
        QCOMPARE(shown.pixel(shown.width() - 1, shown.height() - 1),
                 colours.color(sunken ? QPalette::Light : QPalette::Shadow).rgb());
        // Glyph edges are smoothed: look for a pixel near the colour.
        auto drawnIn = [&](QColor colour) {
            for (int y = 6; y < shown.height() - 6; ++y)
                for (int x = 6; x < shown.width() - 6; ++x) {
                    const QColor c = shown.pixelColor(x, y);
                    if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                            std::abs(c.blue() - colour.blue()) <
                        60)
                        return true;
                }
            return false;
        };
        QCOMPARE(drawnIn(colours.color(QPalette::Active, QPalette::ButtonText)),
                 state != "disabled");
        QCOMPARE(drawnIn(colours.color(QPalette::Dark)), state == "disabled");
    }

    void copyFromTheDisplay_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<int>("selectionLength");
        QTest::addColumn<QString>("copied");
        QTest::newRow("no selection copies all") << "'12.5'" << 0 << "12.5";
        QTest::newRow("selection copies it") << "'12.5'" << 2 << "12";
        QTest::newRow("result, no selection") << "5 + 7 =" << 0 << "12";
    }
    void copyFromTheDisplay()
    {
        QFETCH(QString, keys);
        QFETCH(int, selectionLength);
        QFETCH(QString, copied);
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->setText(QStringLiteral("before"));
        QVERIFY(click(keys));
        QLineEdit* box = visibleBox();
        box->setSelection(0, selectionLength);
        const QString before = box->text();
        QTest::keyClick(box, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(clipboard->text(), copied);
        QCOMPARE(box->text(), before);

        box->end(false);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(visibleBox()->text(), keys.contains('=') ? copied : before + copied); // afresh
    }

    void everyControlHasAnAccessibleName()
    {
        QSet<QString> names;
        for (QPushButton* b : m_window->centralWidget()->findChildren<QPushButton*>(
                 QString(), Qt::FindDirectChildrenOnly)) {
            QVERIFY2(!b->accessibleName().isEmpty(), qPrintable(b->objectName()));
            names.insert(b->accessibleName());
        }
        QCOMPARE(names.size(), qsizetype(corvalo::keypad.size()));
        QCOMPARE(m_window->display()->accessibleName(), QStringLiteral("Display"));
        QCOMPARE(m_window->display2()->accessibleName(), QStringLiteral("Display"));
    }

    void randomClicksKeepExactlyOneBoxVisible()
    {
        testsupport::MessageBoxCatcher catcher;
        QRandomGenerator random(20261207); // fixed, so a failure repeats
        for (int i = 0; i < 400; ++i) {
            const auto& d = corvalo::keypad[random.bounded(int(corvalo::keypad.size()))];
            if (!d.key)
                continue; // "?" opens a window of its own
            QPushButton* b = button(d.name);
            QTest::mouseClick(b, Qt::LeftButton);
            QVERIFY(exactlyOneBoxVisible());
        }
    }

    void menuWindowsAreSingleInstances()
    {
        QAction* about = m_window->findChild<QAction*>("MnuAbout");
        QVERIFY(about);
        about->trigger();
        about->trigger();
        // Hidden and closed About boxes coming back: splash_test's okHidesAbout,
        // closeBoxDiscardsAbout.
        QCOMPARE(testsupport::topLevels("FrmAbout").size(), 1);
        QTest::mouseClick(button("cmdexp1"), Qt::LeftButton);
        QCOMPARE(testsupport::topLevels("FrmExp1").size(), 1);
        QVERIFY(testsupport::topLevels("FrmExp1").first()->isVisible());
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

    // Keys go where Qt would send them: to an open menu, else to the focus.
    void menuFromTheKeyboard_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QString>("outcome");
        QTest::newRow("F10, Return ends") << QList<int>{Qt::Key_F10, Qt::Key_Return} << "end";
        QTest::newRow("F10, Right, Right, Return opens the music manager")
            << QList<int>{Qt::Key_F10, Qt::Key_Right, Qt::Key_Right, Qt::Key_Return} << "frmmusic";
        QTest::newRow("F10, Escape, Escape gives the display the focus")
            << QList<int>{Qt::Key_F10, Qt::Key_Escape, Qt::Key_Escape} << "TxtDisplay";
    }

    void menuFromTheKeyboard()
    {
        QFETCH(QList<int>, keys);
        QFETCH(QString, outcome);
        QSignalSpy ended(m_windows.get(), &WindowSet::programEnd);
        m_window->display()->setFocus();
        bool menuOpened = false;
        for (int key : keys) {
            QWidget* popup = QApplication::activePopupWidget();
            QTest::keyClick(popup ? popup : QApplication::focusWidget(), Qt::Key(key));
            menuOpened |= QApplication::activePopupWidget() != nullptr;
        }
        QVERIFY(menuOpened);
        QCOMPARE(ended.size(), outcome == "end" ? 1 : 0);
        if (outcome == "frmmusic")
            QTRY_VERIFY(m_windows->musicManager()->isVisible());
        if (outcome == "TxtDisplay")
            QTRY_COMPARE(QApplication::focusWidget(), m_window->display());
    }

    void programEndsWithLastVisibleWindow()
    {
        QSignalSpy ended(m_windows.get(), &WindowSet::programEnd);
        WindowSet::show(m_windows->about());
        QPointer<FrmCorvalo> closed = m_window;
        m_window->close();
        QTRY_VERIFY(closed.isNull());
        QCoreApplication::sendPostedEvents(); // the window set's look at what is left
        QCOMPARE(ended.size(), 0);            // the About box is still on the screen
        m_windows->about()->hide();
        QTRY_COMPARE(ended.size(), 1); // hidden windows never keep the program running
    }

    void exitEndsTheProgram()
    {
        QSignalSpy ended(m_windows.get(), &WindowSet::programEnd);
        WindowSet::show(m_windows->about());
        m_window->findChild<QAction*>("MnuExit")->trigger();
        QCOMPARE(ended.size(), 1);
    }

    void clearHidesTheSplash()
    {
        QPointer<QWidget> splash = m_windows->splash();
        WindowSet::show(splash);
        QVERIFY(click("C"));
        QVERIFY(!splash->isVisible()); // hidden, not discarded
        QVERIFY(splash);
    }
};

QTEST_MAIN(MainWindowTest)
#include "mainwindow_test.moc"

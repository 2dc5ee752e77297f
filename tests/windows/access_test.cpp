// The windows as keyboard-only users and screen readers meet them.
#include "music/musicmanager.h"
#include "skins/skinchooser.h"
#include "splash/splashwindow.h"
#include "testsupport.h"
#include "windows/aboutbox.h"
#include "windows/helpexample.h"
#include "windows/mainwindow.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

constexpr int absent = -1; // a role meaning: not in the accessibility tree

// Every object in a window's accessibility tree, by object name, as a screen reader reaches it.
QHash<QString, QAccessibleInterface*> treeOf(QWidget* window)
{
    QAccessibleInterface* top = QAccessible::queryAccessibleInterface(window);
    QHash<QString, QAccessibleInterface*> found = {{QString(), top}};
    QList<QAccessibleInterface*> todo = {top};
    while (!todo.isEmpty()) {
        QAccessibleInterface* iface = todo.takeLast();
        for (int i = 0; i < iface->childCount(); ++i) {
            todo.append(iface->child(i));
            if (const QString name = todo.last()->object()->objectName(); !name.isEmpty())
                found.insert(name, todo.last());
        }
    }
    return found;
}

// Where a key typed now goes: an open menu, else the widget with the focus.
QWidget* keyTarget()
{
    QWidget* popup = QApplication::activePopupWidget();
    return popup ? popup : QApplication::focusWidget();
}

// Keys as the user presses them: a name ("F10", "Tab*7", "KP," for the keypad's decimal key,
// which types a comma on a German keyboard) or a text in single quotes.
void press(const QString& keys)
{
    static const QHash<QString, Qt::Key> named = {
        {"Alt", Qt::Key_Alt},     {"F10", Qt::Key_F10},       {"Left", Qt::Key_Left},
        {"Right", Qt::Key_Right}, {"Return", Qt::Key_Return}, {"Escape", Qt::Key_Escape},
        {"Tab", Qt::Key_Tab},     {"Space", Qt::Key_Space},   {"KP,", Qt::Key_Comma},
        {"KP.", Qt::Key_Period}};
    for (const QString& token : keys.split(' ', Qt::SkipEmptyParts)) {
        if (token.startsWith('\'')) {
            QTest::keyClicks(keyTarget(), token.mid(1, token.size() - 2));
            continue;
        }
        const QStringList repeated = token.split('*');
        const Qt::Key key = named.value(repeated[0]);
        Qt::KeyboardModifiers modifiers = Qt::NoModifier;
        if (key == Qt::Key_Alt)
            modifiers = Qt::AltModifier;
        else if (repeated[0].startsWith("KP"))
            modifiers = Qt::KeypadModifier;
        for (int i = 0; i < repeated.value(1, "1").toInt(); ++i)
            QTest::keyClick(keyTarget(), key, modifiers);
    }
}

// The menu-bar item painted in the highlight colour, or none.
QString highlightedItem(QMenuBar* bar)
{
    const QImage shown = bar->grab().toImage();
    const QRgb highlight = bar->palette().color(QPalette::Highlight).rgb();
    QString found;
    for (QAction* action : bar->actions()) {
        const QRect rect = bar->actionGeometry(action);
        int lit = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                lit += shown.pixel(x, y) == highlight;
        if (lit > rect.width() * rect.height() / 3)
            found += action->objectName();
        else if (lit > 0)
            found += "(partly " + action->objectName() + ")";
    }
    return found;
}

} // namespace

class AccessTest : public QObject {
    Q_OBJECT

    std::vector<std::unique_ptr<QWidget>> m_windows;

    QWidget* window(const QString& name)
    {
        for (const auto& w : m_windows)
            if (w->objectName() == name)
                return w.get();
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        testsupport::prepareApplication();
        m_windows.emplace_back(new FrmCorvalo);
        m_windows.emplace_back(new frmSplash);
        m_windows.emplace_back(new FrmExp1);
        m_windows.emplace_back(new FrmAbout);
        m_windows.emplace_back(new frmmusic);
        m_windows.emplace_back(new Skins);
    }
    void cleanupTestCase() { m_windows.clear(); }

    void accessibleTree_data()
    {
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("control"); // empty: the window itself
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        auto row = [](const char* window, const char* control, int role, const QString& name) {
            QTest::addRow("%s %s", window, control) << window << control << role << name;
        };
        row("FrmCorvalo", "", QAccessible::Window, "Corvalo(Xmas)");
        row("FrmCorvalo", "MnuSkins", QAccessible::MenuItem, "Skins");
        row("FrmCorvalo", "TxtDisplay", QAccessible::EditableText, "Display");
        row("FrmCorvalo", "CmdEquals", QAccessible::Button, "Equals");
        row("FrmCorvalo", "lblREM", QAccessible::StaticText,
            "NOTE: Press Equals  after every sum.");
        row("FrmCorvalo", "LblInfo", absent, ""); // an empty label
        row("FrmCorvalo", "Image2", QAccessible::Graphic, "Default skin");
        row("frmSplash", "", QAccessible::Dialog, "Corvalo");
        row("frmSplash", "Image1", absent, ""); // the starry background
        row("frmSplash", "Image2", QAccessible::Graphic, "Christmas tree");
        row("frmSplash", "Image3", QAccessible::Graphic, "Christmas tree");
        row("frmSplash", "Image4", QAccessible::Graphic, "Snowy village");
        row("frmSplash", "Label1", QAccessible::StaticText, "(Click To Close)");
        row("FrmExp1", "", QAccessible::Window, "Help-Example");
        row("FrmExp1", "Image1", absent, ""); // the snowflake background
        row("FrmExp1", "Shape1", absent, "");
        row("FrmExp1", "LblExp1Exp", QAccessible::StaticText, "Situation: To work out 5+7+3+4.");
        row("FrmAbout", "", QAccessible::Dialog, "About");
        row("FrmAbout", "Image1", QAccessible::Graphic, "Christmas tree");
        row("FrmAbout", "Image2", absent, "");
        row("FrmAbout", "Line1", absent, "");
        row("FrmAbout", "cmdOK", QAccessible::Button, "OK");
        row("frmmusic", "", QAccessible::Window, "Music selection");
        row("frmmusic", "Image1", absent, "");
        row("frmmusic", "txtrun", QAccessible::EditableText, "Music file");
        row("frmmusic", "CmdPlay", QAccessible::Button, "Play");
        row("Skins", "", QAccessible::Window, "Skins");
        row("Skins", "cmdSet", QAccessible::Button, "Set");
        for (const corvalo::Skin& skin : corvalo::skinCatalogue())
            row("Skins", skin.previewName, QAccessible::Graphic,
                QString::fromLatin1(skin.caption) + " skin");
    }
    void accessibleTree()
    {
        QFETCH(QString, window);
        QFETCH(QString, control);
        QFETCH(int, role);
        QFETCH(QString, name);
        QWidget* w = this->window(window);
        QVERIFY(w);
        const QHash<QString, QAccessibleInterface*> tree = treeOf(w);
        QAccessibleInterface* iface = tree.value(control);
        if (role == absent) {
            QVERIFY(w->findChild<QWidget*>(control)); // there, but not shown to a screen reader
            QVERIFY(!iface);
            return;
        }
        QVERIFY(iface);
        QCOMPARE(int(iface->role()), role);
        QCOMPARE(iface->text(QAccessible::Name), name);
    }

    // The preview is a click's only feedback: the buttons tell which skin it shows.
    void skinChooserSaysWhatItPreviews()
    {
        QWidget* chooser = window("Skins");
        chooser->show();
        QVERIFY(QTest::qWaitForWindowExposed(chooser));
        for (const corvalo::Skin& skin : corvalo::skinCatalogue()) {
            QTest::mouseClick(chooser->findChild<QPushButton*>(skin.buttonName), Qt::LeftButton);
            const QHash<QString, QAccessibleInterface*> tree = treeOf(chooser);
            for (const char* button : {"cmddefault", "CmdWinter", "cmdSet"})
                QCOMPARE(tree.value(button)->text(QAccessible::Description),
                         QStringLiteral("Previewing ") + skin.caption);
            for (const corvalo::Skin& each : corvalo::skinCatalogue())
                QCOMPARE(tree.value(each.previewName)->state().invisible, each.id != skin.id);
        }
    }

    // The menu bar, "=" and the keypad's decimal key, from the keyboard alone.
    void keyboard_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("highlighted"); // menu-bar item drawn highlighted
        QTest::addColumn<bool>("fileMenuOpen");
        QTest::addColumn<QString>("focus"); // object name, or class name of a nameless widget
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("command"); // the menu command run, if any
        QTest::newRow("Alt") << "Alt"
                             << "mnuFile" << false << "QMenuBar"
                             << ""
                             << "";
        QTest::newRow("Alt Right") << "Alt Right"
                                   << "MnuAbout" << false << "QMenuBar"
                                   << ""
                                   << "";
        QTest::newRow("Alt Right Right") << "Alt Right Right"
                                         << "mnuMusic" << false << "QMenuBar"
                                         << ""
                                         << "";
        QTest::newRow("Alt Left") << "Alt Left"
                                  << "MnuSkins" << false << "QMenuBar"
                                  << ""
                                  << "";
        QTest::newRow("Alt Right Return") << "Alt Right Return"
                                          << "" << false << "TxtDisplay"
                                          << ""
                                          << "aboutRequested";
        QTest::newRow("F10") << "'7' F10"
                             << "mnuFile" << true << "QMenuBar"
                             << "7"
                             << "";
        QTest::newRow("F10 Right") << "F10 Right"
                                   << "MnuAbout" << false << "QMenuBar"
                                   << ""
                                   << "";
        QTest::newRow("F10 Right*3 Return") << "F10 Right*3 Return"
                                            << "" << false << "TxtDisplay"
                                            << ""
                                            << "skinsRequested";
        QTest::newRow("F10 Return") << "F10 Return"
                                    << "" << false << "TxtDisplay"
                                    << ""
                                    << "exitRequested";
        QTest::newRow("F10 Escape Escape") << "'7' F10 Escape Escape '8'"
                                           << "" << false << "TxtDisplay"
                                           << "78"
                                           << "";
        QTest::newRow("= pressed from the keyboard") << "'5' Tab*7 Space '9'"
                                                     << "" << false << "TxtDisplay"
                                                     << "59"
                                                     << "";
        QTest::newRow("keypad decimal comma") << "'1' KP, '5'"
                                              << "" << false << "TxtDisplay"
                                              << "1.5"
                                              << "";
        QTest::newRow("keypad decimal point") << "'1' KP. '5'"
                                              << "" << false << "TxtDisplay"
                                              << "1.5"
                                              << "";
        QTest::newRow("comma typed") << "'1,5'"
                                     << "" << false << "TxtDisplay"
                                     << "1,5"
                                     << "";
    }
    void keyboard()
    {
        QFETCH(QString, keys);
        QFETCH(QString, highlighted);
        QFETCH(bool, fileMenuOpen);
        QFETCH(QString, focus);
        QFETCH(QString, display);
        QFETCH(QString, command);
        auto* main = static_cast<FrmCorvalo*>(window("FrmCorvalo"));
        main->show();
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        main->keyButton(corvalo::Key::Clear)->click();
        main->display()->setFocus();
        QMap<QString, std::shared_ptr<QSignalSpy>> spies;
        for (const char* signal :
             {"aboutRequested", "musicManagerRequested", "skinsRequested", "exitRequested"})
            spies.insert(signal,
                         std::make_shared<QSignalSpy>(main, QByteArray("2") + signal + "()"));

        press(keys);
        QMenuBar* bar = main->menuBar();
        QCOMPARE(highlightedItem(bar), highlighted);
        QMenu* file = bar->actions().first()->menu();
        QCOMPARE(QApplication::activePopupWidget() == file, fileMenuOpen);
        if (fileMenuOpen)
            QCOMPARE(file->activeAction()->objectName(), QStringLiteral("MnuExit"));
        QWidget* focused = QApplication::focusWidget();
        QVERIFY(focused);
        QCOMPARE(focused->objectName().isEmpty() ? focused->metaObject()->className()
                                                 : focused->objectName(),
                 focus);
        QLineEdit* box = main->display()->isVisible() ? main->display() : main->display2();
        QCOMPARE(box->text(), display);
        for (auto spy = spies.begin(); spy != spies.end(); ++spy)
            QCOMPARE(spy.value()->size(), spy.key() == command ? 1 : 0);

        while (keyTarget() && keyTarget() != box) // leave the menu bar as found
            QTest::keyClick(keyTarget(), Qt::Key_Escape);
    }
};

QTEST_MAIN(AccessTest)
#include "access_test.moc"

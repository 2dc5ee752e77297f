// The windows as a screen reader meets them; tools/startup-focus.sh tries the keyboard and AT-SPI
// on a real display.
#include "music/musicmanager.h"
#include "skins/skinchooser.h"
#include "splash/splashwindow.h"
#include "testsupport.h"
#include "windows/aboutbox.h"
#include "windows/helpexample.h"
#include "windows/mainwindow.h"

#include <QAccessible>
#include <QtTest>

namespace {

using A = QAccessible;
constexpr int absent = -1; // there, but not in the accessibility tree

struct TreeRow {
    const char *window, *control; // no control: the window itself
    int role;
    QString name;
};
const std::vector<TreeRow> treeRows = {
    {"FrmCorvalo", "", A::Window, "Corvalo(Xmas)"},
    {"FrmCorvalo", "MnuSkins", A::MenuItem, "Skins"},
    {"FrmCorvalo", "TxtDisplay", A::EditableText, "Display"},
    {"FrmCorvalo", "CmdEquals", A::Button, "Equals"},
    {"FrmCorvalo", "LblInfo", absent, ""}, // an empty label
    {"FrmCorvalo", "Image2", A::Graphic, "Default skin"},
    {"frmSplash", "", A::Window, "Corvalo"},
    {"frmSplash", "Image1", absent, ""}, // the starry background
    {"frmSplash", "Image3", A::Graphic, "Christmas tree"},
    {"frmSplash", "Image4", A::Graphic, "Snowy village"},
    {"frmSplash", "Label1", A::StaticText, "(Click To Close)"},
    {"FrmExp1", "", A::Dialog, "Help-Example"},
    {"FrmExp1", "Image1", absent, ""}, // the snowflake background
    {"FrmExp1", "Shape1", absent, ""},
    {"FrmAbout", "", A::Dialog, "About"},
    {"FrmAbout", "Image1", A::Graphic, "Christmas tree"},
    {"FrmAbout", "Line1", absent, ""},
    {"frmmusic", "", A::Window, "Music selection"},
    {"frmmusic", "Image1", absent, ""},
    {"Skins", "", A::Window, "Skins"},
};

// Every object of a window's accessibility tree, by object name, as a screen reader reaches it.
QHash<QString, QAccessibleInterface*> treeOf(QWidget* window)
{
    QList<QAccessibleInterface*> todo = {QAccessible::queryAccessibleInterface(window)};
    QHash<QString, QAccessibleInterface*> found = {{QString(), todo[0]}};
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

} // namespace

class AccessTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::prepareApplication(); }

    void accessibleTree()
    {
        std::vector<TreeRow> rows = treeRows;
        for (const corvalo::Skin& skin : corvalo::skinCatalogue())
            rows.push_back(
                {"Skins", skin.previewName, A::Graphic, skin.caption + QString(" skin")});
        FrmCorvalo main;
        frmSplash splash;
        FrmExp1 help;
        FrmAbout about;
        frmmusic music;
        Skins skins;
        for (const TreeRow& row : rows) {
            QWidget* window = nullptr;
            for (QWidget* w : QApplication::topLevelWidgets())
                window = w->objectName() == row.window ? w : window;
            QAccessibleInterface* iface = treeOf(window).value(row.control);
            const int role = iface ? int(iface->role()) : absent;
            const QString name = iface ? iface->text(QAccessible::Name) : QString();
            QVERIFY2(
                (window->findChild<QObject*>(row.control) || !*row.control) && role == row.role &&
                    name == row.name,
                qPrintable(
                    QString("%1 %2: %3 '%4'").arg(row.window, row.control).arg(role).arg(name)));
        }
    }
};

QTEST_MAIN(AccessTest)
#include "access_test.moc"

// A monkey on every window: thousands of random clicks, typed texts, keys, menu commands, skins
// and closed windows, all decided by one seeded generator, so that a seed replays the same run.
// After every action the display and the window set must still hold together.
//
//   CORVALO_MONKEY_SEED     the seed (default below); printed at the start of every run
//   CORVALO_MONKEY_ACTIONS  how many actions (default 3000)
//   CORVALO_MONKEY_VERBOSE  set: print every action as it is done
#include "app/windowset.h"
#include "engine/number.h"
#include "music/musicmanager.h"
#include "skins/skinchooser.h"
#include "splash/splashwindow.h"
#include "testsupport.h"
#include "windows/aboutbox.h"
#include "windows/helpexample.h"
#include "windows/mainwindow.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <cstdio>
#include <deque>
#include <functional>
#include <optional>

namespace {

constexpr quint64 defaultSeed = 20261207;
constexpr int defaultActions = 3000;
constexpr std::size_t tailLength = 40;

// The seven windows; at most one of each may exist.
const char* const windowClasses[] = {"FrmCorvalo", "frmSplash", "FrmExp1", "FrmAbout",
                                     "frmmusic",   "Skins",     "Form1"};

// The store buttons load a web engine and reach the network; Browse opens a modal file dialog.
bool isExcluded(const QWidget* w)
{
    return w->objectName() == QLatin1String("Command1") ||
           w->objectName() == QLatin1String("cmdBrowse");
}

// Keys whose outcome is a number the calculator writes itself, and the box it writes.
enum class Writes { Display2, VisibleBox };
const QHash<QString, Writes> resultKeys = {
    {"CmdEquals", Writes::Display2}, {"cmdMrc", Writes::VisibleBox}, {"CmdPy", Writes::VisibleBox}};

quint64 envNumber(const char* name, quint64 fallback)
{
    bool ok = false;
    const quint64 value = qEnvironmentVariable(name).toULongLong(&ok, 0);
    return ok ? value : fallback;
}

QString describe(const QWidget* w)
{
    const QWidget* window = w->window();
    QString name = w->objectName();
    if (name.isEmpty())
        name = QString::fromLatin1(w->metaObject()->className());
    return window == w ? name : QStringLiteral("%1/%2").arg(window->objectName(), name);
}

// The off-screen platform says so every time a window is raised: thousands of lines that would
// bury the report.
QtMessageHandler g_nextHandler = nullptr;
void dropPlatformChatter(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    if (!text.startsWith(QLatin1String("This plugin does not support")))
        g_nextHandler(type, context, text);
}

bool holdsInfOrNan(const QString& text)
{
    static const QRegularExpression word(QStringLiteral("\\b(inf|infinity|nan)\\b"),
                                         QRegularExpression::CaseInsensitiveOption);
    return text.contains(word);
}

// Answers whatever modal thing opens, through the event loop the opener itself runs: message
// boxes get OK, other dialogs are cancelled and pop-up menus closed.
class Answerer : public QObject {
public:
    int boxes = 0;
    QStringList problems;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(watched);
        if (auto* box = qobject_cast<QMessageBox*>(w)) {
            ++boxes;
            if (box->windowTitle() != QLatin1String("Error") || holdsInfOrNan(box->text()))
                problems << QStringLiteral("message box \"%1\": %2")
                                .arg(box->windowTitle(), box->text());
            answerLater(box, [](QWidget* b) { static_cast<QMessageBox*>(b)->done(0); });
        } else if (auto* dialog = qobject_cast<QDialog*>(w)) {
            problems << QStringLiteral("unexpected dialog %1").arg(describe(dialog));
            answerLater(dialog, [](QWidget* d) { static_cast<QDialog*>(d)->reject(); });
        } else if (qobject_cast<QMenu*>(w)) {
            answerLater(w, [](QWidget* m) { m->close(); });
        }
        return false;
    }

private:
    static void answerLater(QWidget* w, void (*answer)(QWidget*))
    {
        QMetaObject::invokeMethod(
            qApp, [p = QPointer<QWidget>(w), answer] { p ? answer(p) : void(); },
            Qt::QueuedConnection);
    }
};

class Monkey {
public:
    explicit Monkey(quint64 seed) : m_random(seed) {}

    // Runs one random action; returns what it did, for the log.
    QString act();

private:
    QString tryOne(); // empty when the roll found nothing to act on
    int below(int n) { return n <= 0 ? 0 : int(m_random.bounded(n)); }
    template <class T> T oneOf(const QList<T>& list) { return list.at(below(int(list.size()))); }
    QString text();

    QList<QWidget*> visibleWindows() const;
    template <class W> QList<W*> controls(QWidget* window) const;
    QString click(QWidget* w);
    QString type(QLineEdit* box);
    QString key(QWidget* target);
    QString trigger(QMainWindow* main, const char* name);

    QRandomGenerator m_random;
};

QWidget* findWindow(const char* className)
{
    QWidget* found = nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qstrcmp(w->metaObject()->className(), className) == 0)
            found = w;
    return found;
}

QList<QWidget*> Monkey::visibleWindows() const
{
    QList<QWidget*> windows;
    for (const char* name : windowClasses)
        if (QWidget* w = findWindow(name); w && w->isVisible())
            windows << w;
    return windows;
}

template <class W> QList<W*> Monkey::controls(QWidget* window) const
{
    QList<W*> found;
    if (!window)
        return found;
    for (W* w : window->findChildren<W*>())
        if (w->isVisible() && w->isEnabled() && !isExcluded(w) && !qobject_cast<QMenuBar*>(w) &&
            !qobject_cast<QMenu*>(w))
            found << w;
    return found;
}

QString Monkey::text()
{
    // Numbers at and beyond the double range, words the number parsers of other languages
    // accept, digits of other scripts, and plain garbage.
    static const QStringList pieces =
        QString::fromUtf16(
            u"0|7|12|3.5|.|..|-|+|*|/|=|%|^|e|E+|D-3| |1e308|-1E+308|1.7976931348623157e308|"
            u"8.988465674311579e307|1.79769313486232E+308|4.9e-324|2.2250738585072014E-308|"
            u"1e-400|1e99999|inf|NaN|-nan|Infinity|0x1p3|1,5|\u0661\u0662\u0663|\uff15|\u00bd|"
            u"\u20ac|\u00df|\u65e5\u672c|\u00e9|Press Equals...|abc|!@#$")
            .split(u'|');
    QString t;
    const int parts = 1 + below(4);
    for (int i = 0; i < parts; ++i) {
        if (below(4) == 0)
            t += QString::number(m_random.generate64());
        else
            t += oneOf(pieces);
    }
    return t;
}

QString Monkey::click(QWidget* w)
{
    const QString what = QStringLiteral("click %1").arg(describe(w));
    QTest::mouseClick(w, Qt::LeftButton, Qt::NoModifier, w->rect().center());
    return what;
}

QString Monkey::type(QLineEdit* box)
{
    box->setFocus();
    if (below(6) == 0) {
        // Very long texts arrive the way a user would bring them: pasted.
        static const QStringList fills = {"9", "0", "1.", "x", "\u0663"};
        const QString fill = oneOf(fills);
        const QString pasted = fill.repeated(200 + below(20000));
        QGuiApplication::clipboard()->setText(pasted);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        return QStringLiteral("paste %1 x \"%2\" into %3")
            .arg(pasted.size() / fill.size())
            .arg(fill, describe(box));
    }
    const QString t = text();
    for (QChar c : t) {
        if (c.unicode() < 0x80)
            QTest::keyClick(box, char(c.unicode()));
        else // no key on the keyboard for it: a character from an input method
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    return QStringLiteral("type \"%1\" into %2").arg(t, describe(box));
}

QString Monkey::key(QWidget* target)
{
    struct Press {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* name;
    };
    static const Press presses[] = {
        {Qt::Key_Return, Qt::NoModifier, "Enter"},
        {Qt::Key_Enter, Qt::KeypadModifier, "keypad Enter"},
        {Qt::Key_Escape, Qt::NoModifier, "Escape"},
        {Qt::Key_C, Qt::ControlModifier, "Ctrl+C"},
        {Qt::Key_V, Qt::ControlModifier, "Ctrl+V"},
        {Qt::Key_A, Qt::ControlModifier, "Ctrl+A"},
        {Qt::Key_Backspace, Qt::NoModifier, "Backspace"},
        {Qt::Key_Space, Qt::NoModifier, "Space"},
        {Qt::Key_Tab, Qt::NoModifier, "Tab"},
        {Qt::Key_Left, Qt::NoModifier, "Left"},
        {Qt::Key_PageUp, Qt::NoModifier, "PageUp"},
    };
    const Press& p = presses[below(std::size(presses))];
    const QString what =
        QStringLiteral("key %1 to %2").arg(QLatin1String(p.name), describe(target));
    QTest::keyClick(target, p.key, p.modifiers);
    return what;
}

QString Monkey::trigger(QMainWindow* main, const char* name)
{
    auto* action = main->findChild<QAction*>(QLatin1String(name));
    if (!action)
        return QStringLiteral("no menu command %1").arg(QLatin1String(name));
    action->trigger();
    return QStringLiteral("menu %1").arg(QLatin1String(name));
}

QString Monkey::tryOne()
{
    const QList<QWidget*> windows = visibleWindows();
    auto* main = qobject_cast<QMainWindow*>(findWindow("FrmCorvalo"));
    QWidget* shownMain = main && main->isVisible() ? main : nullptr;
    QWidget* window = windows.isEmpty() ? nullptr : oneOf(windows);
    const int roll = below(100);

    if (roll < 30 && shownMain) { // the keypad and "?"
        if (const auto keys = controls<QPushButton>(main->centralWidget()); !keys.isEmpty())
            return click(oneOf(keys));
    } else if (roll < 45 && window) { // any button: strip, About's OK, skins, Play
        if (const auto buttons = controls<QAbstractButton>(window); !buttons.isEmpty()) {
            QAbstractButton* button = oneOf(buttons);
            // Play is only ever pressed with a name that is not a file: a warning, no sound.
            if (button->objectName() == QLatin1String("CmdPlay"))
                if (auto* name = window->findChild<QLineEdit*>(QStringLiteral("txtrun"));
                    name && QFileInfo(name->text()).isFile())
                    name->clear();
            return click(button);
        }
    } else if (roll < 50 && window) { // any other spot: labels, pictures, the window itself
        QList<QWidget*> spots = controls<QWidget>(window);
        spots << window;
        return click(oneOf(spots));
    } else if (roll < 66 && window) {
        if (const auto boxes = controls<QLineEdit>(window); !boxes.isEmpty())
            return type(oneOf(boxes));
    } else if (roll < 76 && window) {
        QWidget* target = window->focusWidget();
        if (!target || isExcluded(target) || !target->isVisible())
            target = window;
        return key(target);
    } else if (roll < 84 && main) {
        static const char* const commands[] = {"MnuAbout", "mnuMusic", "MnuSkins", "MnuAbout",
                                               "mnuMusic", "MnuSkins", "MnuExit"};
        return trigger(main, commands[below(std::size(commands))]);
    } else if (roll < 88 && window) {
        const QString what = QStringLiteral("close %1").arg(describe(window));
        window->close();
        return what;
    } else if (roll < 95) { // skins, opening the chooser first if need be
        QWidget* skins = findWindow("Skins");
        if (skins && skins->isVisible())
            if (const auto buttons = controls<QPushButton>(skins); !buttons.isEmpty())
                return click(oneOf(buttons));
        if (main)
            return trigger(main, "MnuSkins");
    } else if (shownMain) { // the player strip's own menu and sliders
        QWidget* strip = main->findChild<QWidget*>(QStringLiteral("WindowsMediaPlayer1"));
        if (strip && below(2) == 0) {
            QList<QAction*> actions;
            for (QAction* a : strip->findChildren<QAction*>())
                if (!a->isSeparator() && a->isEnabled())
                    actions << a;
            if (!actions.isEmpty()) {
                QAction* a = oneOf(actions);
                a->trigger();
                return QStringLiteral("strip action %1").arg(a->text());
            }
        }
        if (const auto sliders = controls<QAbstractSlider>(strip); !sliders.isEmpty())
            return key(oneOf(sliders));
    }
    return {};
}

QString Monkey::act()
{
    for (int roll = 0; roll < 50; ++roll)
        if (QString what = tryOne(); !what.isEmpty())
            return what;
    return QStringLiteral("nothing to do");
}

} // namespace

class MonkeyTest : public QObject {
    Q_OBJECT

private:
    Answerer m_answerer;
    QStringList m_problems;
    int m_programEnds = 0;
    int m_restarts = 0;
    QPointer<QWidget> m_watchedMain;
    std::unique_ptr<WindowSet> m_windows;
    int m_boxesAtPress = 0;

    static void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::sendPostedEvents();
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

    void startProgram()
    {
        m_windows = testsupport::makeWindowSet();
        connect(m_windows.get(), &WindowSet::programEnd, this, [this] {
            ++m_programEnds;
            for (const char* name : windowClasses)
                if (QWidget* w = findWindow(name); w && w->isVisible())
                    m_openAtEnd << QLatin1String(name);
        });
        m_windows->start();
        settle();
    }

    void stopProgram()
    {
        m_windows.reset();
        settle();
    }

    // Every key that writes a number is followed at once, before anything else can type into
    // the box, by a look at what it wrote.
    void watchKeys()
    {
        QWidget* main = findWindow("FrmCorvalo");
        if (!main || main == m_watchedMain)
            return;
        m_watchedMain = main;
        for (auto it = resultKeys.begin(); it != resultKeys.end(); ++it) {
            auto* button = main->findChild<QPushButton*>(it.key());
            if (!button) {
                m_problems << QStringLiteral("no key %1").arg(it.key());
                continue;
            }
            connect(button, &QPushButton::pressed, this,
                    [this] { m_boxesAtPress = m_answerer.boxes; });
            connect(button, &QPushButton::clicked, this,
                    [this, main, name = it.key(), writes = it.value()] {
                        if (m_answerer.boxes != m_boxesAtPress)
                            return; // a fault: the key stopped and wrote nothing
                        checkResult(main, name, writes);
                    });
        }
    }

    void checkResult(QWidget* main, const QString& key, Writes writes)
    {
        auto* one = main->findChild<QLineEdit*>(QStringLiteral("TxtDisplay"));
        auto* two = main->findChild<QLineEdit*>(QStringLiteral("txtdisplay2"));
        const QString shown =
            (writes == Writes::Display2 || two->isVisibleTo(main) ? two : one)->text();
        const std::optional<double> value = corvalo::parseLeadingNumber(shown.toStdString());
        if (holdsInfOrNan(shown) || !value || !std::isfinite(*value))
            m_problems << QStringLiteral("%1 wrote \"%2\", which does not read back as a number")
                              .arg(key, shown);
    }

    void checkWindows(bool exitChosen)
    {
        m_problems << m_answerer.problems;
        m_answerer.problems.clear();

        QHash<QString, QWidget*> windows;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            const QString name = QString::fromLatin1(w->metaObject()->className());
            if (std::find(std::begin(windowClasses), std::end(windowClasses), name) !=
                std::end(windowClasses)) {
                if (windows.contains(name))
                    m_problems << QStringLiteral("two windows of %1").arg(name);
                windows.insert(name, w);
            } else if (w->isVisible() && name != QLatin1String("QTipLabel")) {
                m_problems << QStringLiteral("stray window %1 left on the screen").arg(name);
            }
        }
        auto same = [&](const char* name, QWidget* fromSet) {
            if (windows.value(QLatin1String(name)) != fromSet)
                m_problems << QStringLiteral("the window set does not know the %1 on the screen")
                                  .arg(QLatin1String(name));
        };
        // Asking the set for a window that exists builds nothing.
        const std::pair<const char*, std::function<QWidget*()>> inSet[] = {
            {"FrmCorvalo", [this] { return m_windows->mainWindow(); }},
            {"frmSplash", [this] { return m_windows->splash(); }},
            {"FrmExp1", [this] { return m_windows->helpExample(); }},
            {"FrmAbout", [this] { return m_windows->about(); }},
            {"frmmusic", [this] { return m_windows->musicManager(); }},
            {"Skins", [this] { return m_windows->skinChooser(); }},
        };
        for (const auto& [name, fromSet] : inSet)
            if (windows.contains(QLatin1String(name)))
                same(name, fromSet());

        if (QWidget* main = windows.value("FrmCorvalo")) {
            auto* one = main->findChild<QLineEdit*>(QStringLiteral("TxtDisplay"));
            auto* two = main->findChild<QLineEdit*>(QStringLiteral("txtdisplay2"));
            if (!one || !two || one->isVisibleTo(main) == two->isVisibleTo(main))
                m_problems << QStringLiteral("not exactly one display box visible");
        }

        bool anyShown = false;
        for (QWidget* w : std::as_const(windows))
            anyShown = anyShown || w->isVisible();
        if (!anyShown && m_programEnds == 0)
            m_problems << QStringLiteral("no window on the screen, yet the program goes on");
        if (exitChosen && m_programEnds == 0)
            m_problems << QStringLiteral("\"Exit\" did not end the program");
        m_openAtEnd.removeDuplicates();
        if (!exitChosen && !m_openAtEnd.isEmpty())
            m_problems << QStringLiteral("the program ended with %1 on the screen")
                              .arg(m_openAtEnd.join(QStringLiteral(", ")));
    }

private slots:
    void initTestCase()
    {
        testsupport::prepareApplication();
        g_nextHandler = qInstallMessageHandler(dropPlatformChatter);
        qApp->installEventFilter(&m_answerer);
    }

    void cleanupTestCase()
    {
        qInstallMessageHandler(g_nextHandler);
        stopProgram();
    }

    void randomActions()
    {
        const quint64 seed = envNumber("CORVALO_MONKEY_SEED", defaultSeed);
        const int count = int(envNumber("CORVALO_MONKEY_ACTIONS", defaultActions));
        qInfo("monkey: seed %llu, %d actions (replay with CORVALO_MONKEY_SEED=%llu)", seed, count,
              seed);

        const bool verbose = qEnvironmentVariableIsSet("CORVALO_MONKEY_VERBOSE");
        Monkey monkey(seed);
        std::deque<QString> tail;
        QMap<QString, int> kinds;
        QElapsedTimer clock;
        clock.start();
        startProgram();
        for (int i = 0; i < count; ++i) {
            watchKeys();
            m_programEnds = 0;
            m_openAtEnd.clear();
            const QString what = monkey.act();
            const bool exitChosen = what == QLatin1String("menu MnuExit");
            if (verbose)
                std::fprintf(stderr, "#%d %s\n", i + 1, qPrintable(what));
            ++kinds[what.section(u' ', 0, 0)];
            tail.push_back(what);
            if (tail.size() > tailLength)
                tail.pop_front();
            settle();
            watchKeys();
            checkWindows(exitChosen);

            if (!m_problems.isEmpty()) {
                QString log;
                for (std::size_t k = 0; k < tail.size(); ++k)
                    log +=
                        QStringLiteral("\n  #%1 %2").arg(i + 2 - int(tail.size() - k)).arg(tail[k]);
                QFAIL(qPrintable(
                    QStringLiteral("seed %1, action #%2 (%3): %4\nlast actions:%5\nreplay with "
                                   "CORVALO_MONKEY_SEED=%1 CORVALO_MONKEY_ACTIONS=%2")
                        .arg(seed)
                        .arg(i + 1)
                        .arg(what, m_problems.join(QStringLiteral("; ")), log)));
            }
            if (m_programEnds > 0) { // the program is over: start it again, as a user would
                stopProgram();
                startProgram();
                ++m_restarts;
            }
        }
        QStringList mix;
        for (auto it = kinds.cbegin(); it != kinds.cend(); ++it)
            mix << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
        qInfo("monkey: %d actions in %lld ms (%s), %d message boxes answered, %d program restarts",
              count, clock.elapsed(), qPrintable(mix.join(QStringLiteral(", "))), m_answerer.boxes,
              m_restarts);
    }

private:
    QStringList m_openAtEnd; // windows still on the screen when the program's end was announced
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    MonkeyTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "monkey_test.moc"

// The store window as the store buttons reach it: the real store program (corvalo-store, drawn
// off screen) serving a page of the test's own, and stand-ins for it that misbehave.
#include "testsupport.h"

#include "app/windowset.h"
#include "music/musicmanager.h"
#include "splash/splashwindow.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/wait.h>

namespace {

constexpr char pageTitle[] = "Local test store";

// Serves the store page on 127.0.0.1 and counts the requests for it.
class LocalStore : public QObject {
public:
    LocalStore()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { answer(socket); });
        });
    }
    bool listen() { return m_server.listen(QHostAddress::LocalHost); }
    QUrl url() const
    {
        return QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(m_server.serverPort()));
    }
    int pageRequests() const { return m_pageRequests; }

private:
    void answer(QTcpSocket* socket)
    {
        QByteArray& request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        const bool page = request.startsWith("GET / ");
        m_pending.remove(socket);
        m_pageRequests += page;
        const QByteArray body = page ? QByteArray("<title>") + pageTitle + "</title>Gifts" : "none";
        socket->write(QByteArray(page ? "HTTP/1.1 200 OK" : "HTTP/1.1 404 Not Found") +
                      "\r\nContent-Type: text/html\r\nCache-Control: no-store\r\n"
                      "Connection: close\r\nContent-Length: " +
                      QByteArray::number(body.size()) + "\r\n\r\n" + body);
        socket->disconnectFromHost();
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    QTcpServer m_server;
    QHash<QTcpSocket*, QByteArray> m_pending;
    int m_pageRequests = 0;
};

bool processHasLoaded(const char* library)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

// The web engine can take a while to start under the sanitizers.
constexpr int storeTimeout = 60000;

} // namespace

class StoreTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase() { m_windows.reset(); }
    void init() // a test before may have hidden them
    {
        store().setStartTimeout(std::chrono::milliseconds(storeTimeout));
        WindowSet::show(m_windows->mainWindow());
        WindowSet::show(m_windows->splash());
    }
    void openAndClose();
    void openTwiceGivesOneWindow();
    void killedStoreComesBack();
    void misbehavingStore_data();
    void misbehavingStore();
    void waitsItsTurn_data();
    void waitsItsTurn();

private:
    StoreLink& store() { return m_windows->store(); }
    void pressSplashButton()
    {
        QTest::mouseClick(m_windows->splash()->storeButton(), Qt::LeftButton);
    }
    void press(QWidget* window, const char* button)
    {
        QTest::mouseClick(window->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
    }

    // The store programs' folders not removed yet.
    QStringList leftFolders() const
    {
        return QDir(m_runtime.path()).entryList({"corvalo-store-*"}, QDir::Dirs | QDir::Hidden);
    }

    QTemporaryDir m_runtime;
    std::unique_ptr<WindowSet> m_windows;
    LocalStore m_store;
    testsupport::MessageBoxCatcher m_boxes;
};

void StoreTest::initTestCase()
{
    testsupport::prepareApplication();
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
    m_windows = testsupport::makeWindowSet();
    QVERIFY(m_store.listen());
    m_windows->setStoreUrl(m_store.url());
    m_windows->start();
    m_windows->mainWindow()->display()->setText(QStringLiteral("42"));
}

// Only the store window on the screen keeps the program running; closing it ends the store
// program and the program with it, and nothing is left under the home folder nor of its own.
void StoreTest::openAndClose()
{
    QSignalSpy programEnd(m_windows.get(), &WindowSet::programEnd);
    const int before = m_store.pageRequests();
    pressSplashButton();
    QVERIFY(QApplication::overrideCursor() &&
            QApplication::overrideCursor()->shape() == Qt::BusyCursor);
    QTRY_VERIFY_WITH_TIMEOUT(store().isShown(), storeTimeout);
    QVERIFY(!QApplication::overrideCursor());
    m_windows->splash()->hide();
    m_windows->mainWindow()->hide();
    QTRY_COMPARE_WITH_TIMEOUT(m_store.pageRequests(), before + 1, storeTimeout);
    QVERIFY(!processHasLoaded("libQt6WebEngineCore"));
    QVERIFY(programEnd.isEmpty());

    store().close();
    QVERIFY(programEnd.wait(storeTimeout));
    QCOMPARE(store().processId(), 0);
    QDirIterator written(QDir::homePath(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                         QDirIterator::Subdirectories);
    QVERIFY2(!written.hasNext(), qPrintable(written.next()));
    QTRY_COMPARE(leftFolders(), QStringList());

    // Pressed again at once, while the closed store program may still be on its way out.
    pressSplashButton();
    QTRY_VERIFY_WITH_TIMEOUT(store().isShown(), storeTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(m_store.pageRequests(), before + 2, storeTimeout);
    QVERIFY(m_boxes.seen().empty());
}

// The music manager's button finds the window the splash's button opened, which loads the page
// again.
void StoreTest::openTwiceGivesOneWindow()
{
    const int before = m_store.pageRequests();
    pressSplashButton();
    QTRY_VERIFY_WITH_TIMEOUT(store().isShown(), storeTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(m_store.pageRequests(), before + 1, storeTimeout);
    const qint64 program = store().processId();
    frmmusic* music = m_windows->musicManager();
    WindowSet::show(music);
    press(music, "Command1");
    QTRY_COMPARE_WITH_TIMEOUT(m_store.pageRequests(), before + 2, storeTimeout);
    QCOMPARE(store().processId(), program);
    QVERIFY(store().isShown());
    QVERIFY(music->isVisible() && m_windows->splash()->isVisible());
    music->close();
}

void StoreTest::killedStoreComesBack()
{
    pressSplashButton();
    QTRY_VERIFY_WITH_TIMEOUT(store().isShown(), storeTimeout);
    const qint64 killed = store().processId();
    QVERIFY(::kill(pid_t(killed), SIGKILL) == 0);
    QTRY_COMPARE(store().processId(), 0);
    QTRY_COMPARE(leftFolders(), QStringList());

    FrmCorvalo* calculator = m_windows->mainWindow();
    for (const char* key : {"CmdCancel", "CmdFive", "cmdAdd", "CmdSeven", "CmdEquals"})
        press(calculator, key);
    QCOMPARE(calculator->display2()->text(), QStringLiteral("12"));
    QVERIFY(m_boxes.seen().empty()); // the window had come: its end needs no word

    const int before = m_store.pageRequests();
    pressSplashButton();
    QTRY_VERIFY_WITH_TIMEOUT(store().isShown(), storeTimeout);
    QVERIFY(store().processId() != killed);
    QTRY_COMPARE_WITH_TIMEOUT(m_store.pageRequests(), before + 1, storeTimeout);
}

// Stand-ins for the store program (empty: no file at all), and the words the "Error" box uses.
void StoreTest::misbehavingStore_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<bool>("executable");
    QTest::addColumn<QString>("says");
    const QByteArray sleeps = "; exec sleep 60";
    QTest::newRow("missing") << QByteArray() << false << "not found";
    QTest::newRow("not executable") << QByteArray("exit 0") << false << "Permission denied";
    QTest::newRow("garbled line") << "echo 'opened 1x'" + sleeps << true
                                  << "\"opened 1x\" is not understood";
    QTest::newRow("over-long line")
        << "head -c 20000 /dev/zero | tr '\\0' x" + sleeps << true << "longer than";
    QTest::newRow("early end of the stream") << QByteArray("exit 3") << true << "exit code 3";
    QTest::newRow("crash") << QByteArray("kill -SEGV $$") << true << "crashed";
    QTest::newRow("killed, its folder written")
        << QByteArray("touch \"$1/cache\"; kill -KILL $$") << true << "crashed";
    QTest::newRow("never answering") << QByteArray("exec sleep 60") << true << "within 2 seconds";
    QTest::newRow("500 failures, one box")
        << "yes 'failed No room' | head -n 500" + sleeps << true << "No room";
    QTest::newRow("links in its folder")
        << QByteArray("ln -s OUT \"$1\"; ln -s OUT/keep \"$1\"; exit 3") << true << "exit code 3";
    QTest::newRow("its folder swapped for a link")
        << QByteArray("rm -r \"$1\"; ln -s OUT \"$1\"; exit 3") << true << "exit code 3";
    QTest::newRow("deaf to its input, it goes with the calculator")
        << QByteArray("trap '' TERM; echo opened; while :; do sleep 1; done") << true << "";
}

// Each says why in an "Error" box and leaves the calculator as it was.
void StoreTest::misbehavingStore()
{
    QFETCH(QByteArray, script);
    QFETCH(bool, executable);
    QFETCH(QString, says);
    store().close();
    QTRY_COMPARE_WITH_TIMEOUT(store().processId(), 0, storeTimeout);
    store().setStartTimeout(std::chrono::seconds(2));
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("out") &&
            QFile(dir.filePath("out/keep")).open(QFile::WriteOnly));
    script.replace("OUT", QFile::encodeName(dir.filePath("out")));
    QFile stand(dir.filePath(QStringLiteral("corvalo-store")));
    if (!script.isEmpty()) {
        QVERIFY(stand.open(QIODevice::WriteOnly) && stand.write("#!/bin/sh\n" + script + "\n"));
        stand.close();
        QVERIFY(!executable || stand.setPermissions(stand.permissions() | QFile::ExeOwner));
    }
    if (says.isEmpty()) {
        std::unique_ptr<WindowSet> calculator = testsupport::makeWindowSet();
        calculator->plugins().setFile(QStringLiteral("corvalo-store"), stand.fileName());
        calculator->openStore();
        QTRY_VERIFY(calculator->store().isShown());
        const auto program = pid_t(calculator->store().processId());
        calculator.reset();
        bool reaped = false;
        QTRY_VERIFY_WITH_TIMEOUT(reaped |= waitpid(program, nullptr, WNOHANG) == program, 10000);
        QTRY_COMPARE(leftFolders(), QStringList());
        return;
    }
    m_windows->plugins().setFile(QStringLiteral("corvalo-store"), stand.fileName());
    m_boxes.clear();
    pressSplashButton();
    QTRY_COMPARE(m_boxes.seen().size(), std::size_t(1));
    m_windows->plugins().setFile(QStringLiteral("corvalo-store"), QString());

    const auto& box = m_boxes.seen().front();
    QCOMPARE(box.title, QStringLiteral("Error"));
    QVERIFY2(box.text.contains(says), qPrintable(box.text));
    QTRY_VERIFY(!store().isOnScreen());
    QTRY_COMPARE(store().processId(), 0);
    QTRY_COMPARE(leftFolders(), QStringList());
    // Nothing else was taken for its folder.
    QVERIFY(QFileInfo::exists(QDir::currentPath()) && QFileInfo::exists(dir.filePath("out/keep")));
    QCOMPARE(m_boxes.seen().size(), std::size_t(1));
    QVERIFY(m_windows->mainWindow()->isVisible() && m_windows->splash()->isVisible());
    QCOMPARE(m_windows->mainWindow()->display2()->text(), QStringLiteral("12"));
}

// The store window takes the keyboard only if the user did nothing else while it came: what a
// stand-in for the store program, which answers when the test says, hears after that answer.
void StoreTest::waitsItsTurn_data()
{
    QTest::addColumn<bool>("clickedOn");
    QTest::addColumn<QString>("heard");
    QTest::newRow("the user waits") << false << "front\nclose\n";
    QTest::newRow("the user clicks the calculator") << true << "close\n";
}

void StoreTest::waitsItsTurn()
{
    QFETCH(bool, clickedOn);
    QFETCH(QString, heard);
    store().close();
    QTRY_COMPARE_WITH_TIMEOUT(store().processId(), 0, storeTimeout);
    QTemporaryDir dir;
    const QString go = dir.filePath(QStringLiteral("go"));
    QFile log(dir.filePath(QStringLiteral("heard")));
    QFile stand(dir.filePath(QStringLiteral("corvalo-store")));
    QVERIFY(
        stand.open(QIODevice::WriteOnly) &&
        stand.write(QStringLiteral("#!/bin/sh\nread show\nuntil [ -e '%1' ]; do sleep 0.05; done\n"
                                   "echo opened\nwhile read line; do echo \"$line\" >>'%2'; "
                                   "[ \"$line\" = close ] && exit; done\n")
                        .arg(go, log.fileName())
                        .toUtf8()));
    stand.close();
    QVERIFY(stand.setPermissions(stand.permissions() | QFile::ExeOwner));
    m_windows->plugins().setFile(QStringLiteral("corvalo-store"), stand.fileName());
    QCoreApplication::processEvents(); // activations still queued from the rows before
    QVERIFY(QTest::qWaitForWindowActive(m_windows->splash())); // as the click would make it
    pressSplashButton();
    if (clickedOn)
        QTest::mouseClick(m_windows->mainWindow()->display(), Qt::LeftButton);
    QVERIFY(QFile(go).open(QIODevice::WriteOnly));
    QTRY_VERIFY_WITH_TIMEOUT(store().isShown(), storeTimeout);
    store().close();
    QTRY_COMPARE_WITH_TIMEOUT(store().processId(), 0, storeTimeout);
    m_windows->plugins().setFile(QStringLiteral("corvalo-store"), QString());
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(log.readAll()), heard);
}

QTEST_MAIN(StoreTest)
#include "store_test.moc"

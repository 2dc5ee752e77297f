#include "testsupport.h"

#include "app/plugins.h"
#include "app/store.h"
#include "app/windowset.h"
#include "look/appearance.h"
#include "look/product.h"
#include "splash/splashwindow.h"
#include "windows/mainwindow.h"

#include <QLineEdit>
#include <QOpenGLContext>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

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

// Collects what is written to standard error until finish().
class StderrCapture {
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = dup(STDERR_FILENO);
        dup2(m_file.handle(), STDERR_FILENO);
    }
    QByteArray finish()
    {
        std::fflush(stderr);
        dup2(m_saved, STDERR_FILENO);
        close(m_saved);
        m_file.seek(0);
        return m_file.readAll();
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
};

void discardClosedWindows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QWidget* webView(QWidget* store)
{
    return store->findChild<QWidget*>(QStringLiteral("WebBrowser1"));
}

// Whether the store's web view finishes its next load, and with which outcome.
bool loads(QWidget* store, bool ok = true)
{
    QSignalSpy finished(webView(store), SIGNAL(loadFinished(bool)));
    return finished.wait(60000) && finished.first().first().toBool() == ok;
}

} // namespace

class StoreTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void unloadableModuleIsReported_data();
    void unloadableModuleIsReported();
    void storeButtonLoadsTheWebEngine();
    void everyClickNavigatesAgain_data();
    void everyClickNavigatesAgain();
    void closedStoreComesBackNew();
    void navigationProblems_data();
    void navigationProblems();

private:
    void clickSplashStoreButton()
    {
        frmSplash* splash = m_windows->splash();
        WindowSet::show(splash);
        QTest::mouseClick(splash->storeButton(), Qt::LeftButton);
    }
    QWidget* openStore() const
    {
        const QWidgetList open = testsupport::topLevels(QStringLiteral("Form1"));
        return open.isEmpty() ? nullptr : open.first();
    }

    std::unique_ptr<WindowSet> m_windows;
    LocalStore m_store;
    testsupport::MessageBoxCatcher m_boxes;
    bool m_sandboxLeftToProgram = false;
    std::optional<StderrCapture> m_stderr; // until the web engine has started
};

void StoreTest::initTestCase()
{
    testsupport::prepareApplication();
    m_windows = testsupport::makeWindowSet();
    QVERIFY(m_store.listen());
    m_windows->setStoreUrl(m_store.url());
    // As root, the program's own rule is to decide about Chromium's sandbox.
    m_sandboxLeftToProgram = geteuid() == 0;
    if (m_sandboxLeftToProgram)
        qunsetenv("QTWEBENGINE_DISABLE_SANDBOX");
    QVERIFY(!processHasLoaded("libQt6WebEngineCore"));
    m_stderr.emplace();
    WindowSet::show(m_windows->mainWindow());
    m_windows->mainWindow()->display()->setText(QStringLiteral("42"));
}

void StoreTest::cleanupTestCase()
{
    if (m_stderr)
        m_stderr->finish();
    m_windows.reset();
    discardClosedWindows();
}

void StoreTest::unloadableModuleIsReported_data()
{
    QTest::addColumn<QByteArray>("contents"); // empty: no such file
    QTest::newRow("missing file") << QByteArray();
    QTest::newRow("not a library") << QByteArray("just some text\n");
}

// Says why in a message box titled "Error" and changes nothing else.
void StoreTest::unloadableModuleIsReported()
{
    QFETCH(QByteArray, contents);
    if (QWidget* open = openStore()) {
        open->close();
        discardClosedWindows();
    }
    const bool engineLoaded = processHasLoaded("libQt6WebEngineCore");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("libstore.so"));
    QFile file(path);
    if (!contents.isEmpty())
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(contents) && file.flush());
    m_windows->plugins().setFile(QStringLiteral("corvalo_store"), path);
    m_boxes.clear();

    clickSplashStoreButton();
    m_windows->plugins().setFile(QStringLiteral("corvalo_store"), QString());

    QCOMPARE(m_boxes.seen().size(), std::size_t(1));
    const auto& box = m_boxes.seen().front();
    QCOMPARE(box.title, QStringLiteral("Error"));
    QVERIFY2(box.text.contains(QStringLiteral("module")) && box.text.contains(path),
             qPrintable(box.text));
    QVERIFY(!openStore());
    QVERIFY(m_windows->splash()->isVisible());
    QCOMPARE(m_windows->mainWindow()->display()->text(), QStringLiteral("42"));
    QCOMPARE(processHasLoaded("libQt6WebEngineCore"), engineLoaded);
}

void StoreTest::storeButtonLoadsTheWebEngine()
{
    m_boxes.clear();
    const int before = m_store.pageRequests();
    clickSplashStoreButton();
    QWidget* store = openStore();
    QVERIFY(store);
    const bool loaded = loads(store);
    clickSplashStoreButton();
    const bool reloaded = loads(store);
    QVERIFY(m_stderr);
    const QByteArray written = m_stderr->finish();
    m_stderr.reset();
    QVERIFY(loaded && reloaded);
    // The web engine found the GL context it shares with Qt, which the program made with a
    // private Qt call just before loading it.
    QVERIFY(QOpenGLContext::globalShareContext());
    QVERIFY2(!written.contains("initialized from a plugin"), written.constData());

    QVERIFY(processHasLoaded("libcorvalo_store"));
    QVERIFY(processHasLoaded("libQt6WebEngineCore"));
    QCOMPARE(int(written.count("without Chromium's sandbox")), m_sandboxLeftToProgram ? 1 : 0);

    QCOMPARE(store->objectName(), QStringLiteral("Form1"));
    QCOMPARE(store->windowTitle(), QLatin1String(corvalo::product::storeName));
    QVERIFY(store->windowIcon().isNull());
    QCOMPARE(store->size(), corvalo::twipsRect(0, 0, 9585, 8400).size());
    QVERIFY(store->isVisible());
    QWidget* view = webView(store);
    QCOMPARE(view->geometry(), corvalo::twipsRect(0, 0, 15135, 11055));
    QCOMPARE(view->property("url").toUrl(), m_store.url());
    QCOMPARE(view->property("title").toString(), QLatin1String(pageTitle));
    QCOMPARE(m_store.pageRequests(), before + 2);
    QVERIFY(m_windows->splash()->isVisible());
    QVERIFY(m_boxes.seen().empty());
}

void StoreTest::everyClickNavigatesAgain_data()
{
    QTest::addColumn<bool>("fromSplash"); // else the store action the music manager's button uses
    QTest::newRow("splash store button") << true;
    QTest::newRow("shared store action") << false;
}

// One store window, brought forward and sent back to the store page on every click.
void StoreTest::everyClickNavigatesAgain()
{
    QFETCH(bool, fromSplash);
    QPointer<QWidget> store = m_windows->store();
    QWidget* view = webView(store);
    view->setProperty("url", QUrl(QStringLiteral("about:blank")));
    QVERIFY(loads(store));
    store->showMinimized();
    const int before = m_store.pageRequests();

    if (fromSplash)
        clickSplashStoreButton();
    else
        m_windows->openStore();
    QVERIFY(loads(store));
    QCOMPARE(openStore(), store.data());
    QCOMPARE(webView(store), view);
    QVERIFY(store->isVisible() && !store->isMinimized());
    QCOMPARE(m_store.pageRequests(), before + 1);
    QCOMPARE(view->property("title").toString(), QLatin1String(pageTitle));
}

void StoreTest::closedStoreComesBackNew()
{
    QPointer<QWidget> store = m_windows->store();
    QPointer<QWidget> view = webView(store);
    store->close();
    discardClosedWindows();
    QVERIFY(!store && !view);

    const int before = m_store.pageRequests();
    clickSplashStoreButton();
    QWidget* fresh = openStore();
    QVERIFY(fresh && fresh->isVisible());
    QVERIFY(loads(fresh));
    QCOMPARE(m_store.pageRequests(), before + 1);
}

void StoreTest::navigationProblems_data()
{
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<bool>("reported");
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const QUrl unreachable(QStringLiteral("http://127.0.0.1:%1/").arg(closed.serverPort()));
    closed.close();
    QTest::newRow("unreachable page") << unreachable << false;
    QTest::newRow("malformed address") << QUrl(QStringLiteral("http://[::1")) << true;
    QTest::newRow("relative address") << QUrl(QStringLiteral("store/index.html")) << true;
}

// An unreachable page is the web view's to show; a bad address is reported. Either way the
// calculator and the open windows stay as they were.
void StoreTest::navigationProblems()
{
    QFETCH(QUrl, url);
    QFETCH(bool, reported);
    QPointer<QWidget> store = m_windows->store();
    m_boxes.clear();

    m_windows->setStoreUrl(url);
    clickSplashStoreButton();
    const bool failedToLoad = reported || loads(store, false);
    m_windows->setStoreUrl(m_store.url());

    QVERIFY(failedToLoad);
    QCOMPARE(m_boxes.seen().size(), std::size_t(reported ? 1 : 0));
    if (reported)
        QCOMPARE(m_boxes.seen().front().title, QStringLiteral("Error"));
    QCOMPARE(openStore(), store.data());
    QVERIFY(store->isVisible() && m_windows->splash()->isVisible());
    QCOMPARE(m_windows->mainWindow()->display()->text(), QStringLiteral("42"));
}

QTEST_MAIN(StoreTest)
#include "store_test.moc"

#include "testsupport.h"

#include "store/storeprogram.h"
#include "store/storewindow.h"

#include <QScreen>
#include <QSignalSpy>
#include <QtTest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

#include <fcntl.h>
#include <unistd.h>

namespace {

// As the store program's main() does, before the application exists.
const bool g_sharedContexts = [] {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    return true;
}();

// A store program on two pipes, as the calculator starts it.
class Piped {
public:
    Piped()
    {
        if (pipe(m_in) != 0 || pipe(m_out) != 0)
            qFatal("no pipes");
        fcntl(m_out[0], F_SETFL, O_NONBLOCK);
        program = std::make_unique<StoreProgram>(m_in[0], m_out[1]);
    }
    ~Piped()
    {
        program.reset();
        for (int fd : {m_in[0], m_in[1], m_out[0], m_out[1]})
            if (fd >= 0)
                close(fd);
    }
    void send(const QByteArray& bytes)
    {
        QVERIFY(write(m_in[1], bytes.data(), bytes.size()) == bytes.size());
    }
    void closeInput() { close(std::exchange(m_in[1], -1)); }
    // Everything answered so far.
    const QByteArray& answers()
    {
        char bytes[4096];
        for (ssize_t n; (n = read(m_out[0], bytes, sizeof bytes)) > 0;)
            m_answers.append(bytes, n);
        return m_answers;
    }

    std::unique_ptr<StoreProgram> program;

private:
    int m_in[2] = {-1, -1};
    int m_out[2] = {-1, -1};
    QByteArray m_answers;
};

} // namespace

class StoreProgramTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::prepareApplication(); }

    void windowAsDesigned()
    {
        Piped store;
        store.send("show about:blank\n");
        QTRY_VERIFY(store.answers().startsWith("opened"));
        const QWidgetList shown = testsupport::topLevels(QStringLiteral("Form1"));
        QCOMPARE(shown.size(), 1);
        auto* window = qobject_cast<Form1*>(shown.first());
        QVERIFY(window && window->isVisible());
        QVERIFY(window->screen()->availableGeometry().contains(window->frameGeometry()));
        QCOMPARE(store.answers(), QByteArray("opened\n"));
        QVERIFY(window->windowIcon().isNull());
        QWebEngineView* view = window->webView();
        QVERIFY(!view->accessibleName().isEmpty());
        QVERIFY(view->page()->profile()->isOffTheRecord());
        QTRY_COMPARE(view->url(), QUrl(QStringLiteral("about:blank")));
    }

    // What the store program answers (a pattern of all its lines) and whether it is done.
    void requests_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QString>("answers");
        QTest::addColumn<bool>("ends");
        QTest::newRow("garbled request")
            << QByteArray("bogus\n") << "failed The message \"bogus\" is not understood.\n"
            << true;
        QTest::newRow("over-long request") << "show http://x/" + QByteArray(20000, 'a') + "\n"
                                           << "failed A message is longer than 16384 bytes.\n"
                                           << true;
        QTest::newRow("relative address") << QByteArray("show store/index.html\n")
                                          << "failed The store page cannot be opened: "
                                             "\"store/index.html\" is not a valid web address.\n"
                                          << true;
        QTest::newRow("an answer for a request")
            << QByteArray("opened\n") << "failed The store program takes requests, not answers.\n"
            << true;
        QTest::newRow("closed pipe") << QByteArray() << "" << true;
        QTest::newRow("shown twice, one window")
            << QByteArray("show about:blank\nshow about:blank\n") << "opened\nopened\n"
            << false;
        QTest::newRow("shown, then to the front")
            << QByteArray("show about:blank\nfront\n") << "opened\n"
            << false;
        QTest::newRow("shown, then closed")
            << QByteArray("show about:blank\nclose\n") << "opened\nclosed\n"
            << true;
    }

    void requests()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QString, answers);
        QFETCH(bool, ends);
        Piped store;
        QSignalSpy finished(store.program.get(), &StoreProgram::finished);
        if (sent.isEmpty())
            store.closeInput();
        else
            store.send(sent);
        const QRegularExpression pattern(QRegularExpression::anchoredPattern(answers));
        QTRY_VERIFY2(pattern.match(QString::fromUtf8(store.answers())).hasMatch(),
                     store.answers().constData());
        if (ends) {
            QTRY_COMPARE(finished.size(), 1);
        } else { // still there: it answers what comes next
            const qsizetype before = store.answers().size();
            store.send("show about:blank\n");
            QTRY_COMPARE(store.answers().mid(before), QByteArray("opened\n"));
            QCOMPARE(finished.size(), 0);
        }
        QCOMPARE(testsupport::topLevels(QStringLiteral("Form1")).size(), ends ? 0 : 1);
    }
};

QTEST_MAIN(StoreProgramTest)
#include "storeprogram_test.moc"

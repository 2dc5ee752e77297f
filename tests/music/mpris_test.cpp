#include "app/windowset.h"
#include "fakemedia.h"
#include "music/musicplayer.h"
#include "music/playerstrip.h"
#include "soundfiles.h"
#include "testsupport.h"
#include "windows/aboutbox.h"
#include "windows/mainwindow.h"

#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QMessageBox>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using State = MusicPlayer::State;

// The desktop's media controls, as Debian's playerctl (and dbus-send for what it lacks) drive
// them over a session bus of the test's own, while the window set plays on the fake media stack.
class MprisTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    testsupport::FakeMedia m_media;
    std::unique_ptr<WindowSet> m_windows;
    std::unique_ptr<QSignalSpy> m_ends;
    QProcess m_follower; // what a desktop widget hears, without asking
    QString m_heard;

    static FrmCorvalo* mainWindow()
    {
        const QWidgetList mains = testsupport::topLevels(QStringLiteral("FrmCorvalo"));
        return mains.isEmpty() ? nullptr : static_cast<FrmCorvalo*>(mains.first());
    }

    // A client runs to its end while the test answers its calls.
    static QString run(const QString& command)
    {
        QProcess client;
        client.setProcessChannelMode(QProcess::MergedChannels);
        QStringList words = command.split(u' ');
        client.start(words.takeFirst(), words);
        if (client.state() != QProcess::NotRunning)
            QSignalSpy(&client, &QProcess::finished).wait(20000);
        return QString::fromUtf8(client.readAll()).trimmed();
    }

    // "COUNT URI" asks OpenUri that often through the bus, %1 the call's number and LONG a
    // megabyte, and returns the last call's error.
    static QString openUris(const QString& argument)
    {
        QList<QDBusPendingCall> calls;
        const QString uri = argument.section(u' ', 1).replace("LONG", QString(1 << 20, u'a'));
        for (int i = 0; i < argument.section(u' ', 0, 0).toInt(); ++i)
            calls << QDBusConnection::connectToBus(QDBusConnection::SessionBus, "caller")
                         .asyncCall(QDBusMessage::createMethodCall(
                                        "org.mpris.MediaPlayer2.corvalo", "/org/mpris/MediaPlayer2",
                                        "org.mpris.MediaPlayer2.Player", "OpenUri")
                                    << uri.arg(i));
        while (!calls.last().isFinished())
            QTest::qWait(10);
        return calls.last().error().name();
    }

    static QString errorBoxHeading()
    {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
                return box->text().section(u'\n', 0, 0);
        return {};
    }

private slots:
    void initTestCase()
    {
        testsupport::prepareApplication();
        QVERIFY(soundfiles::writeBytes(m_dir.filePath("a.wav"), ""));
        QVERIFY(soundfiles::writeBytes(m_dir.filePath("b.wav"), ""));
        QVERIFY(soundfiles::writeBytes(m_dir.filePath("tagged.wav"), ""));
        m_windows = testsupport::makeWindowSet();
        m_windows->setMediaBackendLoader([this](QString*) { return &m_media; });
        m_ends = std::make_unique<QSignalSpy>(m_windows.get(), &WindowSet::programEnd);
        WindowSet::show(m_windows->mainWindow());
        QVERIFY(QTest::qWaitForWindowActive(mainWindow()));
        m_follower.start(QStringLiteral("playerctl"), {"--follow", "status"});
        QVERIFY(m_follower.waitForStarted());
    }

    void cleanupTestCase() { m_follower.kill(), m_follower.waitForFinished(); }

    // In turn: a client's command (or "play FILE" from the music manager, "key KEY" on the main
    // window, "close" of the main window, "follow" for what the follower printed), what it
    // printed, and then the main window's player, whether one is shown, and how often the
    // program was told to end.
    void controls_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("output");
        QTest::addColumn<State>("state");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<int>("ends");

        const QString call =
            QStringLiteral("dbus-send --session --print-reply=literal --type=method_call "
                           "--dest=org.mpris.MediaPlayer2.corvalo "
                           "/org/mpris/MediaPlayer2 org.mpris.MediaPlayer2.");
        QTest::newRow("nothing on the bus before a tune")
            << "playerctl -l"
            << "No players found" << State::Empty << true << 0;
        QTest::newRow("a tune plays") << "play a.wav"
                                      << "" << State::Playing << true << 0;
        QTest::newRow("listed") << "playerctl -l"
                                << "corvalo" << State::Playing << true << 0;
        QTest::newRow("status") << "playerctl status"
                                << "Playing" << State::Playing << true << 0;
        QTest::newRow("play-pause pauses") << "playerctl play-pause"
                                           << "" << State::Paused << true << 0;
        QTest::newRow("paused") << "playerctl status"
                                << "Paused" << State::Paused << true << 0;
        QTest::newRow("seek") << "playerctl position 0.25"
                              << "" << State::Paused << true << 0;
        QTest::newRow("position") << "playerctl position"
                                  << "0.250000" << State::Paused << true << 0;
        QTest::newRow("play-pause resumes") << "playerctl play-pause"
                                            << "" << State::Playing << true << 0;
        QTest::newRow("title") << "playerctl metadata xesam:title"
                               << "a.wav" << State::Playing << true << 0;
        QTest::newRow("length") << "playerctl metadata mpris:length"
                                << "1000000" << State::Playing << true << 0;
        QTest::newRow("stop") << "playerctl stop"
                              << "" << State::Stopped << true << 0;
        QTest::newRow("stopped") << "playerctl status"
                                 << "Stopped" << State::Stopped << true << 0;
        QTest::newRow("media key Play/Pause") << "key MediaTogglePlayPause"
                                              << "" << State::Playing << true << 0;
        QTest::newRow("media key Play toggles, in the About box")
            << "key MediaPlay about"
            << "" << State::Paused << true << 0;
        QTest::newRow("media key Pause") << "key MediaPause"
                                         << "" << State::Paused << true << 0;
        QTest::newRow("media key Stop") << "key MediaStop"
                                        << "" << State::Stopped << true << 0;
        QTest::newRow("main window closed while its player's menu is open")
            << "close"
            << "" << State::Empty << false << 1;
        QTest::newRow("raise builds it afresh") << call + "Raise"
                                                << "" << State::Empty << true << 1;
        QTest::newRow("open a file on the new one") << "playerctl open file://DIR/b.wav"
                                                    << "" << State::Playing << true << 1;
        QTest::newRow("its title") << "playerctl metadata xesam:title"
                                   << "b.wav" << State::Playing << true << 1;
        QTest::newRow("announced") << "follow"
                                   << "Playing\nPaused\nPlaying\nStopped\nPlaying\nPaused\n"
                                      "Stopped\nPlaying"
                                   << State::Playing << true << 1;
        QTest::newRow("no artist made up")
            << "playerctl metadata xesam:artist"
            << "No player could handle this command" << State::Playing << true << 1;
        QTest::newRow("a tagged tune") << "play tagged.wav"
                                       << "" << State::Playing << true << 1;
        for (const auto& [tag, value] :
             {std::pair{"artist", "Snow Band"}, {"album", "Winter Tunes"}})
            QTest::addRow("its %s", tag) << QStringLiteral("playerctl metadata xesam:") + tag
                                         << value << State::Playing << true << 1;
        const QString refused = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");
        QTest::newRow("open a web address")
            << "open 1 http://example.com/a.mp3" << refused << State::Playing << true << 1;
        QTest::newRow("open a megabyte")
            << "open 1 file:///LONG" << refused << State::Playing << true << 1;
        QTest::newRow("open missing files, one box")
            << "open 1000 file:///nowhere/%1.wav"
            << "Cannot play 1000 files:" << State::Empty << true << 1;
        QTest::newRow("quit") << call + "Quit"
                              << "" << State::Empty << true << 2;
    }

    void controls()
    {
        QFETCH(QString, command);
        QFETCH(QString, output);
        QFETCH(State, state);
        QFETCH(bool, shown);
        QFETCH(int, ends);

        command.replace(QStringLiteral("DIR"), m_dir.path());
        const QString argument = command.section(u' ', 1);
        QString printed;
        if (command.startsWith(QLatin1String("play ")))
            mainWindow()->musicPlayer()->setLocation(m_dir.filePath(argument));
        else if (command.startsWith(QLatin1String("key "))) {
            // "key KEY about": with another window active, which goes again after the key.
            QWidget* window = command.endsWith(QLatin1String(" about"))
                                  ? static_cast<QWidget*>(m_windows->about())
                                  : mainWindow();
            WindowSet::show(window);
            QVERIFY(QTest::qWaitForWindowActive(window));
            const QByteArray key = "Key_" + command.section(u' ', 1, 1).toLatin1();
            QTest::sendKeyEvent(QTest::Click, window,
                                Qt::Key(QMetaEnum::fromType<Qt::Key>().keyToValue(key)), QString(),
                                Qt::NoModifier);
            if (window != mainWindow())
                window->close();
        } else if (command == QLatin1String("close")) { // from outside, under the menu's own loop
            QTimer::singleShot(0, mainWindow(), &QWidget::close);
            QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5));
            QApplication::sendEvent(mainWindow()->musicPlayer()->strip(), &menu);
        } else if (command.startsWith(QLatin1String("open ")))
            printed = openUris(argument);
        else if (command != QLatin1String("follow"))
            printed = run(command);
        if (m_media.playback())
            m_media.playback()->finishLoading();
        // What changed goes out before the next row, as it would before the user's next move.
        QCoreApplication::sendPostedEvents(&m_windows->desktopControls(), QEvent::MetaCall);
        if (command == QLatin1String("follow"))
            QTRY_COMPARE((m_heard += m_follower.readAllStandardOutput()).trimmed(), output);
        else if (command.startsWith(QLatin1String("open ")))
            QTRY_COMPARE(printed + errorBoxHeading(), output);
        else
            QCOMPARE(printed, output);
        QTRY_COMPARE(mainWindow() ? mainWindow()->musicPlayer()->state() : State::Empty, state);
        QTRY_COMPARE(mainWindow() && mainWindow()->isVisible(), shown);
        QTRY_COMPARE(m_ends->count(), ends);
    }
};

QTEST_MAIN(MprisTest)
#include "mpris_test.moc"

#include "app/windowset.h"
#include "music/musicmanager.h"
#include "music/musicplayer.h"
#include "music/playerstrip.h"
#include "soundfiles.h"
#include "testsupport.h"
#include "windows/mainwindow.h"

#include <QAudioOutput>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSlider>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <QTest>
#include <QToolButton>

using testsupport::MessageBoxCatcher;

class PlaybackTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString file(const QString& name) const { return m_dir.filePath(name); }
    FrmCorvalo* mainWindow() const { return WindowSet::existingMainWindow(); }
    PlayerStrip* strip() const { return qobject_cast<PlayerStrip*>(mainWindow()->playerStrip()); }
    MusicPlayer* player() const { return MusicPlayer::of(strip()); }
    QMediaPlayer* media() const { return player() ? player()->mediaPlayer() : nullptr; }
    template <class W> W* stripPart(const char* name) const
    {
        return strip()->findChild<W*>(QString::fromLatin1(name));
    }

    frmmusic* openManager()
    {
        frmmusic* manager = WindowSet::musicManager();
        WindowSet::show(manager);
        return manager;
    }
    void playFromManager(const QString& path)
    {
        frmmusic* manager = openManager();
        manager->fileNameBox()->setText(path);
        QTest::mouseClick(manager->findChild<QPushButton*>("CmdPlay"), Qt::LeftButton);
    }
    bool isPlaying(const QString& name) const
    {
        return media() && media()->playbackState() == QMediaPlayer::PlayingState &&
               media()->source().fileName() == name && strip()->title() == name;
    }
    // Playing, and the position moves on (on a busy machine it may reach the end first).
    void verifyAdvancing(const QString& name)
    {
        QTRY_VERIFY2_WITH_TIMEOUT(isPlaying(name), qPrintable(name), 10000);
        const qint64 from = media()->position();
        QTRY_VERIFY2_WITH_TIMEOUT(media()->position() >= from + 100 ||
                                      media()->mediaStatus() == QMediaPlayer::EndOfMedia ||
                                      media()->source().fileName() != name,
                                  qPrintable(name), 10000);
    }
    // Plays the playlist and records what it hands to the player.
    QStringList playPlaylist(const QString& name)
    {
        playFromManager(file("short.wav")); // so that the player exists to be watched
        QSignalSpy sources(media(), &QMediaPlayer::sourceChanged);
        playFromManager(file(name));
        verifyAdvancing("second.wav");
        QStringList played;
        for (const QList<QVariant>& args : sources)
            played << args.first().toUrl().fileName();
        // Once through, a playlist goes back to its first entry; that may have happened already.
        if (played.size() > 1 && played.last() == played.first())
            played.removeLast();
        return played;
    }

private slots:
    void initTestCase()
    {
        testsupport::prepareApplication();
        QVERIFY(m_dir.isValid());
        using namespace soundfiles;
        QVERIFY(writeWav(file("tone.wav"), 3000));
        QVERIFY(writeWav(file("short.wav"), 600));
        QVERIFY(writeWav(file("first.wav"), 600));
        QVERIFY(writeWav(file("second.wav"), 1500));
        QVERIFY(writeMidi(file("tune.mid"), 4));
        QVERIFY(writeMidi(file("tune.rmi"), 4, true));
        QVERIFY2(encodeTone(file("tone.mp3"), 1000, {"lamemp3enc"}), "gst-launch-1.0 with lame");
        QVERIFY2(encodeTone(file("tone.wma"), 1000, {"avenc_wmav2", "!", "asfmux"}),
                 "gst-launch-1.0 with libav and asfmux");

        QByteArray noise(4000, '\0');
        QRandomGenerator generator(7);
        for (char& c : noise)
            c = char(generator.bounded(256));
        QVERIFY(writeBytes(file("corrupt.mp3"), noise));
        QVERIFY(writeBytes(file("letter.wav"), "Dear Santa, this is not a sound.\n"));
        QVERIFY(
            writeBytes(file("list.m3u"), "#EXTM3U\r\nfirst.wav\r\n" + file("second.wav").toUtf8()));
        QVERIFY(writeBytes(file("list.wax"),
                           R"(<ASX version="3.0"><Entry><Ref href="first.wav"/></Entry>
<entry><REF HREF="missing.wav"/><ref href="second.wav"/></entry></ASX>)"));
        QVERIFY(writeBytes(file("mixed.m3u8"), "first.wav\ncorrupt.mp3\nsecond.wav\n"));
        QVERIFY(writeBytes(file("nothing.m3u"), "#EXTM3U\nmissing.wav\n"));
        QVERIFY(writeBytes(file("bad.wax"), "<asx><entry><ref href=\"first.wav\"></asx>"));
    }

    void init()
    {
        FrmCorvalo* main = WindowSet::mainWindow();
        WindowSet::show(main);
        QVERIFY(QTest::qWaitForWindowExposed(main));
    }

    void cleanup() { WindowSet::closeAll(); }

    void mediaStackIsBuiltOnFirstPlay()
    {
        QVERIFY(!mainWindow()->findChild<QMediaPlayer*>());
        QVERIFY(!mainWindow()->findChild<QAudioOutput*>());
        QVERIFY(player());
        QVERIFY(!media());

        MessageBoxCatcher boxes;
        playFromManager(QString()); // refused before it reaches the player
        QTRY_COMPARE(boxes.seen().size(), size_t(1));
        QVERIFY(!media());

        playFromManager(file("tone.wav"));
        QVERIFY(media());
        QCOMPARE(media()->parent(), mainWindow());
        QCOMPARE(player()->audioOutput()->volume(), 0.5f);
        QVERIFY(!player()->audioOutput()->isMuted());
        verifyAdvancing("tone.wav");
        QCOMPARE(boxes.seen().size(), size_t(1));
    }

    // GStreamer plays MIDI through fluidsynth, which stays silent without a sound font.
    void midiIsRenderedWithASoundFont()
    {
        const QString tool = QStandardPaths::findExecutable("gst-launch-1.0");
        QVERIFY(!tool.isEmpty());
        const QString rendered = file("rendered.raw");
        QCOMPARE(QProcess::execute(tool, {"-q", "filesrc", "location=" + file("tune.mid"), "!",
                                          "decodebin", "!", "audioconvert", "!",
                                          "audio/x-raw,format=S16LE", "!", "filesink",
                                          "location=" + rendered}),
                 0);
        QFile raw(rendered);
        QVERIFY(raw.open(QIODevice::ReadOnly));
        const QByteArray pcm = raw.readAll();
        QVERIFY(pcm.size() > 44100); // a second of 16-bit stereo is 176400 bytes
        int loudest = 0;
        for (qsizetype i = 0; i + 1 < pcm.size(); i += 2)
            loudest = qMax(loudest, qAbs(int(qFromLittleEndian<qint16>(pcm.constData() + i))));
        QVERIFY2(loudest > 300, qPrintable(QString::number(loudest)));
    }

    void playsEveryKindOfFileOffered_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("WAV") << "tone.wav";
        QTest::newRow("MP3") << "tone.mp3";
        QTest::newRow("WMA") << "tone.wma";
        QTest::newRow("MIDI") << "tune.mid";
        QTest::newRow("RIFF MIDI") << "tune.rmi";
    }

    void playsEveryKindOfFileOffered()
    {
        QFETCH(QString, name);
        MessageBoxCatcher boxes;
        playFromManager(file(name));
        verifyAdvancing(name);
        QCOMPARE(strip()->state(), QMediaPlayer::PlayingState);
        QVERIFY(boxes.seen().empty());
    }

    void stripControlsActOnThePlayer()
    {
        playFromManager(file("tone.wav"));
        verifyAdvancing("tone.wav");
        auto* play = stripPart<QToolButton>("playButton");

        QTest::mouseClick(play, Qt::LeftButton);
        QTRY_COMPARE(media()->playbackState(), QMediaPlayer::PausedState);
        QCOMPARE(strip()->state(), QMediaPlayer::PausedState);
        const qint64 pausedAt = media()->position();
        QTest::qWait(300);
        QVERIFY(qAbs(media()->position() - pausedAt) < 50);

        QTest::mouseClick(play, Qt::LeftButton);
        QTRY_COMPARE(media()->playbackState(), QMediaPlayer::PlayingState);
        QTRY_VERIFY(media()->position() > pausedAt + 100);

        stripPart<QSlider>("seekSlider")->setSliderPosition(2200);
        QTRY_VERIFY(media()->position() >= 2200);

        stripPart<QSlider>("volumeSlider")->setSliderPosition(80);
        QCOMPARE(player()->audioOutput()->volume(), 0.8f);
        QCOMPARE(strip()->volume(), 80);

        QTest::mouseClick(stripPart<QToolButton>("muteButton"), Qt::LeftButton);
        QVERIFY(player()->audioOutput()->isMuted());
        QVERIFY(strip()->isMuted());
        QTest::mouseClick(stripPart<QToolButton>("muteButton"), Qt::LeftButton);
        QVERIFY(!player()->audioOutput()->isMuted());

        QTest::mouseClick(stripPart<QToolButton>("stopButton"), Qt::LeftButton);
        QTRY_COMPARE(media()->playbackState(), QMediaPlayer::StoppedState);
        QTRY_COMPARE(media()->position(), 0);
        QCOMPARE(strip()->state(), QMediaPlayer::StoppedState);

        QTest::mouseClick(play, Qt::LeftButton);
        verifyAdvancing("tone.wav");
    }

    void playsAgainAfterTheEnd()
    {
        playFromManager(file("short.wav"));
        verifyAdvancing("short.wav");
        QTRY_COMPARE_WITH_TIMEOUT(media()->mediaStatus(), QMediaPlayer::EndOfMedia, 5000);
        QCOMPARE(strip()->state(), QMediaPlayer::StoppedState);
        QTest::mouseClick(stripPart<QToolButton>("playButton"), Qt::LeftButton);
        verifyAdvancing("short.wav");
    }

    void newFileReplacesThePlayingOne()
    {
        playFromManager(file("tone.wav"));
        verifyAdvancing("tone.wav");
        playFromManager(file("tone.mp3"));
        verifyAdvancing("tone.mp3");
        QCOMPARE(player()->queue().size(), 1);
    }

    void playlistPlaysItsEntriesInTurn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("M3U") << "list.m3u";
        QTest::newRow("ASX") << "list.wax";
    }

    void playlistPlaysItsEntriesInTurn()
    {
        QFETCH(QString, name);
        MessageBoxCatcher boxes;
        QCOMPARE(playPlaylist(name), QStringList({"first.wav", "second.wav"}));
        QCOMPARE(player()->queue().size(), 2);
        QCOMPARE(player()->currentIndex(), 1);
        // Once through, it waits at its first entry.
        QTRY_VERIFY_WITH_TIMEOUT(strip()->title() == "first.wav" &&
                                     media()->playbackState() == QMediaPlayer::StoppedState,
                                 5000);
        QVERIFY(boxes.seen().empty());
    }

    void playbackOutlivesTheMusicManager()
    {
        QPointer<frmmusic> manager = openManager();
        playFromManager(file("tone.wav"));
        verifyAdvancing("tone.wav");
        manager->close();
        QTRY_VERIFY(manager.isNull());
        verifyAdvancing("tone.wav");
    }

    void closingTheMainWindowEndsPlayback()
    {
        QPointer<frmmusic> manager = openManager();
        playFromManager(file("tone.wav"));
        verifyAdvancing("tone.wav");
        QPointer<QMediaPlayer> playing = media();
        mainWindow()->close();
        QTRY_VERIFY(playing.isNull());
        QVERIFY(manager && manager->isVisible());
    }

    void playAfterTheMainWindowClosedOpensItAgain()
    {
        QPointer<FrmCorvalo> old = mainWindow();
        openManager();
        old->close();
        QTRY_VERIFY(old.isNull());
        playFromManager(file("tone.wav"));
        QVERIFY(mainWindow());
        QVERIFY(mainWindow()->isVisible());
        verifyAdvancing("tone.wav");
    }

    void whatCannotBePlayedIsReported_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("throughManager");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("refusedBeforePlaying"); // then what played goes on

        QTest::newRow("corrupt") << "corrupt.mp3" << true << "damaged" << false;
        QTest::newRow("not sound") << "letter.wav" << true << "damaged" << false;
        QTest::newRow("playlist, nothing playable")
            << "nothing.m3u" << true << "no playable entry" << false;
        QTest::newRow("playlist, bad XML") << "bad.wax" << true << "not valid XML" << false;
        QTest::newRow("missing, typed")
            << "missing.wav" << true << "Error: You must enter a valid filename!" << true;
        QTest::newRow("missing by the time it is played")
            << "missing.wav" << false << "does not exist" << false;
    }

    void whatCannotBePlayedIsReported()
    {
        QFETCH(QString, name);
        QFETCH(bool, throughManager);
        QFETCH(QString, text);
        QFETCH(bool, refusedBeforePlaying);

        playFromManager(file("tone.wav"));
        verifyAdvancing("tone.wav");

        MessageBoxCatcher boxes;
        if (throughManager)
            playFromManager(file(name));
        else
            player()->setLocation(file(name));
        QTRY_COMPARE(boxes.seen().size(), size_t(1));
        QTest::qWait(300); // one failure, one message
        QCOMPARE(boxes.seen().size(), size_t(1));
        const auto& seen = boxes.seen().front();
        QCOMPARE(seen.title, QStringLiteral("Error"));
        QVERIFY2(seen.text.contains(text), qPrintable(seen.text));
        if (refusedBeforePlaying) {
            QCOMPARE(seen.icon, QMessageBox::Warning);
            verifyAdvancing("tone.wav");
        } else {
            QVERIFY2(seen.text.contains(file(name)), qPrintable(seen.text));
            QCOMPARE(seen.icon, QMessageBox::Critical);
            QTRY_COMPARE(media()->playbackState(), QMediaPlayer::StoppedState);
            QVERIFY(media()->source().isEmpty());
            QCOMPARE(strip()->title(), QString());
            QCOMPARE(strip()->state(), QMediaPlayer::StoppedState);
        }

        playFromManager(file("second.wav"));
        verifyAdvancing("second.wav");
        QCOMPARE(boxes.seen().size(), size_t(1));
    }

    void brokenPlaylistEntryIsReportedAndSkipped()
    {
        MessageBoxCatcher boxes;
        QCOMPARE(playPlaylist("mixed.m3u8"),
                 QStringList({"first.wav", "corrupt.mp3", "second.wav"}));
        QCOMPARE(player()->queue().size(), 3);
        QCOMPARE(boxes.seen().size(), size_t(1));
        QVERIFY(boxes.seen().front().text.contains(file("corrupt.mp3")));
    }
};

QTEST_MAIN(PlaybackTest)
#include "playback_test.moc"

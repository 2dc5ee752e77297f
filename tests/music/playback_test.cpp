#include "app/plugins.h"
#include "app/windowset.h"
#include "music/musicmanager.h"
#include "music/musicplayer.h"
#include "music/playerstrip.h"
#include "soundfiles.h"
#include "testsupport.h"
#include "windows/mainwindow.h"

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

using corvalo::music::MediaStatus;
using corvalo::music::PlaybackState;
using testsupport::MessageBoxCatcher;

namespace {

bool multimediaLoaded()
{
    QFile maps("/proc/self/maps");
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("libQt6Multimedia.so");
}

} // namespace

class PlaybackTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString file(const QString& name) const { return m_dir.filePath(name); }
    FrmCorvalo* mainWindow() const { return WindowSet::existingMainWindow(); }
    PlayerStrip* strip() const { return qobject_cast<PlayerStrip*>(mainWindow()->playerStrip()); }
    MusicPlayer* player() const { return mainWindow()->musicPlayer(); }
    corvalo::music::MediaPlayback* media() const { return player()->playback(); }
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
        return media() && media()->state() == PlaybackState::Playing &&
               media()->source().fileName() == name && strip()->title() == name;
    }
    // Playing, and the position moves on (on a busy machine it may reach the end first).
    void verifyAdvancing(const QString& name)
    {
        QTRY_VERIFY2_WITH_TIMEOUT(isPlaying(name), qPrintable(name), 10000);
        const qint64 from = media()->position();
        QTRY_VERIFY2_WITH_TIMEOUT(media()->position() >= from + 100 ||
                                      media()->status() == MediaStatus::Ended ||
                                      media()->source().fileName() != name,
                                  qPrintable(name), 10000);
    }
    // Plays the playlist and records what it hands to the player.
    QStringList playPlaylist(const QString& name)
    {
        QSignalSpy sources(player(), &MusicPlayer::sourceChanged);
        playFromManager(file(name));
        (void)QTest::qWaitFor([&] { return isPlaying("second.wav"); }, 30000); // a long list
        verifyAdvancing("second.wav");
        QStringList played;
        for (const QList<QVariant>& args : sources)
            if (!args.first().toUrl().isEmpty())
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
        QVERIFY(writeBytes(file("twice.m3u"), "letter.wav\nletter.wav\nsecond.wav\n"));
        QByteArray forty;
        for (int i = 1; i <= 40; ++i) {
            const QString bad = QStringLiteral("bad%1.wav").arg(i);
            QVERIFY(writeBytes(file(bad), "RIFF, but no sound"));
            forty += bad.toUtf8() + '\n';
        }
        QVERIFY(writeBytes(file("forty.m3u"), forty + "second.wav\n"));
    }

    void init()
    {
        FrmCorvalo* main = WindowSet::mainWindow();
        WindowSet::show(main);
        QVERIFY(QTest::qWaitForWindowExposed(main));
    }

    void cleanup() { WindowSet::closeAll(); }

    void mediaStackIsLoadedOnFirstPlay()
    {
        QVERIFY(!multimediaLoaded());
        QVERIFY(player());
        QVERIFY(!media());

        MessageBoxCatcher boxes;
        playFromManager(QString()); // refused before it reaches the player
        QTRY_COMPARE(boxes.seen().size(), size_t(1));
        QVERIFY(!media());
        QVERIFY(!multimediaLoaded());

        playFromManager(file("tone.wav"));
        QVERIFY(media());
        QVERIFY(multimediaLoaded());
        QCOMPARE(dynamic_cast<QObject*>(media())->parent(), player());
        QCOMPARE(player()->parent(), mainWindow());
        QCOMPARE(media()->volume(), 50);
        QVERIFY(!media()->isMuted());
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
        QCOMPARE(strip()->state(), PlaybackState::Playing);
        QVERIFY(boxes.seen().empty());
    }

    void stripControlsActOnThePlayer()
    {
        playFromManager(file("tone.wav"));
        verifyAdvancing("tone.wav");
        auto* play = stripPart<QToolButton>("playButton");

        QTest::mouseClick(play, Qt::LeftButton);
        QTRY_COMPARE(media()->state(), PlaybackState::Paused);
        QCOMPARE(strip()->state(), PlaybackState::Paused);
        const qint64 pausedAt = media()->position();
        // Paused, the player reports no movement: the strip's position stays put.
        QSignalSpy moved(stripPart<QSlider>("seekSlider"), &QSlider::valueChanged);
        QVERIFY(!moved.wait(300));
        QVERIFY(qAbs(media()->position() - pausedAt) < 50);

        QTest::mouseClick(play, Qt::LeftButton);
        QTRY_COMPARE(media()->state(), PlaybackState::Playing);
        QTRY_VERIFY(media()->position() > pausedAt + 100);

        stripPart<QSlider>("seekSlider")->setSliderPosition(2200);
        QTRY_VERIFY(media()->position() >= 2200);

        stripPart<QSlider>("volumeSlider")->setSliderPosition(80);
        QCOMPARE(media()->volume(), 80);
        QCOMPARE(strip()->volume(), 80);

        QTest::mouseClick(stripPart<QToolButton>("muteButton"), Qt::LeftButton);
        QVERIFY(media()->isMuted());
        QVERIFY(strip()->isMuted());
        QTest::mouseClick(stripPart<QToolButton>("muteButton"), Qt::LeftButton);
        QVERIFY(!media()->isMuted());

        QTest::mouseClick(stripPart<QToolButton>("stopButton"), Qt::LeftButton);
        QTRY_COMPARE(media()->state(), PlaybackState::Stopped);
        QTRY_COMPARE(media()->position(), 0);
        QCOMPARE(strip()->state(), PlaybackState::Stopped);

        QTest::mouseClick(play, Qt::LeftButton);
        verifyAdvancing("tone.wav");
    }

    void playsAgainAfterTheEnd()
    {
        playFromManager(file("short.wav"));
        verifyAdvancing("short.wav");
        QTRY_COMPARE_WITH_TIMEOUT(media()->status(), MediaStatus::Ended, 5000);
        QCOMPARE(strip()->state(), PlaybackState::Stopped);
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
        // Once through, it waits at its first entry.
        QTRY_VERIFY_WITH_TIMEOUT(
            strip()->title() == "first.wav" && media()->state() == PlaybackState::Stopped, 5000);
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
        QPointer<QObject> playing = dynamic_cast<QObject*>(media());
        QPointer<MusicPlayer> owner = player();
        mainWindow()->close();
        QTRY_VERIFY(playing.isNull());
        QVERIFY(owner.isNull());
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
        const auto& seen = boxes.seen().front();
        QCOMPARE(seen.title, QStringLiteral("Error"));
        QVERIFY2(seen.text.contains(text), qPrintable(seen.text));
        if (refusedBeforePlaying) {
            QCOMPARE(seen.icon, QMessageBox::Warning);
            verifyAdvancing("tone.wav");
        } else {
            QVERIFY2(seen.text.contains(file(name)), qPrintable(seen.text));
            QCOMPARE(seen.icon, QMessageBox::Critical);
            QTRY_COMPARE(media()->state(), PlaybackState::Stopped);
            QVERIFY(media()->source().isEmpty());
            QCOMPARE(strip()->title(), QString());
            QCOMPARE(strip()->state(), PlaybackState::Stopped);
        }

        // One failure, one message: a second one would have come by the time this plays.
        playFromManager(file("second.wav"));
        verifyAdvancing("second.wav");
        QCOMPARE(boxes.seen().size(), size_t(1));
    }

    // Failing entries are skipped, even the same file twice, and reported in one box.
    void brokenPlaylistEntriesAreReportedOnce_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("played");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("again"); // played once more from its (bad) first entry

        QTest::newRow("one broken entry")
            << "mixed.m3u8" << QStringList{"first.wav", "corrupt.mp3", "second.wav"}
            << QStringList{"Cannot play \"" + file("corrupt.mp3") + "\".\nIt could not be"}
            << false;
        QTest::newRow("the same bad file twice")
            << "twice.m3u" << QStringList{"letter.wav", "letter.wav", "second.wav"}
            << QStringList{"Cannot play 2 entries of the playlist \"" + file("twice.m3u"),
                           "\n\"" + file("letter.wav") + "\": It could not be opened"}
            << true;
        QStringList forty;
        for (int i = 1; i <= 40; ++i)
            forty << QStringLiteral("bad%1.wav").arg(i);
        QTest::newRow("forty bad, one good")
            << "forty.m3u" << forty + QStringList{"second.wav"}
            << QStringList{"Cannot play 40 entries", "\"" + file("bad5.wav") + "\"",
                           "\nand 35 more."}
            << false;
    }

    void brokenPlaylistEntriesAreReportedOnce()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, played);
        QFETCH(QStringList, texts);
        QFETCH(bool, again);

        MessageBoxCatcher boxes;
        QCOMPARE(playPlaylist(name), played);
        QTRY_COMPARE(boxes.seen().size(), size_t(1));
        for (const QString& text : texts)
            QVERIFY2(boxes.seen().front().text.contains(text),
                     qPrintable(boxes.seen().front().text));
        QVERIFY(!boxes.seen().front().text.contains(file("bad6.wav")));
        QCOMPARE(boxes.seen().front().title, QStringLiteral("Error"));
        // Through to its end and back at its first entry, the list has said all it had to say.
        QTRY_VERIFY_WITH_TIMEOUT(
            strip()->title() == played.first() && media()->state() == PlaybackState::Stopped, 5000);
        QCOMPARE(boxes.seen().size(), size_t(1));
        if (again) {
            QTest::mouseClick(stripPart<QToolButton>("playButton"), Qt::LeftButton);
            verifyAdvancing(played.last());
            QTRY_COMPARE(boxes.seen().size(), size_t(2));
        }
    }

    void stopEndsAListOfFailures()
    {
        MessageBoxCatcher boxes;
        QSignalSpy sources(player(), &MusicPlayer::sourceChanged);
        auto* stop = stripPart<QToolButton>("stopButton");
        bool enabled = false;
        // Stop as the third entry is handed over, the first two having failed.
        connect(player(), &MusicPlayer::sourceChanged, stop, [&] {
            if (sources.size() == 3) {
                enabled = stop->isEnabled();
                QTest::mouseClick(stop, Qt::LeftButton);
            }
        });
        playFromManager(file("forty.m3u"));
        QTRY_COMPARE(boxes.seen().size(), size_t(1));
        QVERIFY(enabled);
        QVERIFY2(boxes.seen().front().text.startsWith("Cannot play 2 entries"),
                 qPrintable(boxes.seen().front().text));
        QCOMPARE(player()->currentIndex(), 2);
        QCOMPARE(strip()->state(), PlaybackState::Stopped);
        QTRY_COMPARE(media()->state(), PlaybackState::Stopped);
        // Nothing moved on by itself: the next file is the next source.
        playFromManager(file("second.wav"));
        verifyAdvancing("second.wav");
        QCOMPARE(sources.size(), 4);
        QCOMPARE(boxes.seen().size(), size_t(1));
    }

    void aMissingMediaModuleIsReported_data()
    {
        QTest::addColumn<QString>("module");
        QTest::newRow("missing") << file("nowhere/libcorvalo_media.so");
        QTest::newRow("not a plugin") << file("letter.wav");
    }

    void aMissingMediaModuleIsReported()
    {
        QFETCH(QString, module);
        MessageBoxCatcher boxes;
        corvalo::setPluginFileForTesting("corvalo_media", module);
        playFromManager(file("tone.wav"));
        corvalo::setPluginFileForTesting("corvalo_media", QString());
        QTRY_COMPARE(boxes.seen().size(), size_t(1));
        const auto& seen = boxes.seen().front();
        QCOMPARE(seen.title, QStringLiteral("Error"));
        QVERIFY2(seen.text.startsWith("Sound cannot be played because the media module could not "
                                      "be loaded.\n\n"),
                 qPrintable(seen.text));
        QVERIFY2(seen.text.contains(module), qPrintable(seen.text));
        QVERIFY(!media());
        QCOMPARE(strip()->title(), QString());
        QCOMPARE(strip()->state(), PlaybackState::Stopped);

        playFromManager(file("tone.wav")); // found again
        verifyAdvancing("tone.wav");
        QCOMPARE(boxes.seen().size(), size_t(1));
    }
};

QTEST_MAIN(PlaybackTest)
#include "playback_test.moc"

#include "app/windowset.h"
#include "fakemedia.h"
#include "music/musicmanager.h"
#include "music/musicplayer.h"
#include "music/playerstrip.h"
#include "soundfiles.h"
#include "testsupport.h"
#include "windows/mainwindow.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using State = MusicPlayer::State;
using testsupport::FakeMedia;
using testsupport::FakePlayback;

namespace {

QList<QMessageBox*> openErrorBoxes()
{
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            boxes.append(box);
    return boxes;
}

void closeErrorBoxes()
{
    for (QMessageBox* box : openErrorBoxes())
        box->done(QMessageBox::Ok);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class PlaybackTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    FakeMedia m_media;

    QString file(const QString& name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        testsupport::prepareApplication();
        QVERIFY(m_dir.isValid());
        // The fake player goes by the names alone; the playlists only need the files to exist.
        QByteArray forty;
        for (int i = 1; i <= 40; ++i) {
            const QString bad = QStringLiteral("bad%1.wav").arg(i);
            QVERIFY(soundfiles::writeBytes(file(bad), ""));
            forty += bad.toUtf8() + '\n';
        }
        for (const char* name : {"a.wav", "b.wav", "bad.wav", "bad2.wav", "c.wav"})
            QVERIFY(soundfiles::writeBytes(file(name), ""));
        QVERIFY(soundfiles::writeBytes(file("list.m3u"), "a.wav\nbad.wav\nb.wav\n"));
        QVERIFY(soundfiles::writeBytes(file("badfirst.m3u"), "bad.wav\na.wav\n"));
        QVERIFY(soundfiles::writeBytes(file("forty.m3u"), forty + "a.wav\n"));
        QVERIFY(soundfiles::writeBytes(file("tunes.asx"), "<asx><entry><ref href=\"a.wav\"/>"
                                                          "</entry></asx>\n"));
        QVERIFY(soundfiles::writeBytes(file("notes.txt"), "Buy more tinsel.\n"));
        const QString deep = QStringList(12, QString(250, u'd')).join(u'/') + "/bad.wav";
        QVERIFY(QDir(m_dir.path()).mkpath(QFileInfo(file(deep)).path()));
        QVERIFY(soundfiles::writeBytes(file(deep), "") &&
                soundfiles::writeBytes(file("long.m3u"), deep.toUtf8() + '\n'));
    }

    void cleanup() { closeErrorBoxes(); }

    // What the player does, step by step, as the user and the media stack act:
    //   open NAME   the music manager hands over a file;  play, pause, stop   the strip's buttons;
    //   load        the source has loaded (a "bad..." one fails);  end   it played to its end;
    //   ok          the user closes the error box;  pipe NAME   the file becomes a named pipe.
    // After each step the player's own next step is taken, unless the step ends in "~".
    void stateMachine_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<State>("state");
        QTest::addColumn<QString>("title"); // the strip's
        QTest::addColumn<QString>("box");   // the start of the one error box; empty: none

        const QString cannot = QStringLiteral("Cannot play \"%1\".").arg(file("bad.wav"));
        QTest::newRow("play") << "open a.wav, load" << State::Playing << "a.wav"
                              << "";
        QTest::newRow("pause") << "open a.wav, load, pause" << State::Paused << "a.wav"
                               << "";
        QTest::newRow("play after pause")
            << "open a.wav, load, pause, play" << State::Playing << "a.wav"
            << "";
        QTest::newRow("end of a file") << "open a.wav, load, end" << State::Stopped << "a.wav"
                                       << "";
        QTest::newRow("play after the end")
            << "open a.wav, load, end, play, load" << State::Playing << "a.wav"
            << "";
        QTest::newRow("a new file replaces the old")
            << "open a.wav, load, open b.wav, load" << State::Playing << "b.wav"
            << "";
        QTest::newRow("failing source") << "open bad.wav, load" << State::Empty << "" << cannot;
        QTest::newRow("a missing file") << "open gone.wav" << State::Empty << ""
                                        << "Cannot play \"" + file("gone.wav");
        QTest::newRow("an ASX playlist named .asx")
            << "open tunes.asx, load" << State::Playing << "a.wav"
            << "";
        QTest::newRow("a text file, not played") << "open notes.txt" << State::Empty << ""
                                                 << "Cannot play \"" + file("notes.txt");
        QTest::newRow("playlist: a bad entry is skipped and told once another plays")
            << "open list.m3u, load, end, load, load" << State::Playing << "b.wav" << cannot;
        QTest::newRow("playlist: through, it waits at its first entry")
            << "open list.m3u, load, end, load, load, end" << State::Stopped << "a.wav" << cannot;
        QTest::newRow("playlist: a bad first entry is tried again on Play")
            << "open badfirst.m3u, load, load, end, play, load, load" << State::Playing << "a.wav"
            << cannot;
        QTest::newRow("playlist: forty bad entries, one box")
            << "open forty.m3u" + QStringLiteral(", load").repeated(41) << State::Playing << "a.wav"
            << "Cannot play 40 entries of the playlist \"" + file("forty.m3u");
        QTest::newRow("playlist: Stop tells the failures so far")
            << "open forty.m3u, load, load, stop" << State::Stopped << "bad3.wav"
            << "Cannot play 2 entries of the playlist";
        QTest::newRow("the same bad file 30 times: one box")
            << QStringLiteral("open bad.wav, load, ").repeated(30) + "stop" << State::Empty << ""
            << cannot;
        QTest::newRow("30 presses while it loads, failing late: one box")
            << QStringLiteral("open bad.wav, ").repeated(30) + "load" << State::Empty << ""
            << cannot;
        QTest::newRow("the box closed, a failure opens a new one")
            << "open bad2.wav, load, ok, open bad.wav, load" << State::Empty << "" << cannot;
        QTest::newRow("two bad files while the box is open: one box")
            << "open bad.wav, load, open bad2.wav, load" << State::Empty << ""
            << "Cannot play 2 files:";
        QTest::newRow("stop: nothing to stop") << "stop" << State::Empty << ""
                                               << "";
        QTest::newRow("stop: loading") << "open a.wav, stop" << State::Stopped << "a.wav"
                                       << "";
        QTest::newRow("stop: playing") << "open a.wav, load, stop" << State::Stopped << "a.wav"
                                       << "";
        QTest::newRow("stop: paused")
            << "open a.wav, load, pause, stop" << State::Stopped << "a.wav"
            << "";
        QTest::newRow("stop: stopped")
            << "open a.wav, load, stop, stop, play" << State::Playing << "a.wav"
            << "";
        QTest::newRow("stop: at the end, before the next step")
            << "open list.m3u, load, end~, stop" << State::Stopped << "a.wav"
            << "";
        QTest::newRow("stop: a failed file, before the next step")
            << "open bad.wav, load~, stop" << State::Empty << "" << cannot;
        QTest::newRow("stop: a failed entry, before the next step")
            << "open list.m3u, load, end, load~, stop" << State::Stopped << "bad.wav" << cannot;
        QTest::newRow("Play on a file that has become a pipe")
            << "open c.wav, load, stop, pipe c.wav, play" << State::Empty << ""
            << "Cannot play \"" + file("c.wav") + "\".\nIt is not a file that can be read.";
        QTest::newRow("a huge name, cut short")
            << "open long.m3u, load" << State::Stopped << "bad.wav"
            << "Cannot play \"" + file("ddd");
        QTest::newRow("a report after Stop moves nothing on")
            << "open bad.wav, stop, load" << State::Stopped << "bad.wav"
            << "";
    }

    void stateMachine()
    {
        QFETCH(QString, script);
        QFETCH(State, state);
        QFETCH(QString, title);
        QFETCH(QString, box);

        PlayerStrip strip;
        MusicPlayer player(&strip);
        player.setBackendLoader([this](QString*) { return &m_media; });
        auto playback = [&] { return static_cast<FakePlayback*>(player.playback()); };
        for (QString step : script.split(QStringLiteral(", "))) {
            const bool later = step.endsWith(u'~');
            step.remove(u'~');
            if (step.startsWith(QLatin1String("open ")))
                player.setLocation(file(step.mid(5)));
            else if (step == QLatin1String("play"))
                emit strip.play();
            else if (step == QLatin1String("pause"))
                emit strip.pause();
            else if (step == QLatin1String("stop"))
                emit strip.stop();
            else if (step == QLatin1String("load") && playback())
                playback()->finishLoading();
            else if (step == QLatin1String("end") && playback())
                playback()->reachEnd();
            else if (step.startsWith(QLatin1String("pipe ")))
                QVERIFY(QFile::remove(file(step.mid(5))) &&
                        mkfifo(QFile::encodeName(file(step.mid(5))).constData(), 0600) == 0);
            else if (step == QLatin1String("ok"))
                closeErrorBoxes();
            else
                QFAIL(qPrintable("cannot take the step " + step));
            if (!later)
                QCoreApplication::sendPostedEvents(&player);
            // Never a pile of boxes: at most one is open after any step.
            QVERIFY2(openErrorBoxes().size() <= 1, qPrintable(step));
        }
        QCOMPARE(player.state(), state);
        QCOMPARE(strip.title(), title);
        const auto shown = [] { // what comes while it is open reaches it a moment later
            const QList<QMessageBox*> open = openErrorBoxes();
            return open.isEmpty() ? "" : open[0]->windowTitle() + ": " + open[0]->text();
        };
        QTRY_VERIFY2(box.isEmpty() ? shown().isEmpty() : shown().startsWith("Error: " + box),
                     qPrintable(shown()));
        QVERIFY2(shown().size() < 1000, qPrintable(shown())); // no address shown whole
    }

    // The strip's volume and muting, set before anything plays, and its position reach the player.
    void stripControls()
    {
        PlayerStrip strip;
        MusicPlayer player(&strip);
        player.setBackendLoader([this](QString*) { return &m_media; });
        emit strip.changeVolume(80);
        emit strip.changeMuting(true);
        player.setLocation(file("a.wav"));
        emit strip.seek(400);
        const auto* playback = static_cast<FakePlayback*>(player.playback());
        QCOMPARE(playback->volume(), 80);
        QVERIFY(playback->isMuted());
        QCOMPARE(playback->position(), 400);
    }

    // The player lives on the main window: it outlives the music manager, goes with the main
    // window, and a Play after the main window closed brings one back.
    void playerBelongsToTheMainWindow()
    {
        FakeMedia media;
        const std::unique_ptr<WindowSet> windows = testsupport::makeWindowSet();
        windows->setMediaBackendLoader([&](QString*) { return &media; });
        auto play = [&](const QString& name) {
            frmmusic* manager = windows->musicManager();
            WindowSet::show(manager);
            manager->fileNameBox()->setText(file(name));
            QTest::mouseClick(manager->findChild<QPushButton*>("CmdPlay"), Qt::LeftButton);
        };
        QPointer<FrmCorvalo> main = windows->mainWindow();
        WindowSet::show(main);
        QVERIFY(!media.playback()); // nothing is loaded before the first Play
        play("a.wav");
        QPointer<FakePlayback> playback = media.playback();
        windows->musicManager()->close();
        QVERIFY(playback && !playback->calls().contains("stop"));

        main->close();
        QTRY_VERIFY(main.isNull());
        QVERIFY(playback.isNull());

        play("b.wav");
        QVERIFY(windows->mainWindow()->isVisible()); // built and shown by the Play
        QCOMPARE(media.playback()->calls(), QStringList({"load b.wav", "play"}));
    }

    // A media module that is missing, or is no plugin, is named in the box; nothing plays.
    void aMissingMediaModuleIsReported()
    {
        const QString module = file("libmedia.so");
        for (const QByteArray& contents : {QByteArray(), QByteArray("not a library\n")}) {
            const std::unique_ptr<WindowSet> windows = testsupport::makeWindowSet();
            QFile::remove(module);
            if (!contents.isEmpty())
                QVERIFY(soundfiles::writeBytes(module, contents));
            windows->plugins().setFile("corvalo_media", module);
            MusicPlayer* player = windows->mainWindow()->musicPlayer();
            player->setLocation(file("a.wav"));
            const QList<QMessageBox*> boxes = openErrorBoxes();
            QCOMPARE(boxes.size(), 1);
            QVERIFY2(boxes.first()->text().contains("media module could not be loaded") &&
                         boxes.first()->text().contains(module),
                     qPrintable(boxes.first()->text()));
            QVERIFY(!player->playback());
            QCOMPARE(player->state(), State::Empty);
            closeErrorBoxes();
        }
    }
};

QTEST_MAIN(PlaybackTest)
#include "playback_test.moc"

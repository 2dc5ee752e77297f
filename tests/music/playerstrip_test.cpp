#include "app/windowset.h"
#include "look/screenreader.h"
#include "music/musicplayer.h"
#include "music/playerstrip.h"
#include "testsupport.h"
#include "windows/mainwindow.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <memory>

using State = PlayerStrip::State;
Q_DECLARE_METATYPE(PlayerStrip::State)

class PlayerStripTest : public QObject {
    Q_OBJECT

    std::unique_ptr<PlayerStrip> m_strip;

    template <class W> W* part(const char* name) const
    {
        auto* w = m_strip->findChild<W*>(QString::fromLatin1(name));
        if (!w)
            qFatal("no %s", name);
        return w;
    }
    QAction* action(const QString& text) const
    {
        for (QAction* a : m_strip->actions())
            if (a->text() == text)
                return a;
        qFatal("no action %s", qPrintable(text));
    }

private slots:
    void initTestCase() { testsupport::prepareApplication(); }

    void init()
    {
        m_strip = std::make_unique<PlayerStrip>();
        m_strip->resize(249, 43);
        m_strip->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_strip.get()));
    }
    void cleanup() { m_strip.reset(); }

    void startsEmptyAtHalfVolume()
    {
        QCOMPARE(m_strip->objectName(), QStringLiteral("WindowsMediaPlayer1"));
        QCOMPARE(m_strip->volume(), 50);
        QVERIFY(!m_strip->isMuted());
        QCOMPARE(m_strip->state(), State::Stopped);
        QCOMPARE(m_strip->title(), QString());
        QCOMPARE(part<QLabel>("timeLabel")->text(), QString());
        QCOMPARE(part<QSlider>("volumeSlider")->value(), 50);
    }

    void controlsAsk_data()
    {
        QTest::addColumn<State>("state");
        QTest::addColumn<QString>("control"); // a child's name, or "menu:<text>"
        QTest::addColumn<int>("argument");    // slider rows: where it is moved to
        QTest::addColumn<QString>("signal");
        QTest::addColumn<qint64>("expected"); // the signal's argument, if it has one

        QTest::newRow("play when stopped") << State::Stopped << "playButton" << 0 << "play" << 0ll;
        QTest::newRow("play when paused") << State::Paused << "playButton" << 0 << "play" << 0ll;
        QTest::newRow("pause when playing")
            << State::Playing << "playButton" << 0 << "pause" << 0ll;
        QTest::newRow("stop") << State::Playing << "stopButton" << 0 << "stop" << 0ll;
        QTest::newRow("seek") << State::Playing << "seekSlider" << 1500 << "seek" << 1500ll;
        QTest::newRow("volume") << State::Playing << "volumeSlider" << 80 << "changeVolume" << 80ll;
        QTest::newRow("mute") << State::Playing << "muteButton" << 0 << "changeMuting" << 1ll;
        QTest::newRow("unmute") << State::Playing << "muteButton" << 1 << "changeMuting" << 0ll;
        QTest::newRow("menu play") << State::Paused << "menu:Play" << 0 << "play" << 0ll;
        QTest::newRow("menu pause") << State::Playing << "menu:Pause" << 0 << "pause" << 0ll;
        QTest::newRow("menu stop") << State::Paused << "menu:Stop" << 0 << "stop" << 0ll;
        QTest::newRow("menu forward")
            << State::Playing << "menu:Forward 10 Seconds" << 2000 << "seek" << 12000ll;
        QTest::newRow("menu forward near the end")
            << State::Playing << "menu:Forward 10 Seconds" << 55000 << "seek" << 60000ll;
        QTest::newRow("menu back near the start")
            << State::Playing << "menu:Back 10 Seconds" << 0 << "seek" << 0ll;
        QTest::newRow("menu back")
            << State::Playing << "menu:Back 10 Seconds" << 35000 << "seek" << 25000ll;
        QTest::newRow("menu mute") << State::Playing << "menu:Mute" << 0 << "changeMuting" << 1ll;
        QTest::newRow("menu unmute") << State::Playing << "menu:Mute" << 1 << "changeMuting" << 0ll;
        QTest::newRow("menu volume up")
            << State::Playing << "menu:Volume Up" << 0 << "changeVolume" << 60ll;
        QTest::newRow("menu volume down")
            << State::Playing << "menu:Volume Down" << 0 << "changeVolume" << 40ll;
    }

    void controlsAsk()
    {
        QFETCH(State, state);
        QFETCH(QString, control);
        QFETCH(int, argument);
        QFETCH(QString, signal);
        QFETCH(qint64, expected);

        m_strip->setMedia("song.wav", "/music/song.wav");
        m_strip->setDuration(60000);
        m_strip->setSeekable(true);
        m_strip->setPosition(control.startsWith("menu") ? argument : 2000);
        m_strip->setState(state);
        if (control.contains("ute"))
            m_strip->setMuted(argument != 0);

        QSignalSpy play(m_strip.get(), &PlayerStrip::play);
        QSignalSpy pause(m_strip.get(), &PlayerStrip::pause);
        QSignalSpy stop(m_strip.get(), &PlayerStrip::stop);
        QSignalSpy seek(m_strip.get(), &PlayerStrip::seek);
        QSignalSpy volume(m_strip.get(), &PlayerStrip::changeVolume);
        QSignalSpy muting(m_strip.get(), &PlayerStrip::changeMuting);
        const QMap<QString, QSignalSpy*> spies = {
            {"play", &play}, {"pause", &pause},         {"stop", &stop},
            {"seek", &seek}, {"changeVolume", &volume}, {"changeMuting", &muting}};

        if (control.startsWith("menu:")) {
            QAction* a = action(control.mid(5));
            QVERIFY2(a->isEnabled(), qPrintable(control));
            a->trigger();
        } else if (auto* slider = m_strip->findChild<QSlider*>(control)) {
            QVERIFY(slider->isEnabled());
            slider->setSliderPosition(argument); // what dragging the handle does
        } else {
            auto* button = part<QToolButton>(qPrintable(control));
            QVERIFY(button->isEnabled());
            QTest::mouseClick(button, Qt::LeftButton);
        }

        for (auto it = spies.begin(); it != spies.end(); ++it)
            QCOMPARE(it.value()->count(), it.key() == signal ? 1 : 0);
        const QList<QVariant> args = spies[signal]->first();
        if (!args.isEmpty())
            QCOMPARE(args.first().toLongLong(), expected);
    }

    void showsWhatItIsToldWithoutAsking_data()
    {
        QTest::addColumn<qint64>("position");
        QTest::addColumn<qint64>("duration");
        QTest::addColumn<int>("volume");
        QTest::addColumn<QString>("time");

        QTest::newRow("start") << 0ll << 1500ll << 50 << "0:00 / 0:01";
        QTest::newRow("middle") << 65000ll << 200000ll << 0 << "1:05 / 3:20";
        QTest::newRow("long") << 3723000ll << 7200000ll << 100 << "1:02:03 / 2:00:00";
        QTest::newRow("unknown length") << 4000ll << 0ll << 30 << "0:04 / 0:00";
    }

    void showsWhatItIsToldWithoutAsking()
    {
        QFETCH(qint64, position);
        QFETCH(qint64, duration);
        QFETCH(int, volume);
        QFETCH(QString, time);

        QSignalSpy seek(m_strip.get(), &PlayerStrip::seek);
        QSignalSpy changeVolume(m_strip.get(), &PlayerStrip::changeVolume);
        m_strip->setMedia("song.wav", "/music/song.wav");
        m_strip->setSeekable(true);
        m_strip->setDuration(duration);
        m_strip->setPosition(position);
        m_strip->setVolume(volume);

        QCOMPARE(part<QLabel>("timeLabel")->text(), time);
        QCOMPARE(corvalo::valueText(part<QSlider>("seekSlider")),
                 QString(time).replace(" / ", " of "));
        QCOMPARE(corvalo::valueText(part<QSlider>("volumeSlider")), QString::number(volume) + '%');
        QCOMPARE(part<QSlider>("seekSlider")->value(), duration > 0 ? int(position) : 0);
        QCOMPARE(part<QSlider>("seekSlider")->isEnabled(), duration > 0);
        QCOMPARE(m_strip->volume(), volume);
        QCOMPARE(seek.count(), 0);
        QCOMPARE(changeVolume.count(), 0);
    }

    void enablesWhatCanBeDone_data()
    {
        QTest::addColumn<bool>("media");
        QTest::addColumn<State>("state");
        QTest::addColumn<bool>("seekable");
        QTest::addColumn<QString>("playLabel");
        QTest::addColumn<QString>("enabled"); // of play, stop, seek; menu play, pause, stop

        QTest::newRow("nothing loaded") << false << State::Stopped << false << "Play"
                                        << "------";
        QTest::newRow("loaded, stopped") << true << State::Stopped << true << "Play"
                                         << "P-SP--";
        QTest::newRow("playing") << true << State::Playing << true << "Pause"
                                 << "PSS-PS";
        QTest::newRow("paused") << true << State::Paused << true << "Play"
                                << "PSSP-S";
        QTest::newRow("stream, not seekable") << true << State::Playing << false << "Pause"
                                              << "PS--PS";
    }

    void enablesWhatCanBeDone()
    {
        QFETCH(bool, media);
        QFETCH(State, state);
        QFETCH(bool, seekable);
        QFETCH(QString, playLabel);
        QFETCH(QString, enabled);

        m_strip->setMedia(media ? "song.wav" : "", media ? "/music/song.wav" : "");
        m_strip->setDuration(60000);
        m_strip->setSeekable(seekable);
        m_strip->setState(state);
        const QList<bool> shown = {part<QToolButton>("playButton")->isEnabled(),
                                   part<QToolButton>("stopButton")->isEnabled(),
                                   part<QSlider>("seekSlider")->isEnabled(),
                                   action("Play")->isEnabled(),
                                   action("Pause")->isEnabled(),
                                   action("Stop")->isEnabled()};
        QString got;
        for (int i = 0; i < shown.size(); ++i)
            got += shown[i] ? enabled[i] == '-' ? QChar('?') : enabled[i] : QChar('-');
        QCOMPARE(got, enabled);
        QCOMPARE(part<QToolButton>("playButton")->accessibleName(), playLabel);
        QCOMPARE(part<QLabel>("timeLabel")->text().isEmpty(), !media);
    }

    void positionDoesNotFightADrag()
    {
        m_strip->setMedia("song.wav", "/music/song.wav");
        m_strip->setSeekable(true);
        m_strip->setDuration(60000);
        auto* slider = part<QSlider>("seekSlider");
        slider->setSliderDown(true);
        slider->setSliderPosition(30000);
        m_strip->setPosition(1000);
        QCOMPARE(slider->sliderPosition(), 30000);
        QCOMPARE(part<QLabel>("timeLabel")->text(), QStringLiteral("0:01 / 1:00"));
        slider->setSliderDown(false);
        m_strip->setPosition(31000);
        QCOMPARE(slider->value(), 31000);
    }

    void menuOffersTheCommands()
    {
        QStringList texts;
        for (QAction* a : m_strip->actions())
            if (!a->isSeparator())
                texts << a->text();
        QCOMPARE(texts, QStringList({"Play", "Pause", "Stop", "Back 10 Seconds",
                                     "Forward 10 Seconds", "Mute", "Volume Up", "Volume Down"}));
        QCOMPARE(m_strip->contextMenuPolicy(), Qt::ActionsContextMenu);
        m_strip->setVolume(100);
        QVERIFY(!action("Volume Up")->isEnabled());
        m_strip->setVolume(0);
        QVERIFY(!action("Volume Down")->isEnabled());
        m_strip->setMuted(true);
        QVERIFY(action("Mute")->isChecked());
    }

    void formatsTime_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0ll << "0:00";
        QTest::newRow("under a second") << 999ll << "0:00";
        QTest::newRow("one second") << 1000ll << "0:01";
        QTest::newRow("under a minute") << 59999ll << "0:59";
        QTest::newRow("a minute") << 60000ll << "1:00";
        QTest::newRow("minutes") << 725000ll << "12:05";
        QTest::newRow("under an hour") << 3599000ll << "59:59";
        QTest::newRow("an hour") << 3600000ll << "1:00:00";
        QTest::newRow("hours") << 36061000ll << "10:01:01";
        QTest::newRow("negative") << -5000ll << "0:00";
    }

    void formatsTime()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(PlayerStrip::formatTime(ms), text);
    }

    void sitsOnTheMainWindow()
    {
        const std::unique_ptr<WindowSet> windows = testsupport::makeWindowSet();
        FrmCorvalo* main = windows->mainWindow();
        WindowSet::show(main);
        QVERIFY(QTest::qWaitForWindowExposed(main));
        auto* strip = qobject_cast<PlayerStrip*>(main->playerStrip());
        QVERIFY(strip);
        QCOMPARE(main->findChildren<QWidget*>("WindowsMediaPlayer1").size(), 1);
        QCOMPARE(strip->geometry(), QRect(0, 200, 249, 43));
        QCOMPARE(main->musicPlayer()->strip(), strip);
        for (QWidget* child : strip->findChildren<QWidget*>())
            QVERIFY2(strip->rect().contains(child->geometry()), qPrintable(child->objectName()));

        // Tab order: after "MC" (28) comes the strip (29), its controls in reading order.
        strip->setMedia("song.wav", "/music/song.wav");
        strip->setState(State::Playing);
        strip->setSeekable(true);
        strip->setDuration(1000);
        QStringList order;
        QWidget* w = main->findChild<QPushButton*>("CmdMemC");
        for (int i = 0; i < 5; ++i) {
            do
                w = w->nextInFocusChain();
            while (w->focusPolicy() == Qt::NoFocus || w->focusProxy());
            order << w->objectName();
        }
        QCOMPARE(order, QStringList({"playButton", "stopButton", "seekSlider", "muteButton",
                                     "volumeSlider"}));
    }
};

QTEST_MAIN(PlayerStripTest)
#include "playerstrip_test.moc"

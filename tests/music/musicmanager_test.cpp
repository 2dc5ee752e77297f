#include "app/windowset.h"
#include "fakemedia.h"
#include "look/appearance.h"
#include "look/picturebutton.h"
#include "look/product.h"
#include "music/musicmanager.h"
#include "music/musicplayer.h"
#include "soundfiles.h"
#include "testsupport.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDirIterator>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

using corvalo::Colour;
using testsupport::MessageBoxCatcher;

namespace {

const QStringList descriptions = {"All Files(*.*)", "MP3 files (*.mp3,*.m3u)",
                                  "windows media player files(*.asf,*.wma,*.wmx)",
                                  "Audio File(.wav)", "Midi Files(.Mid, .midi, .rmi)"};

// Runs answer on the file dialog as soon as it is up; the dialog is modal, so this has to be
// arranged before the click that opens it. The watch ends when the returned timer goes.
[[nodiscard]] std::unique_ptr<QTimer> whenDialogOpens(std::function<void(QFileDialog*)> answer)
{
    auto timer = std::make_unique<QTimer>();
    QObject::connect(timer.get(), &QTimer::timeout, [watch = timer.get(), answer] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            if (dialog && dialog->isVisible()) {
                watch->stop();
                answer(dialog);
                return;
            }
        }
    });
    timer->start(10);
    return timer;
}

// Every file below a folder, with its path relative to it.
QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

QStringList shownFiles(QFileDialog* dialog)
{
    auto* model = dialog->findChild<QFileSystemModel*>();
    const QModelIndex root = model->index(dialog->directory().absolutePath());
    QStringList names;
    for (int row = 0; row < model->rowCount(root); ++row)
        if (!model->isDir(model->index(row, 0, root)))
            names << model->fileName(model->index(row, 0, root));
    names.sort(Qt::CaseInsensitive);
    return names;
}

} // namespace

class MusicManagerTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<WindowSet> m_windows;
    testsupport::FakeMedia m_media;
    QPointer<frmmusic> m_window;

    QString file(const QString& name) const { return m_dir.filePath(name); }
    template <class W = QWidget> W* control(const QString& name) const
    {
        W* w = m_window->findChild<W*>(name);
        if (!w)
            qFatal("no control %s", qPrintable(name));
        return w;
    }
    void click(const char* name) { QTest::mouseClick(control<QPushButton>(name), Qt::LeftButton); }

private slots:
    void initTestCase()
    {
        testsupport::prepareApplication();
        QVERIFY(m_dir.isValid());
        QVERIFY(soundfiles::writeWav(file("song.wav"), 300));
        QVERIFY(soundfiles::writeWav(file("other.wav"), 300));
        QVERIFY(QDir(m_dir.path()).mkdir("folder"));
    }

    void init()
    {
        m_windows = testsupport::makeWindowSet();
        m_windows->setMediaBackendLoader([this](QString*) { return &m_media; });
        m_windows->setStoreUrl(QUrl("about:blank"));
        m_window = m_windows->musicManager();
        WindowSet::show(m_window);
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
    }

    void cleanup() { m_windows.reset(); }

    void windowAsDesigned()
    {
        QCOMPARE(m_window->objectName(), QStringLiteral("frmmusic"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Music selection"));
        QCOMPARE(m_window->size(), QSize(312, 164));
        QVERIFY(!m_window->windowIcon().isNull());
        QVERIFY(m_window->isWindow());
        QVERIFY(m_window->minimumSize() != m_window->maximumSize());
        m_window->resize(500, 300); // resizing moves nothing
        QCOMPARE(control("cmdBrowse")->geometry(), QRect(24, 40, 81, 25));
    }

    void controlsAsDesigned_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QRect>("rect");
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("pixels");

        const QString store =
            "Click Here To Buy From " + QLatin1String(corvalo::product::storeName);
        QTest::newRow("cmdBrowse") << "cmdBrowse"
                                   << "PictureButton"
                                   << "Browse" << QRect(24, 40, 81, 25) << "Comic Sans MS" << 16;
        QTest::newRow("txtrun") << "txtrun"
                                << "QLineEdit"
                                << "" << QRect(120, 40, 161, 27) << "MS Sans Serif" << 11;
        QTest::newRow("CmdPlay") << "CmdPlay"
                                 << "PictureButton"
                                 << "Play" << QRect(120, 80, 73, 25) << "Comic Sans MS" << 16;
        QTest::newRow("Label1") << "Label1"
                                << "QLabel"
                                << "Type in or browse for your music file then press play."
                                << QRect(40, 8, 257, 25) << "MS Sans Serif" << 11;
        QTest::newRow("Command1") << "Command1"
                                  << "QPushButton" << store << QRect(32, 128, 249, 25)
                                  << "MS Sans Serif" << 11;
        QTest::newRow("Image1") << "Image1"
                                << "QLabel"
                                << "" << QRect(0, 0, 313, 164) << "MS Sans Serif" << 11;
    }

    void controlsAsDesigned()
    {
        QFETCH(QString, name);
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(QRect, rect);
        QFETCH(QString, family);
        QFETCH(int, pixels);

        QWidget* w = control(name);
        QCOMPARE(QString::fromLatin1(w->metaObject()->className()), kind);
        QString text;
        if (auto* b = qobject_cast<QPushButton*>(w))
            text = b->text();
        else if (auto* l = qobject_cast<QLabel*>(w))
            text = l->text();
        else if (auto* e = qobject_cast<QLineEdit*>(w))
            text = e->text();
        QCOMPARE(text, caption);
        QCOMPARE(w->geometry(), rect);
        QCOMPARE(w->font().family(), corvalo::layoutFont(family, 8).family());
        QCOMPARE(w->font().pixelSize(), pixels);
        QVERIFY(w->isVisible());
    }

    void coloursAndPictures()
    {
        QCOMPARE(corvalo::backColour(control("txtrun")), Colour::fromRgb(0x804040));
        QCOMPARE(corvalo::foreColour(control("txtrun")), corvalo::SystemColour::WindowBackground);
        QCOMPARE(corvalo::foreColour(control("Label1")), corvalo::SystemColour::HighlightText);
        QVERIFY(!control("Label1")->autoFillBackground());
        const QPalette desktop = QApplication::palette();
        QPalette dark = desktop;
        dark.setColor(QPalette::Base, QColor(0x23, 0x26, 0x29));
        QApplication::setPalette(dark);
        const QPalette box = control("txtrun")->palette();
        QApplication::setPalette(desktop);
        QVERIFY(corvalo::contrastRatio(box.color(QPalette::Text), box.color(QPalette::Base)) >= 3);

        auto* image = control<QLabel>("Image1");
        QVERIFY(image->hasScaledContents());
        QCOMPARE(image->pixmap().toImage(), corvalo::picture("starsky.jpg").toImage());

        const QImage snowflakes = corvalo::picture("snowflakes.bmp").toImage();
        for (const char* name : {"cmdBrowse", "CmdPlay"}) {
            auto* button = control<PictureButton>(name);
            QCOMPARE(button->picture().toImage(), snowflakes);
            // Centred behind the caption: the face's corner shows the matching part of the picture.
            const QImage shown = button->grab().toImage();
            const QPoint offset((snowflakes.width() - button->width()) / 2,
                                (snowflakes.height() - button->height()) / 2);
            const QPoint corner(5, 4);
            QCOMPARE(QColor(shown.pixel(corner)), QColor(snowflakes.pixel(corner + offset)));
        }
    }

    void stackAndTabOrder()
    {
        QCOMPARE(m_window->childAt(5, 150)->objectName(), QStringLiteral("Image1"));
        QCOMPARE(m_window->childAt(45, 12)->objectName(), QStringLiteral("Label1"));
        QCOMPARE(m_window->childAt(30, 50)->objectName(), QStringLiteral("cmdBrowse"));
        QCOMPARE(m_window->childAt(200, 50)->objectName(), QStringLiteral("txtrun"));

        QCOMPARE(QApplication::focusWidget(), control("cmdBrowse"));
        QStringList order;
        QWidget* w = control("cmdBrowse");
        for (int i = 0; i < 4; ++i) {
            do
                w = w->nextInFocusChain();
            while (w->focusPolicy() == Qt::NoFocus);
            order << w->objectName();
        }
        QCOMPARE(order, QStringList({"txtrun", "CmdPlay", "Command1", "cmdBrowse"}));
    }

    void dialogOffersTheFileTypes_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QStringList>("shown");

        QTest::newRow("all") << 0
                             << QStringList({"a.mp3", "b.m3u", "c.wma", "d.wmx", "e.asf", "f.wax",
                                             "g.wav", "h.mid", "i.MIDI", "j.rmi", "k.txt",
                                             "noext"});
        QTest::newRow("mp3") << 1 << QStringList({"a.mp3", "b.m3u"});
        QTest::newRow("windows media") << 2 << QStringList({"c.wma", "d.wmx", "e.asf", "f.wax"});
        QTest::newRow("wav") << 3 << QStringList({"g.wav"});
        QTest::newRow("midi") << 4 << QStringList({"h.mid", "i.MIDI", "j.rmi"});
    }

    void dialogOffersTheFileTypes()
    {
        QFETCH(int, index);
        QFETCH(QStringList, shown);

        QTemporaryDir folder;
        for (const char* name : {"a.mp3", "b.m3u", "c.wma", "d.wmx", "e.asf", "f.wax", "g.wav",
                                 "h.mid", "i.MIDI", "j.rmi", "k.txt", "noext"})
            QVERIFY(soundfiles::writeBytes(folder.filePath(name), "x"));

        QStringList offered;
        QStringList listed;
        bool native = true;
        QFileDialog::FileMode mode = QFileDialog::AnyFile;
        const auto answering = whenDialogOpens([&](QFileDialog* dialog) {
            auto* types = dialog->findChild<QComboBox*>("fileTypeCombo");
            for (int i = 0; i < types->count(); ++i)
                offered << types->itemText(i);
            native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
            mode = dialog->fileMode();
            dialog->setDirectory(folder.path());
            dialog->selectNameFilter(dialog->nameFilters().at(index));
            (void)QTest::qWaitFor([&] { return shownFiles(dialog) == shown; }, 5000);
            listed = shownFiles(dialog);
            dialog->reject();
        });
        click("cmdBrowse");
        QCOMPARE(offered, descriptions);
        QVERIFY(!native);
        QCOMPARE(mode, QFileDialog::ExistingFile);
        QCOMPARE(listed, shown);
    }

    void browseFillsTheBoxCancelKeepsIt_data()
    {
        // Steps: "type:<text>", "pick:<file>" (Browse, then pick it), "cancel" (Browse, cancel).
        // "enter:<file>" (Browse, type its name, Enter), "play" (Play: the box's file plays).
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QString>("expected"); // "%DIR%" stands for the scratch folder

        QTest::newRow("pick") << QStringList{"pick:song.wav"} << "%DIR%/song.wav";
        QTest::newRow("pick replaces typed")
            << QStringList{"type:abc", "pick:song.wav"} << "%DIR%/song.wav";
        QTest::newRow("cancel keeps empty") << QStringList{"cancel"} << "";
        QTest::newRow("cancel keeps typed")
            << QStringList{"type:my tune.mp3", "cancel"} << "my tune.mp3";
        QTest::newRow("cancel keeps edited pick")
            << QStringList{"pick:song.wav", "type:other.wav", "cancel"} << "other.wav";
        QTest::newRow("second pick")
            << QStringList{"pick:song.wav", "pick:other.wav"} << "%DIR%/other.wav";
        QTest::newRow("pick after cancel")
            << QStringList{"cancel", "pick:other.wav"} << "%DIR%/other.wav";
        QTest::newRow("typed in the dialog, Enter, Play")
            << QStringList{"enter:song.wav", "play"} << "%DIR%/song.wav";
    }

    void browseFillsTheBoxCancelKeepsIt()
    {
        QFETCH(QStringList, steps);
        QFETCH(QString, expected);

        auto* box = control<QLineEdit>("txtrun");
        for (const QString& step : steps) {
            if (step.startsWith("type:")) {
                box->clear();
                QTest::keyClicks(box, step.mid(5));
                continue;
            }
            if (step == "play") {
                click("CmdPlay");
                QCOMPARE(m_windows->mainWindow()->musicPlayer()->queue(),
                         QList<QUrl>{QUrl::fromLocalFile(box->text())});
                continue;
            }
            const bool typed = step.startsWith("enter:");
            const QString pick = step.contains(':') ? file(step.section(':', 1)) : QString();
            const auto answering = whenDialogOpens([pick, typed](QFileDialog* dialog) {
                if (pick.isEmpty()) {
                    dialog->reject();
                } else {
                    dialog->setDirectory(QFileInfo(pick).absolutePath());
                    auto* name = dialog->findChild<QLineEdit*>("fileNameEdit");
                    if (typed) { // its completion list comes up
                        name->setFocus();
                        QTest::keyClicks(name, QFileInfo(pick).fileName() + "\r");
                        return;
                    }
                    // selectFile() does not overwrite a name box that has the focus.
                    if (QWidget* typing = dialog->focusWidget())
                        typing->clearFocus();
                    dialog->selectFile(pick);
                    if (dialog->selectedFiles() == QStringList{pick})
                        static_cast<QDialog*>(dialog)->accept();
                    else
                        dialog->reject();
                }
            });
            click("cmdBrowse");
            QVERIFY(!m_window->fileDialog()->isVisible());
            QTRY_COMPARE(QApplication::focusWidget(), box);
        }
        QCOMPARE(box->text(), QString(expected).replace("%DIR%", m_dir.path()));
    }

    void playChecksTheName_data()
    {
        QTest::addColumn<QString>("text"); // "%DIR%" stands for the scratch folder
        QTest::addColumn<bool>("warned");

        QTest::newRow("empty") << "" << true;
        QTest::newRow("blank") << "   " << true;
        QTest::newRow("missing") << "%DIR%/missing.wav" << true;
        QTest::newRow("folder") << "%DIR%/folder" << true;
        QTest::newRow("trailing blank") << "%DIR%/song.wav " << true;
        QTest::newRow("different case") << "%DIR%/SONG.WAV" << true;
        QTest::newRow("typed existing file") << "%DIR%/song.wav" << false;
        QTest::newRow("dots in the path") << "%DIR%/folder/../song.wav" << false;
    }

    void playChecksTheName()
    {
        QFETCH(QString, text);
        QFETCH(bool, warned);

        MessageBoxCatcher boxes;
        control<QLineEdit>("txtrun")->setText(QString(text).replace("%DIR%", m_dir.path()));
        click("CmdPlay"); // the warning, if any, is answered before the click returns
        const QWidgetList mains = testsupport::topLevels("FrmCorvalo");
        auto* main = mains.isEmpty() ? nullptr : qobject_cast<FrmCorvalo*>(mains.first());
        if (warned) {
            QCOMPARE(boxes.seen().size(), size_t(1));
            QCOMPARE(boxes.seen().front().title, QStringLiteral("Error"));
            QCOMPARE(boxes.seen().front().text,
                     QStringLiteral("Error: You must enter a valid filename!"));
            QCOMPARE(boxes.seen().front().icon, QMessageBox::Warning);
            QVERIFY(!main); // nothing was handed on
        } else {
            QVERIFY(boxes.seen().empty());
            QVERIFY(main && main->isVisible());
            MusicPlayer* player = main->musicPlayer();
            QCOMPARE(player->queue(), QList<QUrl>{QUrl::fromLocalFile(file("song.wav"))});
        }
    }

    void warningLeavesThePlayerAsItWas()
    {
        control<QLineEdit>("txtrun")->setText(file("song.wav"));
        click("CmdPlay");
        MusicPlayer* player = m_windows->mainWindow()->musicPlayer();
        const QUrl playing = player->source();
        QVERIFY(!playing.isEmpty());

        MessageBoxCatcher boxes;
        control<QLineEdit>("txtrun")->setText(file("missing.wav"));
        click("CmdPlay");
        QTRY_COMPARE(boxes.seen().size(), size_t(1));
        QCOMPARE(player->source(), playing);
        QCOMPARE(player->queue(), QList<QUrl>{playing});
    }

    // Qt's file dialog would keep its history and last folder in the user's settings.
    void browsingWritesNothingUnderHome_data()
    {
        QTest::addColumn<bool>("pick");
        QTest::newRow("pick") << true;
        QTest::newRow("cancel") << false;
    }

    void browsingWritesNothingUnderHome()
    {
        QFETCH(bool, pick);
        const QString home = QDir::homePath();
        QVERIFY2(home.startsWith(QDir::tempPath() + "/"), qPrintable(home)); // a private one
        const QStringList before = filesBelow(home);
        const QString song = file("song.wav");
        const auto answering = whenDialogOpens([&](QFileDialog* dialog) {
            dialog->setDirectory(m_dir.path());
            if (QWidget* typing = dialog->focusWidget())
                typing->clearFocus();
            dialog->selectFile(song);
            if (pick && dialog->selectedFiles() == QStringList{song})
                static_cast<QDialog*>(dialog)->accept();
            else
                dialog->reject();
        });
        click("cmdBrowse");
        QCOMPARE(control<QLineEdit>("txtrun")->text(), pick ? song : QString());
        m_window->close(); // the dialog goes with the window
        QTRY_VERIFY(m_window.isNull());
        QCOMPARE(filesBelow(home), before);
    }

    void storeButtonOpensTheStore()
    {
        QCOMPARE(control<QPushButton>("Command1")->text(),
                 "Click Here To Buy From " + QLatin1String(corvalo::product::storeName));
        click("Command1");
        QVERIFY(m_windows->store().isStarting());
        QVERIFY(m_window->isVisible());
    }

    void reopenedWindowStartsAfresh()
    {
        control<QLineEdit>("txtrun")->setText("something");
        const auto answering = whenDialogOpens([](QFileDialog* dialog) { dialog->reject(); });
        click("cmdBrowse");
        m_window->close();
        QTRY_VERIFY(m_window.isNull());
        m_window = m_windows->musicManager();
        QCOMPARE(control<QLineEdit>("txtrun")->text(), QString());
        QVERIFY(!m_window->fileDialog());
    }
};

QTEST_MAIN(MusicManagerTest)
#include "musicmanager_test.moc"

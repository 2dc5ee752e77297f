// Memory and threads while the player plays one short file after another, as the music manager
// hands them over: WAV, MP3 and MIDI files of half a second, each a file of its own. Prints, after
// the plays named, a line "plays resident_kib threads".
//   plays PLUGIN [plays, default 60]
#include "music/musicplayer.h"
#include "selfstatus.h"
#include "soundfiles.h"
#include "windows/mainwindow.h"

#include <QApplication>
#include <QDir>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    QPluginLoader loader(QString::fromLocal8Bit(argv[1]));
    const int plays = argc > 2 ? std::atoi(argv[2]) : 60;

    QTemporaryDir dir;
    QStringList files;
    for (int i = 0; i < plays; ++i) {
        const QString name = dir.filePath(QStringLiteral("song%1.").arg(i));
        // Plays 10, 60 and 200 are all MP3 files, so that they compare.
        switch (i % 5) {
        case 0:
        case 3:
            files << name + "wav";
            soundfiles::writeWav(files.last(), 500);
            break;
        case 1:
        case 4:
            files << name + "mp3";
            soundfiles::encodeTone(files.last(), 500, {QStringLiteral("lamemp3enc")});
            break;
        default:
            files << name + "mid";
            soundfiles::writeMidi(files.last(), 2);
        }
    }
    FrmCorvalo window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    MusicPlayer* player = window.musicPlayer();
    player->setBackendLoader(
        [&](QString*) { return qobject_cast<MediaBackend*>(loader.instance()); });
    for (int i = 0; i < plays; ++i) {
        player->setLocation(files.at(i));
        // Through and rewound, or given up.
        if (!QTest::qWaitFor(
                [&] {
                    return player->state() == MusicPlayer::State::Stopped ||
                           player->state() == MusicPlayer::State::Empty;
                },
                10000)) {
            std::fprintf(stderr, "%s did not play through\n", qPrintable(files.at(i)));
            return 1;
        }
        if (i + 1 == 1 || i + 1 == 10 || i + 1 == 60 || (i + 1) % 50 == 0 || i + 1 == plays)
            std::printf("%d %ld %lld\n", i + 1, selfstatus::residentKiB(),
                        static_cast<long long>(selfstatus::threads()));
        std::fflush(stdout);
    }
    return 0;
}

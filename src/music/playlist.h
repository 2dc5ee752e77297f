#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

namespace corvalo::music {

enum class PlaylistFormat { None, M3u, Asx };

// Told by the file name's suffix: .m3u and .m3u8 are line lists, .wax and .wmx are ASX.
PlaylistFormat playlistFormat(const QString& fileName);
// Told by what a file begins with, where its name does not tell: an ASX playlist (the usual
// .asx) or an extended M3U list.
PlaylistFormat playlistFormatOfText(const QByteArray& start);
// What a local file is to the player: a playlist by its name or, unless its name is that of a
// sound file the music manager offers, by its start, which is read for it. *text tells whether
// that start is text (and so no sound).
PlaylistFormat playlistFormatOfFile(const QString& path, bool* text);
// Says which files are read as playlists, for a file that is text but none.
QString playlistsRead();

// A playlist beyond these limits is refused rather than read.
inline constexpr qint64 maxPlaylistBytes = 1024 * 1024;
inline constexpr int maxPlaylistEntries = 10000;

struct ParsedPlaylist {
    // Each entry's references, most preferred first (an ASX entry may offer several).
    QList<QStringList> entries;
    QString error; // a sentence for the user; empty when the text could be read
};

// Text of the playlist: a byte-order mark wins, then UTF-8 if the bytes are valid UTF-8, else
// Latin-1, which is what old Windows playlists mostly are.
QString decodePlaylistText(const QByteArray& data);

ParsedPlaylist parseM3u(const QByteArray& data);
ParsedPlaylist parseAsx(const QByteArray& data);

// Where one reference points: a local file (relative ones taken from baseDir, Windows
// separators accepted) or a streaming URL. An empty QUrl when it cannot be played.
QUrl resolveReference(const QString& reference, const QString& baseDir);

struct Playlist {
    QList<QUrl> entries;
    QString error;
};

// A local file's name as the file system holds it. A playlist written in another encoding may name
// files whose names are no Unicode text: their URLs keep the bytes percent-encoded.
QByteArray localFileBytes(const QUrl& url);
QUrl urlOfLocalBytes(const QByteArray& path);
// Is it a regular file that can be read, not a folder, a pipe or a device that may never answer?
bool isReadableFile(const QUrl& url);

// Is there something at this location worth handing to the player?
using Availability = std::function<bool(const QUrl&)>;
bool isAvailable(const QUrl& url);

// Reads the playlist at path and keeps, for each entry, its first reference that is available;
// an entry without one is left out. No entry left is an error.
Playlist loadPlaylist(const QString& path, const Availability& available = isAvailable);

} // namespace corvalo::music

#include "playlist.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace corvalo::music {

namespace {

const QStringList streamingSchemes = {"http", "https", "mms", "mmsh", "rtsp"};

ParsedPlaylist failure(const QString& error)
{
    return {{}, error};
}

QString tooManyEntries()
{
    return QStringLiteral("The playlist has more than %1 entries.").arg(maxPlaylistEntries);
}

bool sameName(QStringView a, QLatin1StringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString hrefOf(const QXmlStreamAttributes& attributes)
{
    for (const QXmlStreamAttribute& a : attributes)
        if (sameName(a.name(), QLatin1StringView("href")))
            return a.value().toString();
    return {};
}

} // namespace

PlaylistFormat playlistFormat(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("m3u") || suffix == QLatin1String("m3u8"))
        return PlaylistFormat::M3u;
    if (suffix == QLatin1String("wax") || suffix == QLatin1String("wmx"))
        return PlaylistFormat::Asx;
    return PlaylistFormat::None;
}

PlaylistFormat playlistFormatOfText(const QByteArray& start)
{
    static const QRegularExpression asx(
        QStringLiteral(R"(^\s*(<\?xml[^>]*>\s*)?(<!--.*?-->\s*)*<asx[\s>])"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    const QString text = decodePlaylistText(start);
    if (asx.match(text).hasMatch())
        return PlaylistFormat::Asx;
    if (QStringView(text).trimmed().startsWith(QLatin1String("#EXTM3U")))
        return PlaylistFormat::M3u;
    return PlaylistFormat::None;
}

PlaylistFormat playlistFormatOfFile(const QString& path, bool* text)
{
    *text = false;
    if (const PlaylistFormat format = playlistFormat(path); format != PlaylistFormat::None)
        return format;
    // The sound files are left to the player, which reads them on a thread of its own.
    static const QStringList soundSuffixes = {"mp3", "wma", "asf", "wav", "mid", "midi", "rmi"};
    if (soundSuffixes.contains(QFileInfo(path).suffix().toLower()))
        return PlaylistFormat::None;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return PlaylistFormat::None;
    const QByteArray start = file.read(512);
    *text = !start.isEmpty() && std::all_of(start.begin(), start.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 || std::strchr("\t\n\r\f", c);
    });
    return *text ? playlistFormatOfText(start) : PlaylistFormat::None;
}

QString playlistsRead()
{
    return QStringLiteral("Playlists are files ending in .m3u, .m3u8, .wax or .wmx, and ASX "
                          "playlists (.asx) or extended M3U lists of any name.");
}

QString decodePlaylistText(const QByteArray& data)
{
    if (auto bom = QStringConverter::encodingForData(data)) {
        QStringDecoder decoder(*bom);
        return decoder.decode(data);
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(data);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(data);
}

ParsedPlaylist parseM3u(const QByteArray& data)
{
    ParsedPlaylist result;
    QString text = decodePlaylistText(data);
    text.replace(QLatin1Char('\r'), QLatin1Char('\n')); // CRLF and old Mac line ends alike
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        if (result.entries.size() == maxPlaylistEntries)
            return failure(tooManyEntries());
        result.entries.append(QStringList{line.toString()});
    }
    return result;
}

ParsedPlaylist parseAsx(const QByteArray& data)
{
    ParsedPlaylist result;
    QXmlStreamReader xml(decodePlaylistText(data));
    bool sawRoot = false;
    int entryDepth = -1; // element depth of the open <entry>, or -1
    int depth = 0;
    while (!xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement: {
            ++depth;
            const QStringView name = xml.name();
            if (!sawRoot) {
                if (!sameName(name, QLatin1StringView("asx")))
                    return failure(QStringLiteral("The playlist is not an ASX playlist."));
                sawRoot = true;
            } else if (entryDepth < 0 && sameName(name, QLatin1StringView("entry"))) {
                if (result.entries.size() == maxPlaylistEntries)
                    return failure(tooManyEntries());
                entryDepth = depth;
                result.entries.append(QStringList{});
            } else if (entryDepth >= 0 && sameName(name, QLatin1StringView("ref"))) {
                const QString href = hrefOf(xml.attributes()).trimmed();
                if (!href.isEmpty())
                    result.entries.last().append(href);
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            if (depth == entryDepth)
                entryDepth = -1;
            --depth;
            break;
        default:
            break;
        }
    }
    if (xml.hasError())
        return failure(QStringLiteral("The playlist is not valid XML (line %1: %2).")
                           .arg(xml.lineNumber())
                           .arg(xml.errorString()));
    if (!sawRoot)
        return failure(QStringLiteral("The playlist is not an ASX playlist."));
    result.entries.removeIf([](const QStringList& refs) { return refs.isEmpty(); });
    return result;
}

QUrl resolveReference(const QString& reference, const QString& baseDir)
{
    const QString ref = reference.trimmed();
    if (ref.isEmpty())
        return {};
    // Two letters at least, so that "C:" stays a drive and is not taken for a scheme.
    static const QRegularExpression schemed(QStringLiteral("^([A-Za-z][A-Za-z0-9+.-]+):"));
    QString path = ref;
    if (const auto match = schemed.match(ref); match.hasMatch()) {
        const QString scheme = match.captured(1).toLower();
        QUrl url(ref, QUrl::TolerantMode);
        if (scheme == QLatin1String("file")) {
            if (!url.isValid())
                return {};
            if (url.host().compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
                url.setHost(QString());
            path = url.toLocalFile();
        } else {
            if (!streamingSchemes.contains(scheme) || !url.isValid() || url.host().isEmpty())
                return {};
            return url;
        }
    } else {
        path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    }
    if (path.isEmpty())
        return {};
    if (QDir::isRelativePath(path))
        path = QDir(baseDir).filePath(path);
    return QUrl::fromLocalFile(QDir::cleanPath(path));
}

QByteArray localFileBytes(const QUrl& url)
{
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
}

QUrl urlOfLocalBytes(const QByteArray& path)
{
    return QUrl::fromEncoded("file://" + path.toPercentEncoding("/"), QUrl::StrictMode);
}

bool isReadableFile(const QUrl& url)
{
    const QByteArray path = localFileBytes(url);
    struct stat info;
    return url.isLocalFile() && stat(path.constData(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.constData(), R_OK) == 0;
}

bool isAvailable(const QUrl& url)
{
    if (!url.isLocalFile())
        return url.isValid() && !url.isEmpty();
    // Playlists inside playlists are not followed.
    return isReadableFile(url) && playlistFormat(url.fileName()) == PlaylistFormat::None;
}

Playlist loadPlaylist(const QString& path, const Availability& available)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, QStringLiteral("The playlist cannot be read: %1.").arg(file.errorString())};
    // Read one byte past the limit: the size a device reports is not always its true length.
    const QByteArray data = file.read(maxPlaylistBytes + 1);
    if (data.size() > maxPlaylistBytes)
        return {{},
                QStringLiteral("The playlist is larger than %1 KB.").arg(maxPlaylistBytes / 1024)};

    PlaylistFormat format = playlistFormat(path);
    if (format == PlaylistFormat::None)
        format = playlistFormatOfText(data);
    const ParsedPlaylist parsed = format == PlaylistFormat::Asx ? parseAsx(data) : parseM3u(data);
    if (!parsed.error.isEmpty())
        return {{}, parsed.error};

    Playlist playlist;
    const QString baseDir = QFileInfo(path).absolutePath();
    // Names read as Latin-1 may stand for the bytes of names in no encoding at all.
    const bool latin1 =
        !QStringConverter::encodingForData(data) && !QUtf8StringView(data).isValidUtf8();
    for (const QStringList& refs : parsed.entries) {
        for (const QString& ref : refs) {
            QUrl url = resolveReference(ref, baseDir);
            if (latin1 && url.isLocalFile() && !available(url)) {
                const QString name = url.toLocalFile();
                url = urlOfLocalBytes(name.startsWith(baseDir)
                                          ? QFile::encodeName(baseDir) +
                                                name.mid(baseDir.size()).toLatin1()
                                          : name.toLatin1());
            }
            if (!url.isEmpty() && available(url)) {
                playlist.entries.append(url);
                break;
            }
        }
    }
    if (playlist.entries.isEmpty())
        playlist.error = QStringLiteral("The playlist has no playable entry.");
    return playlist;
}

} // namespace corvalo::music

#include "music/playlist.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

using namespace corvalo::music;

namespace {

QByteArray bytes(const std::string& text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

std::vector<std::vector<std::string>> entriesOf(const ParsedPlaylist& parsed)
{
    std::vector<std::vector<std::string>> out;
    for (const QStringList& refs : parsed.entries) {
        out.emplace_back();
        for (const QString& ref : refs)
            out.back().push_back(ref.toStdString());
    }
    return out;
}

void writeFile(const QString& path, const QByteArray& data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(data);
}

} // namespace

TEST(PlaylistFormat, IsToldBySuffix)
{
    struct Row {
        const char* name;
        PlaylistFormat expected;
    };
    const Row rows[] = {
        {"list.m3u", PlaylistFormat::M3u},   {"LIST.M3U8", PlaylistFormat::M3u},
        {"/a/b/x.wax", PlaylistFormat::Asx}, {"x.WMX", PlaylistFormat::Asx},
        {"song.mp3", PlaylistFormat::None},  {"m3u", PlaylistFormat::None},
        {"x.m3u.wav", PlaylistFormat::None}, {"/dir.m3u/song.wav", PlaylistFormat::None},
        {"x.wma", PlaylistFormat::None},     {"", PlaylistFormat::None},
    };
    for (const Row& row : rows)
        EXPECT_EQ(playlistFormat(QString::fromUtf8(row.name)), row.expected) << row.name;
}

TEST(ParseM3u, ReadsOneEntryALine)
{
    struct Row {
        const char* name;
        std::string input;
        std::vector<std::string> expected;
    };
    const Row rows[] = {
        {"plain lines", "a.mp3\nb.wav\n", {"a.mp3", "b.wav"}},
        {"no final newline", "a.mp3", {"a.mp3"}},
        {"extended header and info", "#EXTM3U\n#EXTINF:12,Artist - Title\na.mp3\n", {"a.mp3"}},
        {"indented comment", "  # not a file\na.mp3\n", {"a.mp3"}},
        {"CRLF", "a.mp3\r\nb.mp3\r\n", {"a.mp3", "b.mp3"}},
        {"CR only", "a.mp3\rb.mp3\r", {"a.mp3", "b.mp3"}},
        {"blank lines and padding", "\n  a.mp3  \n\n\t\n", {"a.mp3"}},
        {"spaces inside a name", "My Songs/a b.mp3\n", {"My Songs/a b.mp3"}},
        {"UTF-8 BOM",
         "\xEF\xBB\xBF"
         "a.mp3\n",
         {"a.mp3"}},
        {"UTF-8 BOM before a comment", "\xEF\xBB\xBF#EXTM3U\na.mp3\n", {"a.mp3"}},
        {"UTF-8 name",
         "\xC3\x9C"
         "ber.mp3\n",
         {"\xC3\x9C"
          "ber.mp3"}},
        {"Latin-1 name",
         "\xDC"
         "ber.mp3\n",
         {"\xC3\x9C"
          "ber.mp3"}},
        {"UTF-16 with BOM",
         std::string("\xFF\xFE"
                     "a\0.\0m\0p\0"
                     "3\0\n\0",
                     14),
         {"a.mp3"}},
        {"URLs kept as written",
         "file:///x.mp3\nhttp://h/y.mp3\n",
         {"file:///x.mp3", "http://h/y.mp3"}},
        {"Windows path kept as written", "C:\\Music\\a.mp3\r\n", {"C:\\Music\\a.mp3"}},
        {"only comments", "#EXTM3U\n# x\n", {}},
        {"empty", "", {}},
    };
    for (const Row& row : rows) {
        const ParsedPlaylist parsed = parseM3u(bytes(row.input));
        EXPECT_TRUE(parsed.error.isEmpty()) << row.name;
        std::vector<std::vector<std::string>> expected;
        for (const std::string& e : row.expected)
            expected.push_back({e});
        EXPECT_EQ(entriesOf(parsed), expected) << row.name;
    }
}

TEST(ParseM3u, RefusesMoreEntriesThanTheLimit)
{
    struct Row {
        int lines;
        bool refused;
    };
    for (const Row row : {Row{maxPlaylistEntries, false}, Row{maxPlaylistEntries + 1, true}}) {
        QByteArray data = "#EXTM3U\n";
        for (int i = 0; i < row.lines; ++i)
            data += "f" + QByteArray::number(i) + ".mp3\n";
        const ParsedPlaylist parsed = parseM3u(data);
        EXPECT_EQ(!parsed.error.isEmpty(), row.refused) << row.lines;
        EXPECT_EQ(parsed.entries.size(), row.refused ? 0 : row.lines);
    }
}

TEST(ParseAsx, ReadsTheReferencesOfEachEntry)
{
    struct Row {
        const char* name;
        std::string input;
        std::vector<std::vector<std::string>> expected;
    };
    const Row rows[] = {
        {"two entries",
         R"(<asx version="3.0"><entry><ref href="a.wma"/></entry><entry><ref href="b.wma"/></entry></asx>)",
         {{"a.wma"}, {"b.wma"}}},
        {"upper case tags",
         R"(<ASX VERSION="3.0"><ENTRY><REF HREF="a.wma"/></ENTRY></ASX>)",
         {{"a.wma"}}},
        {"mixed case tags and attribute",
         R"(<Asx version="3.0"><Entry><Ref Href="a.wma"/></Entry></Asx>)",
         {{"a.wma"}}},
        {"alternatives in one entry",
         R"(<asx><entry><ref href="x.wma"/><ref href="y.wma"/></entry></asx>)",
         {{"x.wma", "y.wma"}}},
        {"titles, params and other elements",
         "<asx>\n <title>Mix</title>\n <entry>\n  <title>One</title>\n  <author>Me</author>\n"
         "  <param name=\"x\" value=\"y\"/>\n  <ref href=\"a.wma\"/>\n </entry>\n</asx>\n",
         {{"a.wma"}}},
        {"ref outside an entry",
         R"(<asx><ref href="stray.wma"/><entry><ref href="a.wma"/></entry></asx>)",
         {{"a.wma"}}},
        {"entry without ref",
         R"(<asx><entry><title>t</title></entry><entry><ref href="a.wma"/></entry></asx>)",
         {{"a.wma"}}},
        {"ref with empty href", R"(<asx><entry><ref href="  "/></entry></asx>)", {}},
        {"entries inside repeat",
         R"(<asx><repeat count="2"><entry><ref href="a.wma"/></entry></repeat></asx>)",
         {{"a.wma"}}},
        {"escaped characters",
         R"(<asx><entry><ref href="a&amp;b.wma"/></entry></asx>)",
         {{"a&b.wma"}}},
        {"declaration and BOM",
         "\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<asx>\r\n<entry><ref "
         "href=\"a.wma\"/></entry>\r\n</asx>\r\n",
         {{"a.wma"}}},
        {"Latin-1 without declaration",
         "<asx><entry><ref href=\"\xE9t\xE9.wma\"/></entry></asx>",
         {{"\xC3\xA9t\xC3\xA9.wma"}}},
        {"declared Windows encoding",
         "<?xml version=\"1.0\" encoding=\"windows-1252\"?><asx><entry><ref "
         "href=\"caf\xE9.wma\"/></entry></asx>",
         {{"caf\xC3\xA9.wma"}}},
        {"comment",
         "<asx><!-- <entry><ref href=\"no.wma\"/></entry> --><entry><ref "
         "href=\"a.wma\"/></entry></asx>",
         {{"a.wma"}}},
        {"empty asx", "<asx></asx>", {}},
    };
    for (const Row& row : rows) {
        const ParsedPlaylist parsed = parseAsx(bytes(row.input));
        EXPECT_TRUE(parsed.error.isEmpty()) << row.name << ": " << parsed.error.toStdString();
        EXPECT_EQ(entriesOf(parsed), row.expected) << row.name;
    }
}

TEST(ParseAsx, ReportsFilesThatAreNotAsx)
{
    struct Row {
        const char* name;
        std::string input;
        const char* errorPart;
    };
    const Row rows[] = {
        {"empty", "", "not valid XML"},
        {"plain text", "just a line of text", "not valid XML"},
        {"other root", R"(<smil><entry><ref href="a.wma"/></entry></smil>)", "not an ASX"},
        {"mismatched tags", R"(<asx><entry><ref href="a.wma"/></asx>)", "not valid XML"},
        {"end tag of another case", R"(<ASX><entry><ref href="a.wma"/></entry></asx>)",
         "not valid XML"},
        {"cut short", R"(<asx><entry><ref href="a.wma"/>)", "not valid XML"},
        {"unclosed quote", R"(<asx><entry><ref href="a.wma/></entry></asx>)", "not valid XML"},
        {"raw ampersand", R"(<asx><entry><ref href="a.wma?x=1&y=2"/></entry></asx>)",
         "not valid XML"},
        {"binary", std::string("\x00\x01\x02\xFF<asx>", 9), "not valid XML"},
        {"entity bomb",
         "<?xml version=\"1.0\"?><!DOCTYPE asx [<!ENTITY a \"aaaaaaaaaaaaaaaaaaaa\">"
         "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c "
         "\"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
         "<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e "
         "\"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
         "<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">]>"
         "<asx><entry><ref href=\"&f;\"/></entry></asx>",
         "not valid XML"},
    };
    for (const Row& row : rows) {
        const ParsedPlaylist parsed = parseAsx(bytes(row.input));
        EXPECT_TRUE(parsed.entries.isEmpty()) << row.name;
        EXPECT_TRUE(parsed.error.contains(QLatin1String(row.errorPart)))
            << row.name << ": " << parsed.error.toStdString();
    }
}

TEST(ParseAsx, RefusesMoreEntriesThanTheLimit)
{
    for (const int count : {maxPlaylistEntries, maxPlaylistEntries + 1}) {
        QByteArray data = "<asx>";
        for (int i = 0; i < count; ++i)
            data += "<entry><ref href=\"f" + QByteArray::number(i) + ".wma\"/></entry>";
        data += "</asx>";
        const ParsedPlaylist parsed = parseAsx(data);
        const bool refused = count > maxPlaylistEntries;
        EXPECT_EQ(!parsed.error.isEmpty(), refused) << count;
        EXPECT_EQ(parsed.entries.size(), refused ? 0 : count);
    }
}

TEST(ResolveReference, FindsLocalFilesAndStreams)
{
    // Local results are paths; streams are URLs; empty means nothing to play.
    struct Row {
        const char* name;
        const char* reference;
        const char* expected;
    };
    const Row rows[] = {
        {"relative", "a.mp3", "/music/a.mp3"},
        {"relative in a subfolder", "sub/a.mp3", "/music/sub/a.mp3"},
        {"dot", "./a.mp3", "/music/a.mp3"},
        {"parent folder", "../other/a.mp3", "/other/a.mp3"},
        {"Windows separators", "sub\\deeper\\a.mp3", "/music/sub/deeper/a.mp3"},
        {"padded", "  a.mp3\t", "/music/a.mp3"},
        {"absolute", "/srv/songs/a.mp3", "/srv/songs/a.mp3"},
        {"absolute with dots", "/srv/songs/../a.mp3", "/srv/a.mp3"},
        {"file URL", "file:///srv/a%20b.mp3", "/srv/a b.mp3"},
        {"file URL upper case", "FILE:///srv/a.mp3", "/srv/a.mp3"},
        {"file URL with localhost", "file://localhost/srv/a.mp3", "/srv/a.mp3"},
        {"drive letter is no scheme", "C:\\Music\\a.mp3", "/music/C:/Music/a.mp3"},
        {"http", "http://example.com/a.mp3", "http://example.com/a.mp3"},
        {"https", "https://example.com/radio", "https://example.com/radio"},
        {"mms", "mms://example.com/live", "mms://example.com/live"},
        {"stream without host", "http:/a.mp3", ""},
        {"unknown scheme", "javascript:alert(1)", ""},
        {"ftp", "ftp://example.com/a.mp3", ""},
        {"empty", "", ""},
        {"blank", "   ", ""},
    };
    for (const Row& row : rows) {
        const QUrl url = resolveReference(QString::fromUtf8(row.reference), "/music");
        const QString expected = QString::fromUtf8(row.expected);
        if (expected.isEmpty())
            EXPECT_TRUE(url.isEmpty()) << row.name << ": " << url.toString().toStdString();
        else if (expected.startsWith('/'))
            EXPECT_EQ(url.toLocalFile(), expected) << row.name;
        else
            EXPECT_EQ(url.toString(), expected) << row.name;
    }
}

TEST(LoadPlaylist, KeepsTheEntriesThatCanBePlayed)
{
    struct Row {
        const char* name;
        const char* playlist; // relative to the scratch folder
        std::string content;  // "%DIR%" stands for the scratch folder
        std::vector<std::string> expected;
        const char* errorPart;
    };
    const Row rows[] = {
        {"relative entries", "list.m3u", "a.wav\nb.wav\n", {"a.wav", "b.wav"}, ""},
        {"missing entries left out",
         "list.m3u",
         "a.wav\nmissing.wav\nb.wav\n",
         {"a.wav", "b.wav"},
         ""},
        {"from a subfolder", "sub/list.m3u8", "../a.wav\nc.wav\n", {"a.wav", "sub/c.wav"}, ""},
        {"absolute and file URL",
         "list.m3u",
         "%DIR%/b.wav\nfile://%DIR%/a.wav\n",
         {"b.wav", "a.wav"},
         ""},
        {"Windows playlist", "list.m3u", "#EXTM3U\r\nsub\\c.wav\r\n", {"sub/c.wav"}, ""},
        {"folder left out", "list.m3u", "sub\na.wav\n", {"a.wav"}, ""},
        {"nested playlist left out", "list.m3u", "other.m3u\nb.wav\n", {"b.wav"}, ""},
        {"stream kept",
         "list.m3u",
         "http://example.com/live.mp3\n",
         {"http://example.com/live.mp3"},
         ""},
        {"ASX first available ref",
         "list.wax",
         R"(<asx><entry><ref href="gone.wma"/><ref href="b.wav"/></entry><entry><ref href="a.wav"/></entry></asx>)",
         {"b.wav", "a.wav"},
         ""},
        {"ASX by its content, named .asx",
         "list.asx",
         R"(<?xml version="1.0"?><ASX version="3.0"><Entry><Ref href="a.wav"/></Entry></ASX>)",
         {"a.wav"},
         ""},
        {"WMX",
         "list.wmx",
         R"(<ASX><ENTRY><REF HREF="sub/c.wav"/></ENTRY></ASX>)",
         {"sub/c.wav"},
         ""},
        {"a Latin-1 list naming a file in no encoding",
         "list.m3u",
         "caf\xE9.wav\n",
         {"caf%E9.wav"},
         ""},
        {"nothing playable", "list.m3u", "missing.wav\n# only this\n", {}, "no playable entry"},
        {"empty", "list.m3u8", "", {}, "no playable entry"},
        {"bad XML", "list.wax", "<asx><entry>", {}, "not valid XML"},
        {"just at the size limit",
         "list.m3u",
         std::string(maxPlaylistBytes - 6, '#') + "\na.wav",
         {"a.wav"},
         ""},
        {"over the size limit",
         "list.m3u",
         std::string(maxPlaylistBytes - 5, '#') + "\na.wav",
         {},
         "larger than 1024 KB"},
    };
    for (const Row& row : rows) {
        QTemporaryDir scratch;
        ASSERT_TRUE(scratch.isValid());
        const QString dir = scratch.path();
        for (const char* file : {"a.wav", "b.wav", "sub/c.wav", "other.m3u"})
            writeFile(dir + "/" + file, "RIFF");
        // Qt cannot name this file, so it is made and removed here.
        const QByteArray noEncoding = QFile::encodeName(dir + "/caf") + "\xE9.wav";
        close(creat(noEncoding.constData(), 0600));
        QByteArray content = bytes(row.content);
        content.replace("%DIR%", dir.toUtf8());
        writeFile(dir + "/" + row.playlist, content);

        const Playlist playlist = loadPlaylist(dir + "/" + row.playlist);
        std::vector<std::string> got;
        for (const QUrl& url : playlist.entries)
            got.push_back(url.isLocalFile()
                              ? url.toString()
                                    .mid(QUrl::fromLocalFile(dir).toString().size() + 1)
                                    .toStdString()
                              : url.toString().toStdString());
        EXPECT_EQ(got, row.expected) << row.name;
        EXPECT_TRUE(playlist.error.contains(QLatin1String(row.errorPart)))
            << row.name << ": " << playlist.error.toStdString();
        EXPECT_EQ(playlist.error.isEmpty(), std::string(row.errorPart).empty()) << row.name;
        unlink(noEncoding.constData());
    }
}

TEST(LoadPlaylist, RefusesWhatCannotBeReadWhole)
{
    struct Row {
        const char* name;
        const char* path;
        const char* errorPart;
    };
    const Row rows[] = {
        {"missing playlist", "/nonexistent/folder/list.m3u", "cannot be read"},
        {"endless device", "/dev/zero", "larger than"},
    };
    for (const Row& row : rows) {
        const Playlist playlist = loadPlaylist(QString::fromUtf8(row.path));
        EXPECT_TRUE(playlist.entries.isEmpty()) << row.name;
        EXPECT_TRUE(playlist.error.contains(QLatin1String(row.errorPart)))
            << row.name << ": " << playlist.error.toStdString();
    }
}

TEST(LoadPlaylist, AsksWhetherEachReferenceIsAvailable)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString path = scratch.path() + "/list.m3u";
    writeFile(path, "one.wav\ntwo.wav\nthree.wav\n");
    QStringList asked;
    const Playlist playlist = loadPlaylist(path, [&](const QUrl& url) {
        asked.append(url.fileName());
        return url.fileName() != QLatin1String("two.wav");
    });
    EXPECT_EQ(asked, QStringList({"one.wav", "two.wav", "three.wav"}));
    ASSERT_EQ(playlist.entries.size(), 2);
    EXPECT_EQ(playlist.entries[0].fileName(), "one.wav");
    EXPECT_EQ(playlist.entries[1].fileName(), "three.wav");
}

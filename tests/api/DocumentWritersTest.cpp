// The exact bytes of the console and play-list documents, and that player
// texts can never break them.
#include "api/StatusDocuments.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace lyrebox {
namespace {

// Parses the document with libxml2's command-line checker.
bool isWellFormedXml(const std::string& document) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("lyrebox-doc-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                       std::to_string(reinterpret_cast<std::uintptr_t>(&document)) + ".xml");
    {
        std::ofstream out(path, std::ios::binary);
        out << document;
    }
    const std::string command = "xmllint --noout '" + path.string() + "' 2>/dev/null";
    const int status = std::system(command.c_str());
    std::filesystem::remove(path);
    return status == 0;
}

ConsoleStatus taggedTrack() {
    ConsoleStatus status;
    status.volume = 200;
    status.shuffle = true;
    status.repeat = false;
    status.track.fileName = "/music/a & b.mp3";
    status.track.title = "Song <1>";
    status.track.artist = "Artist";
    status.track.album = "Album";
    status.track.length = "4:05";
    status.track.lengthMs = 245000;
    status.track.bitrate = 128;
    status.position = 0.5;
    return status;
}

TEST(ConsoleDocument, IsWrittenByteForByte) {
    EXPECT_EQ(writeConsoleStatus(taggedTrack()),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n"
              "<console><volume>200</volume><shuffle>1</shuffle><repeat>0</repeat>"
              "<album><![CDATA[Album]]></album><artist><![CDATA[Artist]]></artist>"
              "<title><![CDATA[Song <1>]]></title><filename><![CDATA[/music/a & b.mp3]]></filename>"
              "<length><![CDATA[4:05]]></length><lengthms>245000</lengthms>"
              "<bitrate><![CDATA[128]]></bitrate><position>0.5</position></console>");
}

TEST(ConsoleDocument, NothingPlayingGivesEmptyTextsAndZeros) {
    ConsoleStatus status;
    status.track.length = "0:00";
    EXPECT_EQ(writeConsoleStatus(status),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n"
              "<console><volume>0</volume><shuffle>0</shuffle><repeat>0</repeat>"
              "<album><![CDATA[]]></album><artist><![CDATA[]]></artist>"
              "<title><![CDATA[]]></title><filename><![CDATA[]]></filename>"
              "<length><![CDATA[0:00]]></length><lengthms>0</lengthms>"
              "<bitrate><![CDATA[0]]></bitrate><position>0</position></console>");
}

TEST(PlaylistDocument, ListsEveryTrackInFiveLines) {
    const std::vector<PlaylistEntry> tracks = {{"/m/one.mp3", "One", 0}, {"/m/two.ogg", "Two & <b>", 0}};
    EXPECT_EQ(writePlaylistDocument(1, true, tracks),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n"
              "<playlist playing=\"1\" dirty=\"1\">\n"
              "<track>\n<index>0</index>\n<title><![CDATA[One]]></title>\n"
              "<filename><![CDATA[/m/one.mp3]]></filename>\n</track>\n"
              "<track>\n<index>1</index>\n<title><![CDATA[Two & <b>]]></title>\n"
              "<filename><![CDATA[/m/two.ogg]]></filename>\n</track>\n"
              "</playlist>\n");
}

TEST(PlaylistDocument, LongListKeepsEveryTextExactAtItsEdges) {
    // Texts that begin or end on part of an end marker, markers back to back,
    // bytes that are not text; the list is long enough for indexes of three
    // digits and more split markers than the writer reserves room for.
    const std::pair<std::string, std::string> texts[] = {
        {"]]>", "]]]]><![CDATA[>"},
        {"]]>]]>", "]]]]><![CDATA[>]]]]><![CDATA[>"},
        {"x]]", "x]]"},
        {"]>", "]>"},
        {"]]]]>>", "]]]]]]><![CDATA[>>"},
        {"", ""},
        {std::string("\x01\x00", 2), "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xC3\xA9]]", "\xC3\xA9]]"},
        {"\xC3]]>", "\xEF\xBF\xBD]]]]><![CDATA[>"},
        {"tab\tLF\nCR\r", "tab\tLF\nCR\r"},
        {"&<>\"'", "&<>\"'"},
    };
    std::vector<PlaylistEntry> tracks;
    std::string expected = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<playlist playing=\"107\" dirty=\"0\">\n";
    for (std::size_t i = 0; i < 130; ++i) {
        const auto& title = texts[i % std::size(texts)];
        const auto& file = texts[(i * 7 + 3) % std::size(texts)];
        tracks.push_back({std::string(file.first) + std::string(48, ']') + ">", title.first, 0});
        expected += "<track>\n<index>" + std::to_string(i) + "</index>\n<title><![CDATA[" + title.second +
                    "]]></title>\n<filename><![CDATA[" + file.second + std::string(46, ']') +
                    "]]]]><![CDATA[>]]></filename>\n</track>\n";
    }
    expected += "</playlist>\n";
    EXPECT_EQ(writePlaylistDocument(107, false, tracks), expected);
}

TEST(PlaylistDocument, WithoutTracksHasOnlyTheOpeningAndClosingLines) {
    EXPECT_EQ(writePlaylistDocument(-1, false, {}),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n"
              "<playlist playing=\"-1\" dirty=\"0\">\n</playlist>\n");
}

TEST(Documents, EndMarkerInAPlayerTextKeepsThemWellFormed) {
    const std::string hostile = "a]]><evil/>]]>b";
    ConsoleStatus status = taggedTrack();
    status.track.title = hostile;
    status.track.album = "]]>";
    const std::string console = writeConsoleStatus(status);
    EXPECT_TRUE(isWellFormedXml(console)) << console;
    EXPECT_NE(console.find("<title><![CDATA[a]]]]><![CDATA[><evil/>]]]]><![CDATA[>b]]></title>"), std::string::npos);

    const std::string playlist = writePlaylistDocument(0, true, {{"/m/x]]>y.mp3", hostile, 0}});
    EXPECT_TRUE(isWellFormedXml(playlist)) << playlist;

    // Bytes of another encoding or control bytes in a tag do not break it either.
    status.track.artist = std::string("Caf\xE9 \x01\x1B[0m", 9);
    status.track.fileName = "/m/\xFF\xFE.mp3";
    EXPECT_TRUE(isWellFormedXml(writeConsoleStatus(status)));

    // The check itself catches an early end of a section.
    EXPECT_FALSE(isWellFormedXml("<?xml version=\"1.0\"?>\n<a><![CDATA[x]]><evil>]]></a>"));
}

}  // namespace
}  // namespace lyrebox

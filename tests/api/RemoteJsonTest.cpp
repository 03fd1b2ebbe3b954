// The remote's JSON writers against exact text: escaping of hostile and
// non-UTF-8 names, the path form, the documents, and what counts as a change.
#include "api/BrowseJson.h"
#include "api/JsonText.h"
#include "api/RemoteStatus.h"
#include "platform/DirectorySearch.h"

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

std::string jsonString(std::string_view text) {
    std::string out;
    appendJsonString(out, text);
    return out;
}

struct StringCase {
    std::string input;
    std::string expected;
};

TEST(JsonString, EscapesEverythingThatCouldBreakOutOrIsNotUtf8) {
    const StringCase cases[] = {
        {"plain", R"("plain")"},
        {"say \"hi\" \\ bye", R"("say \"hi\" \\ bye")"},
        {"</script><b>&amp;", R"("\u003c/script\u003e\u003cb\u003e\u0026amp;")"},
        {"<!--", R"("\u003c!--")"},
        {std::string("a\0b", 3), R"("a\u0000b")"},
        {"\x01\x1f\x7f", R"("\u0001\u001f\u007f")"},
        {"tab\tline\ncr\r", R"("tab\tline\ncr\r")"},
        {"\xE2\x80\xA8 \xE2\x80\xA9", R"("\u2028 \u2029")"},
        {"B\xC3\xA9la \xE2\x82\xAC \xF0\x9F\x8E\xB5", "\"B\xC3\xA9la \xE2\x82\xAC \xF0\x9F\x8E\xB5\""},
        // Latin-1 bytes, a lone continuation, a cut sequence, an overlong
        // slash, a surrogate and a value past U+10FFFF: each bad byte is U+FFFD.
        {"caf\xE9", "\"caf\xEF\xBF\xBD\""},
        {"\x80", "\"\xEF\xBF\xBD\""},
        {"\xE2\x82", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"\xF4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
    };
    for (const StringCase& c : cases) EXPECT_EQ(jsonString(c.input), c.expected) << c.input;
}

TEST(JsonPath, KeepsEveryByteRecoverable) {
    std::string out;
    appendJsonPath(out, "/m/caf\xE9 \"x\"</script>.mp3");
    EXPECT_EQ(out, R"("%2fm%2fcaf%e9%20%22x%22%3c%2fscript%3e%2emp3")");
}

RemoteStatus sampleStatus() {
    RemoteStatus status;
    status.state = PlayerGateway::PlayState::Paused;
    status.index = 1;
    status.length = 3;
    status.elapsedMs = 1500;
    status.console.volume = 200;
    status.console.shuffle = true;
    status.console.position = 0.05;
    status.console.track = {"/m/a\xE9\".mp3", "T</title>", "A&B", "Al\n", "0:30", 30000, 128};
    return status;
}

TEST(StatusJson, ExactText) {
    EXPECT_EQ(writeStatusJson(sampleStatus()),
              "{\"state\":\"paused\",\"index\":1,\"length\":3,\"volume\":200,\"shuffle\":true,\"repeat\":false,"
              "\"title\":\"T\\u003c/title\\u003e\",\"artist\":\"A\\u0026B\",\"album\":\"Al\\n\","
              "\"filename\":\"/m/a\xEF\xBF\xBD\\\".mp3\",\"path\":\"%2fm%2fa%e9%22%2emp3\","
              "\"tracklength\":\"0:30\",\"lengthms\":30000,\"bitrate\":128,\"position\":0.05,\"elapsedms\":1500}");
}

TEST(PlaylistJson, ExactTextWithHostileEntries) {
    RemotePlaylist list;
    list.revision = 9;
    list.playing = 1;
    list.entries = {{"/m/</script>.mp3", "x\"y", 0}, {"http://r/\xFF", "", 0}};
    EXPECT_EQ(writePlaylistJson(list),
              "{\"revision\":9,\"playing\":1,\"length\":2,\"entries\":["
              "{\"index\":0,\"title\":\"x\\\"y\",\"filename\":\"/m/\\u003c/script\\u003e.mp3\","
              "\"path\":\"%2fm%2f%3c%2fscript%3e%2emp3\"},"
              "{\"index\":1,\"title\":\"\",\"filename\":\"http://r/\xEF\xBF\xBD\",\"path\":\"http%3a%2f%2fr%2f%ff\"}]}");
    EXPECT_EQ(writePlaylistJson(RemotePlaylist{}), "{\"revision\":0,\"playing\":0,\"length\":0,\"entries\":[]}");
    EXPECT_EQ(writePlaylistEventJson(4, 2), "{\"revision\":4,\"length\":2}");
}

constexpr std::uint64_t kFileTime2020 = (1577836800ULL + 11644473600ULL) * 10000000ULL;

TEST(BrowseJson, DirectoryWithCrumbsParentAndHostileNames) {
    BrowseListing listing;
    listing.path = "/srv/music/Rock/";
    listing.sharedDir = "/srv/music";
    listing.entries = {
        {"/srv/music/Rock/..", platform::FILE_ATTRIBUTE_DIRECTORY, 0, 0},
        {"/srv/music/Rock/a\xE9<b>.MP3", 0, kFileTime2020, 1234},
        {"/srv/music/Rock/Live", platform::FILE_ATTRIBUTE_DIRECTORY, kFileTime2020, 4096},
    };
    listing.facts.indexMissing = true;
    EXPECT_EQ(writeBrowseJson(listing),
              "{\"path\":\"%2fsrv%2fmusic%2fRock%2f\",\"name\":\"Rock\",\"root\":false,"
              "\"parent\":\"%2fsrv%2fmusic\",\"crumbs\":[{\"name\":\"/srv/music\",\"path\":\"%2fsrv%2fmusic\"},"
              "{\"name\":\"Rock\",\"path\":\"%2fsrv%2fmusic%2fRock\"}],\"indexing\":false,\"indexMissing\":true,"
              "\"entries\":[{\"name\":\"a\xEF\xBF\xBD\\u003cb\\u003e.MP3\",\"path\":\"%2fsrv%2fmusic%2fRock%2fa%e9%3cb%3e%2eMP3\","
              "\"type\":\"file\",\"ext\":\"mp3\",\"size\":1234,\"mtime\":1577836800},"
              "{\"name\":\"Live\",\"path\":\"%2fsrv%2fmusic%2fRock%2fLive\",\"type\":\"dir\",\"ext\":\"\",\"size\":0,"
              "\"mtime\":1577836800}]}");
}

TEST(BrowseJson, RootSharedDirAndSearchForms) {
    BrowseListing root;
    root.isRoot = true;
    root.entries = {{"/srv/music", platform::FILE_ATTRIBUTE_DIRECTORY, 0, 0}};
    EXPECT_EQ(writeBrowseJson(root),
              "{\"path\":\"\",\"name\":\"\",\"root\":true,\"parent\":null,\"crumbs\":[],\"indexing\":false,"
              "\"indexMissing\":false,\"entries\":[{\"name\":\"/srv/music\",\"path\":\"%2fsrv%2fmusic\","
              "\"type\":\"dir\",\"ext\":\"\",\"size\":0,\"mtime\":null}]}");

    BrowseListing top;
    top.path = "/srv/music";
    top.sharedDir = "/srv/music";
    EXPECT_EQ(writeBrowseJson(top),
              "{\"path\":\"%2fsrv%2fmusic\",\"name\":\"music\",\"root\":false,\"parent\":\"\",\"crumbs\":"
              "[{\"name\":\"/srv/music\",\"path\":\"%2fsrv%2fmusic\"}],\"indexing\":false,\"indexMissing\":false,"
              "\"entries\":[]}");

    BrowseListing whole;  // a shared "/" is its own crumb; below it every component is one
    whole.path = "/a/b";
    whole.sharedDir = "/";
    EXPECT_NE(writeBrowseJson(whole).find("\"parent\":\"%2fa\",\"crumbs\":[{\"name\":\"/\",\"path\":\"%2f\"},"
                                          "{\"name\":\"a\",\"path\":\"%2fa\"},{\"name\":\"b\",\"path\":\"%2fa%2fb\"}]"),
              std::string::npos);

    BrowseListing search;
    search.path = "search://</script>";
    search.isSearch = true;
    search.query = "</script>";
    search.facts = {500, true, true, false};
    search.entries = {{"/srv/music/x.ogg", 0, 0, 7}};
    EXPECT_EQ(writeBrowseJson(search),
              "{\"path\":\"search%3a%2f%2f%3c%2fscript%3e\",\"name\":\"\\u003c/script\\u003e\",\"root\":false,"
              "\"parent\":null,\"crumbs\":[],\"indexing\":true,\"indexMissing\":false,"
              "\"search\":\"\\u003c/script\\u003e\",\"dirsOnly\":false,\"total\":500,\"cut\":true,"
              "\"entries\":[{\"name\":\"x.ogg\",\"path\":\"%2fsrv%2fmusic%2fx%2eogg\",\"type\":\"file\","
              "\"ext\":\"ogg\",\"size\":7,\"mtime\":null}]}");
}

struct ChangeCase {
    const char* what;
    std::function<void(RemoteStatus&)> change;
    std::int64_t sinceMs;
    bool changed;
};

TEST(StatusChanged, SteadyProgressIsNoChangeButASeekOrAnyFieldIs) {
    RemoteStatus playing = sampleStatus();
    playing.state = PlayerGateway::PlayState::Playing;
    const ChangeCase cases[] = {
        {"nothing", [](RemoteStatus&) {}, 0, false},
        {"steady playback", [](RemoteStatus& s) { s.elapsedMs += 4000; }, 4000, false},
        {"seek forward", [](RemoteStatus& s) { s.elapsedMs += 5000; }, 250, true},
        {"seek back", [](RemoteStatus& s) { s.elapsedMs -= 1400; }, 250, true},
        {"volume", [](RemoteStatus& s) { s.console.volume = 1; }, 0, true},
        {"state", [](RemoteStatus& s) { s.state = PlayerGateway::PlayState::Stopped; }, 0, true},
        {"index", [](RemoteStatus& s) { s.index = 2; }, 0, true},
        {"length", [](RemoteStatus& s) { s.length = 4; }, 0, true},
        {"repeat", [](RemoteStatus& s) { s.console.repeat = true; }, 0, true},
        {"title", [](RemoteStatus& s) { s.console.track.title = "U"; }, 0, true},
        {"file", [](RemoteStatus& s) { s.console.track.fileName = "/m/b.mp3"; }, 0, true},
        {"bit rate alone (variable-rate files)", [](RemoteStatus& s) { s.console.track.bitrate = 129; }, 0, false},
    };
    for (const ChangeCase& c : cases) {
        RemoteStatus now = playing;
        c.change(now);
        EXPECT_EQ(statusChanged(playing, now, c.sinceMs), c.changed) << c.what;
    }
    RemoteStatus paused = sampleStatus();
    RemoteStatus later = paused;
    EXPECT_FALSE(statusChanged(paused, later, 60000)) << "a paused clock does not move";
}

}  // namespace
}  // namespace lyrebox

// "consolestatus.xml" and "playlist.xml" over HTTP, against a recording player.
#include "tests/support/CheckedServer.h"
#include "api/RemoteHandlers.h"
#include "api/RequestRouter.h"
#include "api/StatusDocuments.h"
#include "tests/support/FakePlayer.h"
#include "tests/support/RawHttp.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <mutex>

namespace lyrebox {
namespace {

using test::CheckedServer;
using test::FakePlayer;

constexpr const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n";

std::string track(int index, const std::string& title, const std::string& file) {
    return "<track>\n<index>" + std::to_string(index) + "</index>\n<title><![CDATA[" + title +
           "]]></title>\n<filename><![CDATA[" + file + "]]></filename>\n</track>\n";
}

const std::string kTracks = track(0, "zero", "/m/0.mp3") + track(1, "one", "/m/1.mp3");

std::string playlist(int playing, bool dirty, const std::string& tracks) {
    return std::string(kDeclaration) + "<playlist playing=\"" + std::to_string(playing) + "\" dirty=\"" +
           (dirty ? "1" : "0") + "\">\n" + tracks + "</playlist>\n";
}

bool isWellFormedXml(const std::string& document) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("lyrebox-status-" + std::to_string(::getpid()) + ".xml");
    std::ofstream(path, std::ios::binary) << document;
    const int status = std::system(("xmllint --noout '" + path.string() + "' 2>/dev/null").c_str());
    std::filesystem::remove(path);
    return status == 0;
}

// Parameter: whether the gateway relays its batches to the player's thread.
class StatusDocumentsTest : public ::testing::TestWithParam<bool> {
protected:
    FakePlayer player;
    CheckedServer server{player.mainWindow(), relay()};

    CheckedServer::OnPlayerThread relay() {
        if (!GetParam()) return {};
        return [this](const std::function<void()>& fn) { player.with([&](FakePlayer&) { fn(); }); };
    }

    void SetUp() override {
        ASSERT_TRUE(server.started());
        player.setEntries({{"/m/0.mp3", "zero"}, {"/m/1.mp3", "one"}}, 1);
    }
    void changePlayList() {
        player.with([](FakePlayer& p) { p.changed = true; });
    }
};

TEST_P(StatusDocumentsTest, ConsoleOfATaggedPlayingTrack) {
    player.with([](FakePlayer& p) {
        p.tags["/m/1.mp3"] = {{"title", "One & <Only>"}, {"artist", "Band"}, {"album", "LP"}, {"length", "245000"}};
        p.volume = 180, p.shuffle = true, p.repeat = false;
        p.bitrate = 128, p.lengthSeconds = 245, p.positionMs = 122500;
    });
    const auto response = server.get("/consolestatus.xml");
    EXPECT_EQ(response.header("Content-Type"), "text/xml");
    EXPECT_EQ(response.header("Cache-Control"), "no-cache, must-revalidate");
    EXPECT_EQ(response.body,
              std::string(kDeclaration) +
                  "<console><volume>180</volume><shuffle>1</shuffle><repeat>0</repeat>"
                  "<album><![CDATA[LP]]></album><artist><![CDATA[Band]]></artist>"
                  "<title><![CDATA[One & <Only>]]></title><filename><![CDATA[/m/1.mp3]]></filename>"
                  "<length><![CDATA[4:05]]></length><lengthms>245000</lengthms>"
                  "<bitrate><![CDATA[128]]></bitrate><position>0.5</position></console>");
    EXPECT_TRUE(isWellFormedXml(response.body));
}

TEST_P(StatusDocumentsTest, TrackWithoutTagsFallsBackToThePlayListTitle) {
    EXPECT_EQ(server.body("/consolestatus.xml"),
              std::string(kDeclaration) +
                  "<console><volume>100</volume><shuffle>0</shuffle><repeat>0</repeat>"
                  "<album><![CDATA[]]></album><artist><![CDATA[]]></artist>"
                  "<title><![CDATA[one]]></title><filename><![CDATA[/m/1.mp3]]></filename>"
                  "<length><![CDATA[0:00]]></length><lengthms>0</lengthms>"
                  "<bitrate><![CDATA[0]]></bitrate><position>0</position></console>");
}

TEST_P(StatusDocumentsTest, EachIdGetsTheListOnceAfterAChange) {
    changePlayList();
    const struct {
        const char* target;
        bool dirty;
        bool tracks;
    } steps[] = {
        {"/playlist.xml?id=abc", true, true},  {"/playlist.xml?id=abc", false, false},
        {"/playlist.xml?id=xyz", true, true},  {"/playlist.xml?id=xyz", false, false},
        {"/playlist.xml", true, true},         {"/playlist.xml", false, true},
        {"/playlist.xml?id=", false, true},    {"/playlist.xml?id=abc", false, false},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(server.body(s.target), playlist(1, s.dirty, s.tracks ? kTracks : "")) << s.target;
    }

    // An edit through the commands marks every id dirty again, once.
    EXPECT_EQ(server.body("/deleteplaylistitem?index=0"), "1");
    const std::string remaining = track(0, "one", "/m/1.mp3");
    EXPECT_EQ(server.body("/playlist.xml?id=xyz"), playlist(1, true, remaining));
    EXPECT_EQ(server.body("/playlist.xml?id=abc"), playlist(1, true, remaining));
    EXPECT_EQ(server.body("/playlist.xml?id=abc"), playlist(1, false, ""));
    EXPECT_EQ(server.body("/playlist.xml"), playlist(1, true, remaining));
}

TEST_P(StatusDocumentsTest, OverlongIdsAreNotRemembered) {
    // Ids are the clients' choice; a huge one would be kept forever.
    const std::string id(kMaxPlaylistIdLength + 1, 'a');
    EXPECT_EQ(server.body("/playlist.xml?id=" + id), playlist(1, true, kTracks));
    EXPECT_EQ(server.body("/playlist.xml?id=" + id), playlist(1, true, kTracks));
    {
        std::lock_guard guard(server.router().playlistLock());
        EXPECT_EQ(server.router().servedPlaylistIds().count(id), 0u);
    }
    const std::string longest(kMaxPlaylistIdLength, 'a');
    EXPECT_EQ(server.body("/playlist.xml?id=" + longest), playlist(1, true, kTracks));
    EXPECT_EQ(server.body("/playlist.xml?id=" + longest), playlist(1, false, ""));
}

// Answers send the kept document after playlistLock is released, so a new
// document must replace the kept bytes, never write over them: an answer
// still going out holds the old buffer.
TEST_P(StatusDocumentsTest, KeptDocumentIsReplacedNotRewrittenOnAChange) {
    const std::string first = server.body("/playlist.xml");
    EXPECT_EQ(first, playlist(1, true, kTracks));
    const auto keptText = [this] {
        std::lock_guard guard(server.router().playlistLock());
        return server.router().remote().playlistDocument.text;
    };
    const auto taken = keptText();
    ASSERT_TRUE(taken);
    EXPECT_EQ(*taken, first);

    player.setEntries({{"/m/2.mp3", "two"}}, 0);
    changePlayList();
    EXPECT_EQ(server.body("/playlist.xml"), playlist(0, true, track(0, "two", "/m/2.mp3")));
    EXPECT_EQ(server.body("/playlist.xml"), playlist(0, false, track(0, "two", "/m/2.mp3")));
    EXPECT_EQ(*taken, first);
    EXPECT_NE(keptText(), taken);
}

// A long list goes out whole, answer after answer on one connection (the
// kept document's path for a large body), and an edit made before a request
// is in its answer.
TEST_P(StatusDocumentsTest, LongListIsSentWholeAnswerAfterAnswer) {
    std::vector<test::FakeEntry> entries;
    std::string tracks;
    for (int i = 0; i < 1000; ++i) {
        const std::string n = std::to_string(i);
        entries.push_back({"/music/" + n + " - Song.mp3", "Artist " + n + " - Song"});
        tracks += track(i, entries.back().title, entries.back().fileName);
    }
    player.setEntries(entries, 3);
    changePlayList();
    test::KeepAliveClient client(server.port());
    for (const bool dirty : {true, false, false}) {
        test::Answer answer;
        ASSERT_TRUE(client.request("/playlist.xml", answer));
        EXPECT_TRUE(answer.body == playlist(3, dirty, tracks)) << dirty << " " << answer.body.size();
    }
    EXPECT_EQ(server.body("/deleteplaylistitem?index=0"), "1");
    test::Answer edited;
    ASSERT_TRUE(client.request("/playlist.xml", edited));
    EXPECT_NE(edited.body.find("dirty=\"1\""), std::string::npos);
    EXPECT_EQ(edited.body.find(entries[0].fileName), std::string::npos);
    EXPECT_NE(edited.body.find(entries[1].fileName), std::string::npos);
}

TEST_P(StatusDocumentsTest, EmptyPlayListHasNoTracks) {
    player.setEntries({}, 0);
    changePlayList();
    const auto response = server.get("/playlist.xml?id=abc");
    EXPECT_EQ(response.header("Content-Type"), "text/xml");
    EXPECT_EQ(response.body, playlist(0, true, ""));
    EXPECT_EQ(server.body("/playlist.xml?id=abc"), playlist(0, false, ""));
}

TEST_P(StatusDocumentsTest, EndMarkerInPlayerTextsKeepsBothDocumentsWellFormed) {
    player.setEntries({{"/m/a]]>b.mp3", "x]]><y/>"}}, 0);
    const std::string console = server.body("/consolestatus.xml");
    EXPECT_TRUE(isWellFormedXml(console)) << console;
    EXPECT_NE(console.find("<title><![CDATA[x]]]]><![CDATA[><y/>]]></title>"), std::string::npos) << console;
    const std::string list = server.body("/playlist.xml");
    EXPECT_TRUE(isWellFormedXml(list)) << list;
}

INSTANTIATE_TEST_SUITE_P(Direct, StatusDocumentsTest, ::testing::Values(false));
INSTANTIATE_TEST_SUITE_P(Relayed, StatusDocumentsTest, ::testing::Values(true));

}  // namespace
}  // namespace lyrebox

// Stream play lists and the file-adding commands over real sockets,
// including a second server whose play list the first one fetches.
#include "api/HttpRemoteFetch.h"
#include "library/LibraryText.h"
#include "tests/library/LibraryServer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

using test::TempDir;

class StreamTest : public ::testing::Test {
protected:
    StreamTest() : server(tree.file("test.ini")) {
        music = tree.folder("music");
        server.share({music});
    }
    libtest::Response stream(const std::string& path, const std::string& headers = "Host: h:5151\r\n") {
        return server.get("/stream?path=" + percentEncode(path), headers);
    }
    static std::string url(const std::string& host, const std::string& path) {
        return "http://" + host + "/download?path=" + percentEncode(path) + "&auth=";
    }
    std::string command(const std::string& target) { return server.get(target).body; }

    TempDir tree;
    libtest::LibraryServer server;
    std::string music;
};

TEST_F(StreamTest, SingleFile) {
    tree.write("music/a.mp3");
    const auto response = stream(music + "/a.mp3");
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "#EXTM3U\n#EXTINF:0,a.mp3\n" + url("h:5151", music + "/a.mp3") + "\n");
    EXPECT_EQ(response.header("Content-Type"), "audio/m3u");
    EXPECT_EQ(response.header("Content-Disposition"), "inline; filename=playlist.m3u");
    EXPECT_EQ(response.header("Cache-Control"), "must-revalidate");
    EXPECT_EQ(response.header("Expires"), "-1");
}

TEST_F(StreamTest, DirectoryInByteOrderOfFullPaths) {
    tree.write("music/b.mp3");
    tree.write("music/A.mp3");
    tree.write("music/sub/c.mp3");
    tree.write("music/sub/cover.jpg");
    const std::string expected = "#EXTM3U\n#EXTINF:0,A.mp3\n" + url("h:5151", music + "/A.mp3") +
                                 "\n#EXTINF:0,b.mp3\n" + url("h:5151", music + "/b.mp3") + "\n#EXTINF:0,c.mp3\n" +
                                 url("h:5151", music + "/sub/c.mp3") + "\n";
    EXPECT_EQ(stream(music).body, expected);
    EXPECT_EQ(stream(music + "//").body, expected);
}

TEST_F(StreamTest, NothingPlayableIsNotFound) {
    tree.write("music/only/notes.txt");
    for (const std::string& path : std::vector<std::string>{music + "/only", music + "/missing", "", "search://"}) {
        const auto response = stream(path);
        EXPECT_EQ(response.status, 404) << path;
        EXPECT_EQ(response.body, "<h1>404 Not Found</h1>");
    }
    EXPECT_EQ(server.get("/stream").status, 404);
}

TEST_F(StreamTest, PlainUrlAndHostRule) {
    EXPECT_EQ(stream("http://host/x.mp3").body,
              "#EXTM3U\n#EXTINF:0,x.mp3\n" + url("h:5151", "http://host/x.mp3") + "\n");
    tree.write("music/a.mp3");
    const std::string noHost = "#EXTM3U\n#EXTINF:0,a.mp3\n" + url("", music + "/a.mp3") + "\n";
    EXPECT_EQ(stream(music, "").body, noHost);
    EXPECT_EQ(stream(music, "Host: evil.example/\"x\r\n").body, noHost);
    EXPECT_EQ(stream(music, "Host: [::1]:80\r\n").body.find(url("[::1]:80", music + "/a.mp3")), 24u);
}

TEST_F(StreamTest, NamesWithLineBreaksStayOneEntry) {
    tree.write("music/two\nlines.mp3");
    EXPECT_EQ(stream(music).body,
              "#EXTM3U\n#EXTINF:0,twolines.mp3\n" + url("h:5151", music + "/two\nlines.mp3") + "\n");
}

class RemoteTest : public StreamTest {
protected:
    RemoteTest() : remote(tree.file("remote.ini")) {
        remoteMusic = tree.folder("remote music");
        remote.share({remoteMusic});
        tree.writePattern("remote music/Z.mp3", 20);
        tree.writePattern("remote music/caf\xE9 & co.mp3", 10);
    }
    std::string remoteStreamUrl() {
        return "http://" + remote.hostPort() + "/stream?path=" + percentEncode(remoteMusic) + "&auth=";
    }

    libtest::LibraryServer remote;
    std::string remoteMusic;
};

TEST_F(RemoteTest, StreamOfAnotherServersPlayList) {
    const auto response = stream(remoteStreamUrl());
    EXPECT_EQ(response.status, 200);
    const std::string first = url(remote.hostPort(), remoteMusic + "/Z.mp3");
    const std::string second = url(remote.hostPort(), remoteMusic + "/caf\xE9 & co.mp3");
    EXPECT_EQ(response.body, "#EXTM3U\n#EXTINF:0," + baseName(first) + "\n" + url("h:5151", first) +
                                 "\n#EXTINF:0," + baseName(second) + "\n" + url("h:5151", second) + "\n");
}

TEST_F(RemoteTest, EnqueueAddsOneEntryPerRemoteDownloadTitledByName) {
    EXPECT_EQ(command("/enqueuefile?title=Remote&filename=" + percentEncode(remoteStreamUrl())), "1");
    const auto entries = server.entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].fileName, url(remote.hostPort(), remoteMusic + "/Z.mp3"));
    EXPECT_EQ(entries[0].title, "Z.mp3");
    EXPECT_EQ(entries[1].title, "caf\xE9 & co.mp3");
    // The entries are real download URLs of the other server.
    const std::string target = entries[1].fileName.substr(entries[1].fileName.find("/download"));
    EXPECT_EQ(remote.get(target).body, TempDir::pattern(0, 10));
}

TEST_F(RemoteTest, DeadOrRefusingServersGiveNothing) {
    server.library().setRemoteFetch(
        httpRemoteFetch(FetchLimits{std::chrono::milliseconds(2000), std::chrono::milliseconds(1500)}));
    // Accepts connections (the kernel completes them) but never answers.
    auto silent = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
    ASSERT_TRUE(silent.valid());
    const std::string silentUrl = "http://127.0.0.1:" + std::to_string(silent.localPort()) + "/stream?path=x";
    EXPECT_EQ(stream(silentUrl).status, 404);
    EXPECT_EQ(command("/enqueuefile?title=t&filename=" + percentEncode(silentUrl)), "1");
    // Nothing listens on a port that was just closed.
    std::uint16_t closedPort = 0;
    {
        auto gone = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
        closedPort = gone.localPort();
    }
    EXPECT_EQ(stream("http://127.0.0.1:" + std::to_string(closedPort) + "/stream?path=x").status, 404);
    EXPECT_EQ(stream("http://no-such-host.invalid/stream?path=x").status, 404);
    EXPECT_TRUE(server.entries().empty());
}

TEST_F(StreamTest, FileCommands) {
    tree.write("music/b.mp3");
    tree.write("music/A.mp3");
    tree.write("music/sub/c.mp3");
    const std::string a = music + "/A.mp3";
    EXPECT_EQ(command("/enqueuefile?title=My%20Title&filename=" + percentEncode(a)), "1");
    auto entries = server.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].title, "My Title");

    // Lines without a TAB are skipped, blanks after the TAB too; text after the last LF is not used.
    const std::string list = "One\t" + a + "\nno tab line\nTwo\t  " + music + "/b.mp3\nRadio\thttp://radio/x\nLast\t" +
                             music + "/sub/c.mp3";
    EXPECT_EQ(command("/enqueueplaylist?playlist=" + percentEncode(list)), "1");
    entries = server.entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[1].title, "One");
    EXPECT_EQ(entries[2].fileName, music + "/b.mp3");
    EXPECT_EQ(entries[3].fileName, "http://radio/x");

    EXPECT_EQ(command("/insertfile?title=t&index=1&filename=" + percentEncode(music + "/sub")), "1");
    EXPECT_EQ(server.entries()[1].fileName, music + "/sub/c.mp3");
    EXPECT_EQ(server.entries()[1].title, "c.mp3");
}

TEST_F(StreamTest, PlayfileOutsideTheSharesLeavesPlaybackAlone) {
    tree.write("music/a.mp3");
    tree.write("outside.mp3");
    server.player.setEntries({{"keep.mp3", "Keep"}}, 0);
    server.player.takeLog();
    EXPECT_EQ(command("/playfile?title=t&filename=" + percentEncode(tree.file("outside.mp3"))), "0");
    EXPECT_TRUE(server.player.takeLog().empty());
    EXPECT_EQ(server.entries().size(), 1u);

    EXPECT_EQ(command("/playfile?title=t&filename=" + percentEncode(music)), "1");
    const auto entries = server.entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].fileName, music + "/a.mp3");
    bool played = false;
    for (const auto& m : server.player.takeLog()) played |= m.message == platform::WM_COMMAND && m.wParam == ipc::kCmdPlay;
    EXPECT_TRUE(played);

    EXPECT_EQ(command("/playplaylist?playlist="), "1");
    EXPECT_TRUE(server.entries().empty());
}

}  // namespace
}  // namespace lyrebox

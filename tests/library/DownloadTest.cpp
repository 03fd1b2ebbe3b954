// Downloads over real sockets: whole files, every range form, errors, and a
// client that leaves in the middle of a file.
#include "library/LibraryText.h"
#include "tests/library/LibraryServer.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <fstream>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

using test::TempDir;

class DownloadTest : public ::testing::Test {
protected:
    DownloadTest() : server(tree.file("test.ini")) {
        music = tree.folder("music");
        server.share({music});
        tree.writePattern("music/a.mp3", 1000);
    }
    libtest::Response download(const std::string& path, const std::string& range = "", bool withRange = false) {
        std::string request = "GET /download?path=" + percentEncode(path) + " HTTP/1.1\r\nHost: localhost\r\n";
        if (withRange) request += "Range: " + range + "\r\n";
        return server.request(request + "Connection: close\r\n\r\n");
    }

    TempDir tree;
    libtest::LibraryServer server;
    std::string music;
};

TEST_F(DownloadTest, WholeFile) {
    const auto response = download(music + "/a.mp3");
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.header("Content-Type"), "audio/mpeg");
    EXPECT_EQ(response.header("Content-Length"), "1000");
    EXPECT_EQ(response.header("Content-Disposition"), "inline; filename=\"a.mp3\"");
    EXPECT_EQ(response.header("Accept-Ranges"), "bytes");
    EXPECT_EQ(response.header("Content-Range"), "");
    EXPECT_EQ(response.body, TempDir::pattern(0, 1000));
}

TEST_F(DownloadTest, EveryRangeForm) {
    struct Case {
        const char* range;
        int status;
        const char* contentRange;
        std::size_t first, count;
    };
    const Case cases[] = {
        {"bytes=100-", 206, "bytes 100-999/1000", 100, 900},
        {"bytes=100-199", 206, "bytes 100-199/1000", 100, 100},
        {"bytes=-100", 206, "bytes 900-999/1000", 900, 100},
        {"bytes=0-0", 206, "bytes 0-0/1000", 0, 1},
        {"bytes=999-5000", 206, "bytes 999-999/1000", 999, 1},
        {"bytes=-5000", 206, "bytes 0-999/1000", 0, 1000},
        {"", 200, "", 0, 1000},
        {"bytes=0-1,5-6", 200, "", 0, 1000},
        {"bytes=oops", 200, "", 0, 1000},
        {"bytes=1000-", 416, "bytes */1000", 0, 0},
        {"bytes=-0", 416, "bytes */1000", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.range);
        const auto response = download(music + "/a.mp3", c.range, true);
        EXPECT_EQ(response.status, c.status);
        EXPECT_EQ(response.header("Content-Range"), c.contentRange);
        if (c.status == 416) continue;
        EXPECT_EQ(response.header("Content-Length"), std::to_string(c.count));
        EXPECT_EQ(response.body, TempDir::pattern(c.first, c.count));
    }
}

TEST_F(DownloadTest, FilesAcrossChunkSizes) {
    for (std::size_t size : {0u, 1u, 1024u, 1025u, 2048u, 70000u}) {
        const std::string path = tree.writePattern("music/size" + std::to_string(size) + ".ogg", size);
        const auto response = download(path);
        EXPECT_EQ(response.status, 200) << size;
        EXPECT_EQ(response.body, TempDir::pattern(0, size)) << size;
    }
}

TEST_F(DownloadTest, ErrorsAndContentTypes) {
    tree.writePattern("music/notes.txt", 10);
    tree.writePattern("outside.mp3", 10);
    tree.folder("music/Album");
    for (const std::string& path : std::vector<std::string>{music + "/notes.txt", tree.file("outside.mp3"),
                                                            music + "/missing.mp3", "search://a", "http://h/x.mp3",
                                                            music + "/a.mp3/"}) {
        const auto response = download(path);
        EXPECT_EQ(response.status, 404) << path;
        EXPECT_EQ(response.body, "<h1>404 Not Found</h1>");
    }
    const auto directory = download(music + "/Album");
    EXPECT_EQ(directory.status, 500);
    EXPECT_EQ(directory.body, "<h1>500 Internal Server Error</h1>");
    // The extension's letter case does not change the type.
    tree.writePattern("music/SONG.MP3", 5);
    EXPECT_EQ(download(music + "/SONG.MP3").header("Content-Type"), "audio/mpeg");
    EXPECT_EQ(download(music + "/SONG.MP3").body, TempDir::pattern(0, 5));
}

TEST_F(DownloadTest, FileNamesCannotBreakTheHeader) {
    tree.writePattern("music/say \"hi\" \\ now.mp3", 4);
    const auto response = download(music + "/say \"hi\" \\ now.mp3");
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.header("Content-Disposition"), "inline; filename=\"say \\\"hi\\\" \\\\ now.mp3\"");
}

TEST_F(DownloadTest, FifoWithAMusicNameIsNotServed) {
    const std::string fifo = music + "/pipe.mp3";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(download(fifo).status, 500);
}

TEST_F(DownloadTest, FilesOfFourGibibytesAndMoreKeepTheirSize) {
    const std::string huge = tree.write("music/huge.flac");
    const std::uint64_t size = (4ULL << 30) + 10;  // sparse: only the tail is written
    std::filesystem::resize_file(huge, size - 10);
    {
        std::ofstream tail(huge, std::ios::binary | std::ios::app);
        tail << "0123456789";
    }
    const auto end = download(huge, "bytes=4294967296-", true);
    EXPECT_EQ(end.status, 206);
    EXPECT_EQ(end.header("Content-Range"), "bytes 4294967296-4294967305/4294967306");
    EXPECT_EQ(end.body, "0123456789");
    EXPECT_EQ(download(huge, "bytes=-3", true).body, "789");

    auto socket = server.connect();  // the whole file: its head announces every byte
    const std::string request = "GET /download?path=" + percentEncode(huge) + " HTTP/1.1\r\nHost: x\r\n\r\n";
    socket.sendAll(request.data(), request.size());
    std::string head;
    char buffer[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        const long n = socket.recvSome(buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        head.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_NE(head.find("\r\nContent-Length: 4294967306\r\n"), std::string::npos) << head;
    EXPECT_EQ(head.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << head;
}

TEST_F(DownloadTest, ClientLeavingMidFileDoesNotStopTheServer) {
    const std::string big = tree.write("music/big.mp3");
    std::filesystem::resize_file(big, 256u * 1024 * 1024);
    {
        auto leaving = server.connect();
        const std::string request = "GET /download?path=" + percentEncode(big) + " HTTP/1.1\r\nHost: x\r\n\r\n";
        leaving.sendAll(request.data(), request.size());
        char buffer[65536];
        std::size_t got = 0;
        while (got < 1024 * 1024) {
            const long n = leaving.recvSome(buffer, sizeof buffer);
            ASSERT_GT(n, 0);
            got += static_cast<std::size_t>(n);
        }
        const auto other = download(music + "/a.mp3");  // served while the big one is in flight
        EXPECT_EQ(other.body, TempDir::pattern(0, 1000));
    }  // the client goes away with most of the file unsent
    for (int i = 0; i < 3; ++i) EXPECT_EQ(download(music + "/a.mp3", "bytes=-10", true).status, 206);
}

}  // namespace
}  // namespace lyrebox

// Real media clients against the server: ffprobe reads a tagged MP3 through a
// download URL and through the entries of a stream play list (ffmpeg has no
// reader for plain M3U lists, so the test follows the list as a player does),
// and a seek makes ffmpeg ask for a byte range. Skipped where ffmpeg is not
// installed.
#include "library/LibraryText.h"
#include "tests/library/LibraryServer.h"
#include "tests/support/TempDir.h"

#include <array>
#include <cstdio>
#include <memory>

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

// Runs a shell command and returns what it wrote (stdout and stderr).
std::string run(const std::string& command) {
    std::string output;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen((command + " 2>&1").c_str(), "r"), ::pclose);
    if (!pipe) return output;
    std::array<char, 4096> buffer;
    while (std::fgets(buffer.data(), buffer.size(), pipe.get())) output += buffer.data();
    return output;
}

bool haveFfmpeg() {
    return run("command -v ffmpeg && command -v ffprobe").find("ffprobe") != std::string::npos;
}

class RealClientTest : public ::testing::Test {
protected:
    RealClientTest() : server(tree.file("test.ini")) {
        music = tree.folder("music");
        server.share({music});
    }
    void SetUp() override {
        if (!haveFfmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
        song = music + "/Tone Song.mp3";
        run("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=120 -metadata title=LyreTone "
            "-metadata artist=Tester -b:a 128k '" + song + "'");
        ASSERT_FALSE(server.library().lookupFile(song).name.empty());
    }
    std::string base() const { return "http://" + server.hostPort(); }

    test::TempDir tree;
    libtest::LibraryServer server;
    std::string music;
    std::string song;
};

TEST_F(RealClientTest, FfprobeReadsTagsThroughADownloadUrl) {
    const std::string url = base() + "/download?path=" + percentEncode(song) + "&auth=";
    const std::string out = run("ffprobe -v error -show_entries format_tags=title,artist -of default=nw=1 '" + url + "'");
    EXPECT_NE(out.find("TAG:title=LyreTone"), std::string::npos) << out;
    EXPECT_NE(out.find("TAG:artist=Tester"), std::string::npos) << out;
}

TEST_F(RealClientTest, FfprobeFollowsAStreamPlayList) {
    const auto list = server.get("/stream?path=" + percentEncode(music) + "&auth=", "Host: " + server.hostPort() + "\r\n");
    ASSERT_EQ(list.status, 200);
    const auto urlStart = list.body.find("\nhttp://", list.body.find("#EXTINF:0,Tone Song.mp3\n"));
    ASSERT_NE(urlStart, std::string::npos) << list.body;
    const std::string url = list.body.substr(urlStart + 1, list.body.find('\n', urlStart + 1) - urlStart - 1);
    const std::string out = run("ffprobe -v error -show_entries format_tags=title:stream=codec_name -of default=nw=1 '" +
                                url + "'");
    EXPECT_NE(out.find("codec_name=mp3"), std::string::npos) << out;
    EXPECT_NE(out.find("TAG:title=LyreTone"), std::string::npos) << out;
}

TEST_F(RealClientTest, SeekingAsksForARange) {
    const std::string url = base() + "/download?path=" + percentEncode(song) + "&auth=";
    const std::string out = run("ffmpeg -nostdin -v debug -usetoc 1 -ss 100 -i '" + url + "' -t 1 -f null - ");
    // A second request starting far into the file, answered, and decoded.
    const auto seek = out.find("Range: bytes=", out.find("Range: bytes=0-") + 1);
    ASSERT_NE(seek, std::string::npos) << out;
    EXPECT_NE(out[seek + 13], '0') << out;
    EXPECT_EQ(out.find("Server returned"), std::string::npos) << out;
    EXPECT_NE(out.find(" 0 decoding errors"), std::string::npos) << out;
    EXPECT_EQ(out.find(" 0 seeks"), std::string::npos) << out;
}

}  // namespace
}  // namespace lyrebox

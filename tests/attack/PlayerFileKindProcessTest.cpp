// Shared files that are not what their names say, against the real player
// process: a FIFO, a socket and a symbolic link to a non-music file, each
// with a music name. None is listed, served, streamed or enqueued, none can
// hold the player, and SIGTERM still ends it. A link to a real music file
// keeps working.
#include "tests/support/PlayerProcess.h"
#include "tests/support/TempDir.h"

#include "library/LibraryText.h"

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cstring>
#include <fstream>
#include <memory>

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

class PlayerFileKindProcessTest : public ::testing::Test {
protected:
    PlayerFileKindProcessTest() {
        music = tree.folder("music");
        tree.writePattern("music/a.mp3", 10);
        fifo = tree.file("music/x.mp3");
        ::mkfifo(fifo.c_str(), 0600);
        socketFile = tree.file("music/s.mp3");
        bindSocketFile();
        std::ofstream(tree.write("outside/secret.txt"), std::ios::binary) << "SECRET";
        std::ofstream(tree.write("outside/real.mp3"), std::ios::binary) << "REAL";
        badLink = tree.file("music/song.mp3");
        goodLink = tree.file("music/good.mp3");
        std::filesystem::create_symlink(tree.file("outside/secret.txt"), badLink);
        std::filesystem::create_symlink(tree.file("outside/real.mp3"), goodLink);
        player = std::make_unique<test::PlayerProcess>("Shared Dirs=" + music + "\r\n");
    }

    void bindSocketFile() {
        unixSocket = platform::Socket(::socket(AF_UNIX, SOCK_STREAM, 0));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        ASSERT_LT(socketFile.size(), sizeof address.sun_path);
        std::memcpy(address.sun_path, socketFile.c_str(), socketFile.size() + 1);
        ASSERT_EQ(::bind(unixSocket.fd(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }

    test::Answer get(const std::string& target) { return player->ask(target); }

    test::TempDir tree;
    std::string music, fifo, socketFile, badLink, goodLink;
    platform::Socket unixSocket;
    std::unique_ptr<test::PlayerProcess> player;
};

TEST_F(PlayerFileKindProcessTest, OnlyRegularMusicFilesAreTakenAndNothingHoldsThePlayer) {
    // The FIFO first: once it held the player's window thread, nothing else
    // would answer. Without a title the player reads the file's tags for one.
    const auto fifoAnswer = get("/enqueuefile?filename=" + percentEncode(fifo));
    if (!fifoAnswer.complete) {
        // Held for good: a stop signal must still end the player.
        EXPECT_EQ(player->quitWithin(std::chrono::seconds(20)), 0) << "SIGTERM did not end the player";
        FAIL() << "the player no longer answers";
    }
    ASSERT_TRUE(get("/getvolume").complete);

    for (const std::string& path : {fifo, socketFile, badLink}) {
        SCOPED_TRACE(path);
        // A FIFO or socket is found but not opened (500); the link is not found (404).
        EXPECT_EQ(get("/download?path=" + percentEncode(path)).status, path == badLink ? 404 : 500);
        EXPECT_EQ(get("/stream?path=" + percentEncode(path)).status, 404);
        get("/enqueuefile?filename=" + percentEncode(path));
        get("/insertfile?index=0&filename=" + percentEncode(path));
    }
    EXPECT_EQ(get("/getplaylistlength").body, "0");

    const std::string listing = get("/library.js?path=" + percentEncode(music)).body;
    EXPECT_NE(listing.find("a%2emp3"), std::string::npos) << listing;
    EXPECT_NE(listing.find("good%2emp3"), std::string::npos) << listing;
    for (const char* name : {"x%2emp3", "s%2emp3", "song%2emp3"}) EXPECT_EQ(listing.find(name), std::string::npos) << name;

    const std::string stream = get("/stream?path=" + percentEncode(music)).body;
    EXPECT_NE(stream.find("good"), std::string::npos) << stream;
    for (const char* name : {"x.mp3", "s.mp3", "song.mp3"}) EXPECT_EQ(stream.find(name), std::string::npos) << name;

    // A link to a music file is followed as before.
    const auto real = get("/download?path=" + percentEncode(goodLink));
    EXPECT_EQ(real.status, 200);
    EXPECT_EQ(real.body, "REAL");
    EXPECT_EQ(get("/enqueuefile?title=t&filename=" + percentEncode(music)).body, "1");
    EXPECT_EQ(get("/getplaylistlength").body, "2");

    EXPECT_EQ(player->quitWithin(std::chrono::seconds(20)), 0);
}

}  // namespace
}  // namespace lyrebox

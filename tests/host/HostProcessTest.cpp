// The real player process: files and folders named on its command line.
#include "TestMedia.h"
#include "tests/support/PlayerProcess.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace lyrebox {
namespace {

TEST(HostProcess, EnqueuesTheFilesAndFoldersOfItsCommandLine) {
    test::TempDir dir;
    dir.write("music/a.wav");
    dir.write("music/sub/b.WAV");
    dir.write("music/cover.jpg");
    test::writeSilentWav(dir.file("music/a.wav"), 500);
    test::writeSilentWav(dir.file("music/sub/b.WAV"), 500);
    const std::string missing = dir.file("gone.mp3");

    test::PlayerProcess player({.args = {dir.file("music"), missing}, .plugin = false});
    const int status = player.quit();
    const std::string said = player.said();
    EXPECT_NE(said.find("enqueued 2 file(s)"), std::string::npos) << said;
    EXPECT_NE(said.find("no such file or folder: " + missing), std::string::npos) << said;
    EXPECT_NE(said.find("audio output gstreamer/fakesink"), std::string::npos) << said;
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace lyrebox

// The real player process with the plugin: it starts headless and ends
// cleanly on SIGTERM.
#include "tests/support/PlayerProcess.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

TEST(PlayerProcess, StartsHeadlessWithThePluginAndEndsCleanlyOnSigterm) {
    // The server stays off: the test is about the plugin's init and quit.
    lyrebox::test::PlayerProcess player(lyrebox::test::PlayerProcess::Setup{.iniLines = "autoStart=0\r\n"});
    EXPECT_NE(player.said().find("running with 1 plugin"), std::string::npos) << player.said();
    const int status = player.quit();
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The real player process with the plugin: it starts headless and ends
// cleanly on SIGTERM.
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using lyrebox::test::TempDir;

TEST(PlayerProcess, StartsHeadlessWithThePluginAndEndsCleanlyOnSigterm) {
    TempDir dir;
    std::string plugin = dir.file("gen_lyrebox.so");
    std::filesystem::copy_file(std::string(LYREBOX_BUILD_DIR) + "/plugins/gen_lyrebox.so", plugin);
    // Keep the server off its default port so the test never meets another player.
    dir.write("gen_lyrebox.ini", "[Lyrebox Remote Control Plugin v1.0]\nautoStart=0\n");

    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::string exe = std::string(LYREBOX_BUILD_DIR) + "/lyrebox-player";
    const char* argv[] = {exe.c_str(), "--headless", "--plugin", plugin.c_str(), nullptr};
    pid_t pid;
    ::setenv("XDG_STATE_HOME", dir.file("state").c_str(), 1);  // the run's own saved play list
    ASSERT_EQ(posix_spawn(&pid, exe.c_str(), &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);

    // Wait for the player to say it runs (its plugins are initialised by then).
    std::string said;
    char buffer[256];
    while (said.find("running") == std::string::npos) {
        ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        said.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_NE(said.find("running with 1 plugin"), std::string::npos) << said;
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::close(out[0]);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

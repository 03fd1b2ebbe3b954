// The real player process: files and folders named on its command line.
#include "TestMedia.h"

#include <gtest/gtest.h>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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

    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string exe = std::string(LYREBOX_BUILD_DIR) + "/lyrebox-player";
    const std::string noPlugin = dir.file("no-plugin.so");
    const std::string music = dir.file("music");
    const char* argv[] = {exe.c_str(), "--headless", "--plugin", noPlugin.c_str(), music.c_str(), missing.c_str(),
                          nullptr};
    ::setenv("LYREBOX_AUDIO", "null", 1);
    ::setenv("XDG_STATE_HOME", dir.file("state").c_str(), 1);  // the run's own saved play list
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, exe.c_str(), &actions, nullptr, const_cast<char**>(argv), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);

    std::string said;
    char buffer[256];
    while (said.find("running") == std::string::npos) {
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        said.append(buffer, static_cast<std::size_t>(n));
    }
    ::kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ::close(out[0]);
    EXPECT_NE(said.find("enqueued 2 file(s)"), std::string::npos) << said;
    EXPECT_NE(said.find("no such file or folder: " + missing), std::string::npos) << said;
    EXPECT_NE(said.find("audio output gstreamer/fakesink"), std::string::npos) << said;
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace lyrebox

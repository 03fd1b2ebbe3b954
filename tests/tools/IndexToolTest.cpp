// lyrebox-index's command line: help, refusals, and that nothing is written
// before the arguments are known to be good.
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace lyrebox {
namespace {

struct ToolRun {
    int status = -1;  // exit status, or -1 when it did not exit
    std::string out, err;
};

// Runs the tool in folder `cwd` with its output kept in `logs`.
ToolRun runIndexTool(const std::vector<std::string>& args, const std::string& cwd, const test::TempDir& logs) {
    const std::string exe = std::string(LYREBOX_BUILD_DIR) + "/lyrebox-index";
    std::vector<char*> argv{const_cast<char*>(exe.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const std::string out = logs.file("out"), err = logs.file("err");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    ToolRun run;
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, exe.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return run;
    int status = 0;
    if (::waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.out = test::TempDir::read(out);
    run.err = test::TempDir::read(err);
    return run;
}

bool isEmptyFolder(const std::string& path) { return std::filesystem::is_empty(path); }

TEST(IndexTool, HelpGoesToStandardOutput) {
    test::TempDir work, logs;
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, {"-h"}, {"module.so", "-h"}}) {
        const ToolRun run = runIndexTool(args, work.path(), logs);
        EXPECT_EQ(run.status, 0) << args[0];
        EXPECT_EQ(run.out.rfind("usage: lyrebox-index", 0), 0u) << run.out;
        EXPECT_EQ(run.err, "");
        EXPECT_TRUE(isEmptyFolder(work.path())) << args[0];   // no "--help.index"
    }
}

TEST(IndexTool, BadCommandLinesAreRefusedWithUsageOnStandardError) {
    test::TempDir work, logs;
    work.write("gen_lyrebox.so", "not really a module");
    std::filesystem::create_directory(work.file("music"));
    const struct {
        std::vector<std::string> args;
        const char* problem;
    } cases[] = {
        {{}, ""},
        {{"gen_lyrebox.so"}, "no shared folder given"},
        {{"--bogus", "music"}, "unknown option --bogus"},
        {{"gen_lyrebox.so", "music", "-x"}, "unknown option -x"},
        {{"missing.so", "music"}, "no plugin module at missing.so"},
    };
    for (const auto& c : cases) {
        const ToolRun run = runIndexTool(c.args, work.path(), logs);
        EXPECT_EQ(run.status, 2) << c.problem;
        EXPECT_EQ(run.out, "") << c.problem;
        EXPECT_NE(run.err.find(c.problem), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("usage: lyrebox-index"), std::string::npos) << run.err;
    }
    // Only what the test put there: no index folder of any name.
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(work.path())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"gen_lyrebox.so", "music"}));
}

TEST(IndexTool, AfterTheEndOfOptionsANameMayStartWithADash) {
    test::TempDir work, logs;
    work.write("gen_lyrebox.so", "not really a module");
    std::filesystem::create_directory(work.file("-music"));
    const ToolRun run = runIndexTool({"--", "gen_lyrebox.so", "-music"}, work.path(), logs);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(std::filesystem::is_directory(work.file("gen_lyrebox")));   // the index beside the module
}

}  // namespace
}  // namespace lyrebox

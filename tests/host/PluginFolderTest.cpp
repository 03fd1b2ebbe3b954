// The plugins folder: beside the executable in a build tree; for an installed
// player, the user's own folder with links to the installed plugins, through
// which a plugin's module path (and so its INI) stays in the user's folder.
#include "host/PluginFolder.h"
#include "host/PluginLoader.h"
#include "platform/Module.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <unistd.h>

#include <filesystem>

namespace lyrebox::host {
namespace {

namespace fs = std::filesystem;

class PluginFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* data = std::getenv("XDG_DATA_HOME");
        saved_ = data ? data : "";
        hadData_ = data != nullptr;
        ::setenv("XDG_DATA_HOME", dir_.file("data").c_str(), 1);
        dir_.write("usr/bin/lyrebox-player");
        dir_.write("usr/lib/lyrebox/plugins/gen_lyrebox.so", "module");
        dir_.write("usr/lib/lyrebox/plugins/notes.txt");
    }
    void TearDown() override {
        if (hadData_) ::setenv("XDG_DATA_HOME", saved_.c_str(), 1);
        else ::unsetenv("XDG_DATA_HOME");
    }
    PluginFolderChoice choose() { return choosePluginFolder(dir_.file("usr/bin"), "../lib/lyrebox/plugins"); }

    test::TempDir dir_;
    std::string saved_;
    bool hadData_ = false;
};

TEST_F(PluginFolderTest, ABuildTreeUsesThePluginsBesideTheExecutable) {
    dir_.write("usr/bin/plugins/gen_x.so");
    const PluginFolderChoice choice = choose();
    EXPECT_EQ(choice.folder, dir_.file("usr/bin/plugins"));
    EXPECT_TRUE(choice.linked.empty());
    EXPECT_FALSE(fs::exists(dir_.file("data")));
}

TEST_F(PluginFolderTest, AnInstalledPlayerGivesEachUserLinksOnce) {
    const std::string user = dir_.file("data/lyrebox/plugins");
    PluginFolderChoice first = choose();
    EXPECT_EQ(first.folder, user);
    ASSERT_EQ(first.linked, std::vector<std::string>{user + "/gen_lyrebox.so"});
    EXPECT_EQ(fs::read_symlink(user + "/gen_lyrebox.so"), fs::canonical(dir_.file("usr/lib/lyrebox/plugins")) / "gen_lyrebox.so");
    EXPECT_FALSE(fs::exists(user + "/notes.txt"));
    EXPECT_TRUE(choose().linked.empty());  // the second start finds it set up
}

TEST_F(PluginFolderTest, ADanglingLinkIsRenewedAndTheUsersOwnFileStays) {
    const std::string user = dir_.file("data/lyrebox/plugins");
    fs::create_directories(user);
    fs::create_symlink(dir_.file("moved/gen_lyrebox.so"), user + "/gen_lyrebox.so");
    EXPECT_EQ(choose().linked.size(), 1u);
    EXPECT_TRUE(fs::exists(user + "/gen_lyrebox.so"));

    fs::remove(user + "/gen_lyrebox.so");
    dir_.write("data/lyrebox/plugins/gen_lyrebox.so", "my own build");
    EXPECT_TRUE(choose().linked.empty());
    EXPECT_EQ(test::TempDir::read(user + "/gen_lyrebox.so"), "my own build");
}

TEST_F(PluginFolderTest, AModuleLoadedThroughALinkIsNamedByTheLink) {
    const std::string plugin = std::string(LYREBOX_BUILD_DIR) + "/plugins/gen_lyrebox.so";
    ASSERT_TRUE(fs::exists(plugin));
    const std::string link = dir_.file("data/linked/gen_lyrebox.so");
    fs::create_directories(dir_.file("data/linked"));
    fs::create_symlink(plugin, link);
    // As the player loads plugins: never unmapped, so its static objects stay valid.
    void* handle = ::dlopen(link.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    ASSERT_NE(handle, nullptr) << ::dlerror();
    void* entry = ::dlsym(handle, kPluginEntryName);
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(platform::moduleFileName(entry), fs::canonical(dir_.file("data/linked")).string() + "/gen_lyrebox.so");
    ::dlclose(handle);
}

}  // namespace
}  // namespace lyrebox::host

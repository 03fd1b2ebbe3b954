// The run script's share edit: a folder given is added to the INI's shared
// folders once, nothing else in the file changes, and names the list cannot
// hold are refused.
#include "tools/share/SharedFolderEdit.h"

#include "config/Settings.h"
#include "platform/Profile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace lyrebox {
namespace {

TEST(ShareFolder, ANewIniGetsTheFolderAndOnlyItsOwnerReadsIt) {
    test::TempDir dir;
    const std::string ini = dir.file("gen_lyrebox.ini");
    std::string message;
    ASSERT_EQ(shareFolder(ini, "/srv/music/", message), ShareResult::Added) << message;
    Settings settings(ini);
    EXPECT_EQ(*settings.sharedDirs().snapshot(), std::vector<std::string>{"/srv/music"});
    struct stat info {};
    ASSERT_EQ(::stat(ini.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0077, 0u);
}

TEST(ShareFolder, AddsOnceAndKeepsEveryOtherKey) {
    test::TempDir dir;
    const std::string ini = dir.write("gen_lyrebox.ini",
                                      "[Other]\r\nShared Dirs=/elsewhere;\r\n"
                                      "[Lyrebox Remote Control Plugin v1.0]\r\nlistenPort=1234\r\npassword=secret\r\n"
                                      "Shared Dirs=/a;/b/;\r\n");
    const struct {
        const char* folder;
        ShareResult want;
    } cases[] = {
        {"/a", ShareResult::AlreadyShared},
        {"/a/", ShareResult::AlreadyShared},
        {"/b", ShareResult::AlreadyShared},
        {"/a/inside", ShareResult::AlreadyShared},
        {"/ab", ShareResult::Added},         // a longer name is not inside /a
        {"/ab", ShareResult::AlreadyShared},  // and once is enough
        {"relative/music", ShareResult::Refused},
        {"/x;y", ShareResult::Refused},
        {"/x\ny", ShareResult::Refused},
    };
    for (const auto& c : cases) {
        std::string message;
        EXPECT_EQ(shareFolder(ini, c.folder, message), c.want) << c.folder << ": " << message;
    }
    Settings settings(ini);
    EXPECT_EQ(*settings.sharedDirs().snapshot(), (std::vector<std::string>{"/a", "/b/", "/ab"}));
    EXPECT_EQ(settings.listenPort(), 1234);
    EXPECT_EQ(settings.password(), "secret");
    EXPECT_EQ(platform::getPrivateProfileString("Other", "Shared Dirs", "", 100, ini), "/elsewhere;");
}

}  // namespace
}  // namespace lyrebox

#include "platform/Profile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;
using lyrebox::test::TempDir;

namespace {
std::string readKey(const std::string& section, const std::string& key, const std::string& path,
                    std::size_t size = 256, const std::string& def = "<absent>") {
    std::string buffer(size, '\0');
    std::size_t n = getPrivateProfileString(section, key, def, buffer.data(), size, path);
    return buffer.substr(0, n);
}
}  // namespace

TEST(Profile, NamesMatchWithoutCaseAndValuesAreReplacedInPlace) {
    TempDir dir;
    auto ini = dir.write("a.ini", "; comment\n[Other]\nkey=other\n[My Section]\nAlpha=1\nbeta = two \n[Tail]\nx=y\n");
    EXPECT_EQ(readKey("my section", "ALPHA", ini), "1");
    EXPECT_EQ(readKey("MY SECTION", "Beta", ini), "two");
    EXPECT_EQ(readKey("My Section", "key", ini), "<absent>") << "keys of other sections are not seen";
    ASSERT_TRUE(writePrivateProfileString("my section", "BETA", "three", ini));
    ASSERT_TRUE(writePrivateProfileString("My Section", "gamma", "4", ini));
    ASSERT_TRUE(writePrivateProfileString("New", "k", "v", ini));
    EXPECT_EQ(TempDir::read(ini),
              "; comment\n[Other]\nkey=other\n[My Section]\nAlpha=1\nBETA=three\ngamma=4\n[Tail]\nx=y\n[New]\nk=v\n");
}

TEST(Profile, DefaultsForMissingFilesSectionsAndKeys) {
    TempDir dir;
    EXPECT_EQ(getPrivateProfileInt("S", "n", 42, dir.file("missing.ini")), 42);
    auto ini = dir.write("b.ini", "[S]\nn=-17xyz\nempty=\nword=abc\n");
    EXPECT_EQ(getPrivateProfileInt("S", "n", 42, ini), -17);
    EXPECT_EQ(getPrivateProfileInt("S", "word", 42, ini), 42) << "no digits keeps the default";
    EXPECT_EQ(getPrivateProfileInt("T", "n", 5, ini), 5);
    EXPECT_EQ(readKey("S", "empty", ini), "") << "present and empty is not absent";
    EXPECT_EQ(readKey("S", "nothing", ini, 256, "dflt"), "dflt");
}

TEST(Profile, ValuesAreCutToTheBufferSize) {
    TempDir dir;
    auto ini = dir.write("c.ini", "[S]\nk=0123456789\n");
    EXPECT_EQ(readKey("S", "k", ini, 5), "0123");
    EXPECT_EQ(readKey("S", "k", ini, 1), "");
    EXPECT_EQ(getPrivateProfileString("S", "k", "", 3, ini), "012");
}

TEST(Profile, ANewFileIsReadableByItsOwnerOnly) {
    TempDir dir;
    auto ini = dir.file("new.ini");
    ASSERT_TRUE(writePrivateProfileString("S", "password", "secret", ini));
    struct stat st {};
    ASSERT_EQ(::stat(ini.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(TempDir::read(ini), "[S]\npassword=secret\n");
}

TEST(Profile, ASaveInterruptedBeforeItsRenameLeavesTheOldFileIntact) {
    TempDir dir;
    auto ini = dir.write("d.ini", "[S]\nk=old\n");
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        detail::setProfileBeforeRenameHook([] { ::_exit(3); });  // the process dies mid-save
        writePrivateProfileString("S", "k", "new", ini);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(TempDir::read(ini), "[S]\nk=old\n");
    ASSERT_TRUE(writePrivateProfileString("S", "k", "new", ini));
    EXPECT_EQ(readKey("S", "k", ini), "new");
    // The next save took the place of the one cut short: no stray copy (which
    // may hold a password) is left beside the file.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(Profile, HostileFilesLoadWithoutHarm) {
    TempDir dir;
    std::string garbage;
    for (int i = 0; i < 5000; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
    auto bin = dir.write("bin.ini", garbage);
    EXPECT_EQ(getPrivateProfileInt("S", "k", 9, bin), 9);
    auto big = dir.write("big.ini", "[S]\nk=" + std::string(1 << 20, 'x') + "\n");
    EXPECT_EQ(readKey("S", "k", big, 8), "xxxxxxx");
}

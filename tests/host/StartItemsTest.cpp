// The command line's files and folders turned into play-list entries.
#include "TestMedia.h"

#include "host/player/StartItems.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace lyrebox {
namespace {

TEST(StartItemsTest, PlayableExtensionsInAnyCase) {
    const struct {
        const char* path;
        bool playable;
    } cases[] = {
        {"a.mp3", true},   {"a.MP3", true},       {"b.Wma", true},     {"c.flac", true}, {"d.m4a", true},
        {"e.mp4", true},   {"f.ogg", true},       {"g.WAV", true},     {"a.mp3.txt", false},
        {"mp3", false},    {"dir.mp3/file", false}, {"a.", false},     {"a.aac", false}, {"/x/.mp3", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(hasPlayableExtension(c.path), c.playable) << c.path;
}

TEST(StartItemsTest, FoldersExpandToPlayableFilesInByteOrder) {
    test::TempDir dir;
    namespace fs = std::filesystem;
    fs::create_directories(dir.file("sub/deeper"));
    fs::create_directories(dir.file("empty"));
    for (const char* name : {"b.MP3", "a.flac", "Z.wav", "notes.txt", "sub/c.ogg", "sub/deeper/d.m4a", "sub.mp3", "\xC3\xA9t\xC3\xA9.mp3"})
        test::writeText(dir.file(name), "x");
    fs::create_directory_symlink(dir.path(), dir.file("sub/loop"));  // must not recurse forever

    const StartItems items = expandStartItems({dir.path()});
    const std::vector<std::string> expected = {
        dir.file("Z.wav"), dir.file("a.flac"), dir.file("b.MP3"),
        dir.file("sub.mp3"), dir.file("sub/c.ogg"), dir.file("sub/deeper/d.m4a"),
        dir.file("\xC3\xA9t\xC3\xA9.mp3"),  // bytes above 0x7F sort after ASCII
    };
    EXPECT_EQ(items.entries, expected);
    EXPECT_TRUE(items.missing.empty());
}

TEST(StartItemsTest, FilesAndUrlsPassAndMissingOnesAreReported) {
    test::TempDir dir;
    test::writeText(dir.file("song.txt"), "x");
    const std::string cwd = std::filesystem::current_path().string();
    ASSERT_EQ(::chdir(dir.path().c_str()), 0);
    const StartItems items = expandStartItems({"song.txt", "http://radio.invalid/x", dir.file("gone.mp3"), "./"});
    ASSERT_EQ(::chdir(cwd.c_str()), 0);

    const std::vector<std::string> expected = {dir.file("song.txt"), "http://radio.invalid/x"};
    EXPECT_EQ(items.entries, expected) << "a file named on its own passes whatever its extension";
    EXPECT_EQ(items.missing, std::vector<std::string>{dir.file("gone.mp3")});
}

}  // namespace
}  // namespace lyrebox

#include "platform/DirectorySearch.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <sys/time.h>

using namespace platform;
using lyrebox::test::TempDir;

TEST(DirectorySearch, FileTimesCountFrom1601) {
    EXPECT_EQ(unixToFileTime(0), 116444736000000000ULL);
    EXPECT_EQ(unixToFileTime(1, 500), 116444736010000005ULL);
}

TEST(DirectorySearch, ListsDotEntriesFirstThenItemsWithAttributesAndSizes) {
    TempDir dir;
    dir.write("song.mp3", std::string(1234, 'a'));
    std::filesystem::create_directory(dir.file("Sub"));
    std::filesystem::create_symlink(dir.file("song.mp3"), dir.file("link.mp3"));
    timeval times[2] = {{1000000000, 0}, {1000000000, 0}};
    ::utimes(dir.file("song.mp3").c_str(), times);

    auto items = listDirectoryItems(dir.path());
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].name, ".");
    EXPECT_EQ(items[1].name, "..");
    EXPECT_TRUE(items[0].attributes & FILE_ATTRIBUTE_DIRECTORY);
    std::map<std::string, FindRecord> byName;
    for (auto& i : items) byName[i.name] = i;
    EXPECT_EQ(byName["song.mp3"].size, 1234u);
    EXPECT_FALSE(byName["song.mp3"].attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(byName["song.mp3"].lastWriteTime, unixToFileTime(1000000000));
    EXPECT_TRUE(byName["Sub"].attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(byName["link.mp3"].size, 1234u) << "links are followed";
}

TEST(DirectorySearch, LookupOfOnePathAndOfMissingOnes) {
    TempDir dir;
    dir.write("a/b.flac", "xyz");
    auto file = lookupPath(dir.file("a/b.flac"));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->name, "b.flac");
    EXPECT_EQ(file->size, 3u);
    auto folder = lookupPath(dir.file("a") + "/");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->name, "a");
    EXPECT_FALSE(lookupPath(dir.file("missing")));
    EXPECT_TRUE(listDirectoryItems(dir.file("missing")).empty());
}

#include "platform/DirectoryEntries.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

using platform::DirectoryEntries;
using lyrebox::test::TempDir;

namespace {

std::map<std::string, unsigned char> listAll(const std::string& path, std::size_t bufferBytes) {
    std::vector<char> buffer(bufferBytes);
    DirectoryEntries entries(path.c_str(), buffer);
    std::map<std::string, unsigned char> found;
    while (const auto entry = entries.next()) {
        EXPECT_TRUE(found.emplace(entry->name, entry->type).second) << "listed twice: " << entry->name;
    }
    EXPECT_FALSE(entries.next()) << "the end stays the end";
    return found;
}

}  // namespace

// A buffer of a few hundred bytes holds a handful of entries, so the listing
// takes many reads and every refill is crossed.
TEST(DirectoryEntries, ListsEveryEntryOnceWithItsTypeWhateverTheBufferHolds) {
    TempDir dir;
    for (int i = 0; i < 300; ++i) {
        dir.write("track " + std::to_string(i) + std::string(40, 'x') + ".mp3");
    }
    std::filesystem::create_directory(dir.file("Album"));
    std::filesystem::create_symlink(dir.file("Album"), dir.file("link"));

    for (const std::size_t bytes : {std::size_t{512}, DirectoryEntries::kBufferBytes}) {
        const auto found = listAll(dir.path(), bytes);
        ASSERT_EQ(found.size(), 300u + 2 + 2) << "buffer of " << bytes;
        EXPECT_EQ(found.at("."), DT_DIR);
        EXPECT_EQ(found.at(".."), DT_DIR);
        EXPECT_EQ(found.at("Album"), DT_DIR);
        EXPECT_EQ(found.at("link"), DT_LNK) << "the entry's own type: links are not followed";
        EXPECT_EQ(found.at("track 299" + std::string(40, 'x') + ".mp3"), DT_REG);
    }
}

TEST(DirectoryEntries, AMissingDirectoryOrAFileListsNothing) {
    TempDir dir;
    const std::string file = dir.write("song.mp3");
    std::vector<char> buffer(DirectoryEntries::kBufferBytes);
    for (const std::string& path : {dir.file("gone"), file}) {
        DirectoryEntries entries(path.c_str(), buffer);
        EXPECT_FALSE(entries.valid()) << path;
        EXPECT_FALSE(entries.next()) << path;
    }
}

#include "library/BrowseDocument.h"

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

FileEntry file(std::string path, std::uint64_t time, std::uint64_t size) {
    return FileEntry{std::move(path), 0x20, time, size};
}
FileEntry dir(std::string path) {
    return FileEntry{std::move(path), 0x10, 5, 0};
}

std::vector<std::string> names(const std::vector<FileEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(baseName(e.path));
    return out;
}

TEST(BrowseSort, KeysAndDirections) {
    const std::vector<FileEntry> entries{file("/m/a.mp3", 30, 100), file("/m/B.mp3", 10, 300),
                                         file("/m/ab.mp3", 20, 200), file("/m/\xE9.mp3", 40, 5000000000ULL)};
    auto sorted = entries;
    sortEntries(sorted, 0, 0);
    EXPECT_EQ(names(sorted), (std::vector<std::string>{"B.mp3", "a.mp3", "ab.mp3", "\xE9.mp3"}));
    sortEntries(sorted, 0, 1);
    EXPECT_EQ(names(sorted), (std::vector<std::string>{"\xE9.mp3", "ab.mp3", "a.mp3", "B.mp3"}));
    sortEntries(sorted, 1, 0);
    EXPECT_EQ(names(sorted), (std::vector<std::string>{"B.mp3", "ab.mp3", "a.mp3", "\xE9.mp3"}));
    sortEntries(sorted, 1, 1);
    EXPECT_EQ(names(sorted), (std::vector<std::string>{"\xE9.mp3", "a.mp3", "ab.mp3", "B.mp3"}));
    sortEntries(sorted, 2, 0);
    EXPECT_EQ(names(sorted), (std::vector<std::string>{"a.mp3", "ab.mp3", "B.mp3", "\xE9.mp3"}));
    sortEntries(sorted, 2, 1);  // sizes are compared in 64 bits
    EXPECT_EQ(names(sorted), (std::vector<std::string>{"\xE9.mp3", "B.mp3", "ab.mp3", "a.mp3"}));
    auto untouched = entries;
    sortEntries(untouched, 7, 0);
    sortEntries(untouched, 0, 2);
    EXPECT_EQ(names(untouched), names(entries));
}

TEST(BrowseCallback, OnlyPlainNamesPass) {
    EXPECT_EQ(safeCallbackName("show"), "show");
    EXPECT_EQ(safeCallbackName("jQuery_12.$cb9"), "jQuery_12.$cb9");
    EXPECT_EQ(safeCallbackName(""), "");
    for (const char* hostile : {"alert(1)//", "a;b", "x y", "a\nb", "</script>", "f[0]", "a-b", "\xE9"}) {
        EXPECT_EQ(safeCallbackName(hostile), "") << hostile;
    }
    EXPECT_EQ(wrapInCallback("show", "{}"), "show({});");
    EXPECT_EQ(wrapInCallback("", "{}"), "({});");
}

TEST(BrowseDocument, DirectoryListingBytes) {
    const std::vector<FileEntry> entries{dir("/m/Sub"), dir("/m/.."), file("/m/a.MP3", 1, 2),
                                         file("/m/caf\xE9.ogg", 1, 2)};
    EXPECT_EQ(writeBrowseDocument("/m/", "dXNlcjpwdw==", entries, false),
              "{\"path\" : \"%2fm%2f\",\n"
              "\"auth\" : \"dXNlcjpwdw==\",\n"
              "\"files\" : [\n"
              "{\"name\" : \"..\",\"type\" : \"$UP$\" },\n"
              "{\"name\" : \"Sub\",\"path\" : \"%2fm%2fSub\",\"type\" : \"%24DIR%24\" }\n,\n"
              "{\"name\" : \"a%2eMP3\",\"path\" : \"%2fm%2fa%2eMP3\",\"type\" : \"mp3\" }\n,\n"
              "{\"name\" : \"caf%e9%2eogg\",\"path\" : \"%2fm%2fcaf%e9%2eogg\",\"type\" : \"ogg\" }\n"
              "]}");
}

TEST(BrowseDocument, RootAndEmptyListings) {
    EXPECT_EQ(writeBrowseDocument("", "", {}, true), "{\"path\" : \"\",\n\"auth\" : \"\",\n\"files\" : [\n]}");
    EXPECT_EQ(writeBrowseDocument("/m", "", {}, false),
              "{\"path\" : \"%2fm\",\n\"auth\" : \"\",\n\"files\" : [\n{\"name\" : \"..\",\"type\" : \"$UP$\" }]}");
    const std::vector<FileEntry> roots{dir("/srv/music"), dir("/")};
    EXPECT_EQ(writeBrowseDocument("", "", roots, true),
              "{\"path\" : \"\",\n\"auth\" : \"\",\n\"files\" : [\n"
              "\n{\"name\" : \"%2fsrv%2fmusic\",\"path\" : \"%2fsrv%2fmusic\",\"type\" : \"%24DIR%24\" }\n,\n"
              "{\"name\" : \"%2f\",\"path\" : \"%2f\",\"type\" : \"%24DIR%24\" }\n]}");
}

}  // namespace
}  // namespace lyrebox

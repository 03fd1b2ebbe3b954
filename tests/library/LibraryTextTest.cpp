#include "library/LibraryText.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>

namespace lyrebox {
namespace {

TEST(LibraryText, BaseNameAndExtension) {
    EXPECT_EQ(baseName("/music/Rock/a.mp3"), "a.mp3");
    EXPECT_EQ(baseName("a.mp3"), "a.mp3");
    EXPECT_EQ(baseName("/music/"), "");
    EXPECT_EQ(fileExtension("Song.MP3"), "mp3");
    EXPECT_EQ(fileExtension("README"), "readme");
    EXPECT_EQ(fileExtension("a.tar.Gz"), "gz");
    EXPECT_EQ(fileExtension("x.\xC9"), "\xC9");  // only ASCII letters fold
}

TEST(LibraryText, PercentEncodeKeepsOnlyLettersAndDigits) {
    EXPECT_EQ(percentEncode("/My Music/a.mp3"), "%2fMy%20Music%2fa%2emp3");
    EXPECT_EQ(percentEncode("-_.~"), "%2d%5f%2e%7e");
    EXPECT_EQ(percentEncode("caf\xE9"), "caf%e9");
    EXPECT_EQ(percentEncode(std::string_view("\n\0", 2)), "%0a%00");
    EXPECT_EQ(percentEncode("\xFF"), "%ff");
}

TEST(LibraryText, PercentEncodeOfLongTextsAcrossItsChunks) {
    // Every byte value, in texts longer than the encoder's chunk, so a byte
    // that needs three characters falls on each seam.
    for (std::size_t length : {255u, 256u, 257u, 1000u}) {
        std::string text, expected;
        for (std::size_t i = 0; i < length; ++i) {
            const auto byte = static_cast<unsigned char>((i * 37) % 256);
            text.push_back(static_cast<char>(byte));
            const bool plain = std::isalnum(byte) && byte < 0x80;
            char encoded[4];
            std::snprintf(encoded, sizeof encoded, "%%%02x", byte);
            expected += plain ? std::string(1, static_cast<char>(byte)) : std::string(encoded);
        }
        EXPECT_EQ(percentEncode(text), expected) << length;
        std::string appended = "x";
        appendPercentEncoded(appended, text);
        EXPECT_EQ(appended, "x" + expected);
    }
    std::string lowered;
    appendPercentEncoded(lowered, "MP3.Flac-Z", true);
    EXPECT_EQ(lowered, "mp3%2eflac%2dz");
}

TEST(LibraryText, ListableItems) {
    using platform::FindRecord;
    EXPECT_FALSE(isListable(FindRecord{".", 0x10, 0, 0, false, {}}));
    EXPECT_TRUE(isListable(FindRecord{"..", 0x10, 0, 0, false, {}}));
    EXPECT_TRUE(isListable(FindRecord{"Sub", 0x10, 0, 0, false, {}}));
    EXPECT_TRUE(isListable(FindRecord{"a.MP3", 0, 0, 0, false, {}}));
    EXPECT_TRUE(isListable(FindRecord{"b.flac", 0, 0, 0, false, {}}));
    EXPECT_FALSE(isListable(FindRecord{"b.txt", 0, 0, 0, false, {}}));
    EXPECT_FALSE(isListable(FindRecord{"noextension", 0, 0, 0, false, {}}));
}

TEST(LibraryText, PathJoinAndStrip) {
    EXPECT_EQ(stripTrailingSlashes("/music///"), "/music");
    EXPECT_EQ(stripTrailingSlashes("///"), "/");
    EXPECT_EQ(stripTrailingSlashes(""), "");
    EXPECT_EQ(joinPath("/", "etc"), "/etc");
    EXPECT_EQ(joinPath("/music", "a.mp3"), "/music/a.mp3");
}

struct RuleCase {
    const char* path;
    bool allowed;
};

TEST(PathRule, SharedDirectoriesByWholeComponents) {
    const std::vector<std::string> dirs{"/music", "/data/share/"};
    const RuleCase cases[] = {
        {"/music", true},
        {"/music/", true},
        {"/music//", true},
        {"/music/Rock/a.mp3", true},
        {"/music//Rock//a.mp3", true},
        {"/data/share", true},
        {"/data/share/x.mp3", true},
        {"/musical", false},
        {"/musical/a.mp3", false},
        {"/Music/a.mp3", false},
        {"/mus", false},
        {"//music/a.mp3", false},
        {"music/a.mp3", false},
        {"/", false},
        {"", false},
        {"/data", false},
        {"/etc/passwd", false},
        {"http://h/x.mp3", true},
        {"search://rock", true},
        {"searchf://", true},
        {"https://h/x.mp3", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isPathUnderSharedDirs(c.path, dirs), c.allowed) << c.path;
}

TEST(PathRule, RefusesEveryClimbOut) {
    const std::vector<std::string> dirs{"/music"};
    const std::string hostile[] = {
        "/music/..",
        "/music/../etc/passwd",
        "/music/Rock/../../etc",
        "/music/./a.mp3",
        "/music/.",
        "/music/..//",
        "/music/a/..",
        std::string("/music/a.mp3\0/../../etc/passwd", 30),
        std::string("/music\0", 7),
    };
    for (const auto& path : hostile) EXPECT_FALSE(isPathUnderSharedDirs(path, dirs)) << path;
    // Names that merely contain dots, or a still-encoded "%2e%2e", are ordinary names.
    EXPECT_TRUE(isPathUnderSharedDirs("/music/...", dirs));
    EXPECT_TRUE(isPathUnderSharedDirs("/music/..a.mp3", dirs));
    EXPECT_TRUE(isPathUnderSharedDirs("/music/%2e%2e", dirs));
}

TEST(PathRule, RootDirectoryCoversEverything) {
    const std::vector<std::string> dirs{"/"};
    EXPECT_TRUE(isPathUnderSharedDirs("/", dirs));
    EXPECT_TRUE(isPathUnderSharedDirs("/etc/passwd", dirs));
    EXPECT_TRUE(isPathUnderSharedDirs("//x", dirs));
    EXPECT_FALSE(isPathUnderSharedDirs("relative/x", dirs));
    EXPECT_FALSE(isPathUnderSharedDirs("/etc/../x", dirs));
    EXPECT_FALSE(isPathUnderSharedDirs("/etc/x", {}));
}

}  // namespace
}  // namespace lyrebox

// Malformed INI files: whatever lies beside the plugin, the settings load
// (defaults where nothing usable is found) without a crash or a hang.
#include "config/Settings.h"
#include "tests/support/TempDir.h"

#include <random>
#include <string>

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

const std::string kSection = std::string("[") + Settings::kSection + "]\n";

void expectDefaults(const Settings& s, const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_TRUE(s.autoStart());
    EXPECT_EQ(s.listenPort(), 5151);
    EXPECT_EQ(s.listenIP(), 0u);
    EXPECT_EQ(s.timeout(), 900);
    EXPECT_FALSE(s.requirePassword());
    EXPECT_FALSE(s.filterIPs());
    EXPECT_TRUE(s.enableML());
    EXPECT_TRUE(s.sharedDirs().snapshot()->empty());
}

std::string randomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string out(size, '\0');
    for (auto& c : out) c = static_cast<char>(random() & 0xFF);
    return out;
}

TEST(IniAttack, GarbageAndMissingSectionsLoadTheDefaults) {
    test::TempDir dir;
    const std::string megabyte(1024 * 1024, 'x');
    const std::vector<std::pair<std::string, std::string>> files = {
        {"binary garbage", randomBytes(256 * 1024, 1)},
        {"binary garbage with NULs and no line breaks", std::string(4096, '\0') + randomBytes(4096, 2)},
        {"a 1 MB line", megabyte},
        {"a 1 MB line without a break, then a section", megabyte + kSection},
        {"a 1 MB section name", "[" + megabyte + "]\nlistenPort=1\n"},
        {"keys without a section", "listenPort=1\ntimeout=2\nautoStart=0\nShared Dirs=/etc\n"},
        {"another section", "[Other]\nlistenPort=1\nShared Dirs=/etc\n"},
        {"an unclosed section header", "[" + std::string(Settings::kSection) + "\nlistenPort=1\n"},
        {"only the section", kSection},
        {"empty", ""},
        {"lines of equals signs and brackets", "=\n==\n[\n]\n[]\n=[]=\n"},
    };
    for (const auto& [what, text] : files) {
        const std::string path = dir.write("garbage.ini", text);
        expectDefaults(Settings(path), what);
    }
}

TEST(IniAttack, OversizedAndMalformedValuesAreCutOrIgnored) {
    test::TempDir dir;
    const std::string megabyte(1024 * 1024, '7');
    const std::string text = kSection + "username=" + megabyte + "\npassword=" + std::string(1024 * 1024, 'p') +
                             "\nlistenPort=" + megabyte + "\ntimeout=abc\nlistenIP=999.1.2.3.4.5\n"
                             "Shared Dirs=" + std::string(1024 * 1024, '/') + "\n" + randomBytes(64 * 1024, 3);
    Settings s(dir.write("big.ini", text));
    EXPECT_LE(s.username().size(), Settings::kMaxCredential);
    EXPECT_LE(s.password().size(), Settings::kMaxCredential);
    EXPECT_EQ(s.timeout(), 900);
    for (const auto& shared : *s.sharedDirs().snapshot()) EXPECT_LE(shared.size(), Settings::kMaxSharedDirs);
}

TEST(IniAttack, AFolderWhereTheFileShouldBeLoadsDefaultsAndFailsToSaveQuietly) {
    test::TempDir dir;
    std::filesystem::create_directories(dir.file("plugin.ini"));
    Settings s(dir.file("plugin.ini"));
    expectDefaults(s, "a folder");
    s.setListenPort(1);
    s.save();
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("plugin.ini")));
}

}  // namespace
}  // namespace lyrebox

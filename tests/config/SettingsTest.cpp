#include "config/Settings.h"
#include "platform/Profile.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <thread>

using namespace lyrebox;
using lyrebox::test::TempDir;

namespace {
const std::string kSectionLine = "[Lyrebox Remote Control Plugin v1.0]\n";
const std::string kDefaultAllowed = "127.0.0.1\r\n192.168.0.*\r\n192.168.1.*";

std::vector<std::string> dirsOf(const Settings& s) { return *s.sharedDirs().snapshot(); }
}  // namespace

TEST(Settings, AFileWithoutTheSectionLoadsEveryDefault) {
    TempDir dir;
    Settings s(dir.write("p.ini", "[Something Else]\nlistenPort=1\n"));
    EXPECT_TRUE(s.autoStart());
    EXPECT_EQ(s.listenIP(), 0u);
    EXPECT_EQ(s.listenPort(), 5151);
    EXPECT_EQ(s.timeout(), 900);
    EXPECT_FALSE(s.requirePassword());
    EXPECT_EQ(s.username(), "");
    EXPECT_EQ(s.password(), "");
    EXPECT_FALSE(s.filterIPs());
    EXPECT_EQ(s.allowedIPs(), kDefaultAllowed);
    EXPECT_EQ(s.blockedIPs(), "");
    EXPECT_TRUE(s.enableML());
    EXPECT_TRUE(dirsOf(s).empty());
}

TEST(Settings, DefaultsSurviveASaveAndALoadInTheStatedKeyOrder) {
    TempDir dir;
    auto ini = dir.file("p.ini");
    Settings(ini).save();
    EXPECT_EQ(TempDir::read(ini), kSectionLine +
                                      "autoStart=1\nlistenIP=0.0.0.0\nlistenPort=5151\ntimeout=900\n"
                                      "requirePassword=0\nusername=\npassword=\nfilterIPs=0\n"
                                      "Allowed IPs=127.0.0.1\\r\\n192.168.0.*\\r\\n192.168.1.*\n"
                                      "Blocked Ips=\nEnable ML=1\nShared Dirs=\n");
    Settings again(ini);
    EXPECT_EQ(again.allowedIPs(), kDefaultAllowed);
    EXPECT_EQ(again.listenPort(), 5151);
}

TEST(Settings, EmptyAllowedListIsNotTheDefault) {
    TempDir dir;
    Settings s(dir.write("p.ini", kSectionLine + "Allowed IPs=\n"));
    EXPECT_EQ(s.allowedIPs(), "");
}

TEST(Settings, BothSpellingsOfTheBlockedKeyLoadAndSavesUseOne) {
    TempDir dir;
    Settings upper(dir.write("u.ini", kSectionLine + "Blocked IPs=10.0.0.1\n"));
    Settings mixed(dir.write("m.ini", kSectionLine + "Blocked Ips=10.0.0.2\n"));
    EXPECT_EQ(upper.blockedIPs(), "10.0.0.1");
    EXPECT_EQ(mixed.blockedIPs(), "10.0.0.2");
    upper.save();
    auto text = TempDir::read(dir.file("u.ini"));
    EXPECT_NE(text.find("Blocked Ips=10.0.0.1\n"), std::string::npos);
    EXPECT_EQ(text.find("Blocked IPs"), std::string::npos) << "replaced in place, not written twice";
}

TEST(Settings, SharedDirsSplitAndJoin) {
    TempDir dir;
    auto ini = dir.write("p.ini", kSectionLine + "Shared Dirs=/music;;/songs\\x;\n");
    Settings s(ini);
    EXPECT_EQ(dirsOf(s), (std::vector<std::string>{"/music", "/songs\\x"}));
    s.save();
    EXPECT_NE(TempDir::read(ini).find("Shared Dirs=/music;/songs\\x;\n"), std::string::npos);

    s.setSharedDirs({"/a;b", "/c"});
    s.save();
    EXPECT_EQ(dirsOf(Settings(ini)), (std::vector<std::string>{"/a", "b", "/c"})) << "';' splits a path";
    EXPECT_EQ(splitSharedDirs(";;;"), std::vector<std::string>{});
    EXPECT_EQ(joinSharedDirs({}), "");
}

TEST(Settings, LineBreakEscapingRoundTrips) {
    struct Case {
        std::string stored;    // what the user typed
        std::string reloaded;  // what a save and a load give back
    } cases[] = {
        {"a\r\nb", "a\r\nb"},
        {"x\\ny", "x\ny"},        // a backslash and n in a line becomes a line break
        {"p\\\\q", "p\\q"},       // two backslashes come back as one
        {"plain", "plain"},
    };
    TempDir dir;
    auto ini = dir.file("p.ini");
    for (const auto& c : cases) {
        Settings s(ini);
        s.setAllowedIPs(c.stored);
        s.setBlockedIPs(c.stored);
        s.save();
        Settings loaded(ini);
        EXPECT_EQ(loaded.allowedIPs(), c.reloaded) << c.stored;
        EXPECT_EQ(loaded.blockedIPs(), c.reloaded) << c.stored;
    }
    EXPECT_EQ(escapeLineBreaks("\r\n\\"), "\\r\\n\\");
}

TEST(Settings, ValuesAreReadWithTheirLimitsAndEncodings) {
    TempDir dir;
    auto ini = dir.write("p.ini", kSectionLine + "listenIP=not an address\nautoStart=7\nrequirePassword=0\n"
                                                 "username=" + std::string(40, 'u') + "\nlistenPort=-3\n");
    Settings s(ini);
    EXPECT_EQ(s.listenIP(), 0xFFFFFFFFu);
    EXPECT_TRUE(s.autoStart());
    EXPECT_FALSE(s.requirePassword());
    EXPECT_EQ(s.username(), std::string(32, 'u'));
    EXPECT_EQ(s.listenPort(), -3) << "no range check";
    s.save();
    EXPECT_NE(TempDir::read(ini).find("listenIP=255.255.255.255\n"), std::string::npos);
    EXPECT_EQ(formatIPv4(parseIPv4("192.168.0.5")), "192.168.0.5");
}

TEST(Settings, ReadersNeverSeeAHalfReplacedDirectoryList) {
    TempDir dir;
    Settings s(dir.file("p.ini"));
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0};
    std::thread reader([&] {
        while (!stop) {
            auto list = s.sharedDirs().snapshot();
            // Every list written below holds copies of one letter only.
            for (const auto& d : *list)
                if (d != list->front()) ++torn;
        }
    });
    for (int i = 0; i < 2000; ++i)
        s.setSharedDirs(std::vector<std::string>(static_cast<std::size_t>(1 + i % 7), std::string(1, 'a' + i % 26)));
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0);
}

namespace {
int renames = 0;
void countRename() { ++renames; }
}  // namespace

// A save cut short (a crash, kill -9) must leave the old settings or the new
// ones: every key goes into the file in one replacement, never one at a time.
TEST(Settings, ASaveReplacesTheFileOnce) {
    TempDir dir;
    Settings s(dir.write("p.ini", kSectionLine + "listenPort=1\n"));
    s.setListenPort(2);
    s.setUsername("u");
    renames = 0;
    platform::detail::setProfileBeforeRenameHook(&countRename);
    s.save();
    platform::detail::setProfileBeforeRenameHook(nullptr);
    EXPECT_EQ(renames, 1);
    Settings loaded(s.iniPath());
    EXPECT_EQ(loaded.listenPort(), 2);
    EXPECT_EQ(loaded.username(), "u");
}

TEST(Settings, ServerNamesLoadSaveAndAnEmptiedValueSticks) {
    TempDir dir;
    auto ini = dir.write("p.ini", kSectionLine + "Server Names=music.home.arpa;box\n");
    Settings s(ini);
    EXPECT_EQ(s.serverNames(), "music.home.arpa;box");
    s.setServerNames("player.example");
    s.save();
    EXPECT_EQ(Settings(ini).serverNames(), "player.example");
    s.setServerNames("");
    s.save();
    EXPECT_EQ(Settings(ini).serverNames(), "") << "the old names do not come back";
    EXPECT_EQ(Settings(dir.file("absent.ini")).serverNames(), "");
}

TEST(Settings, IndexAutomaticallyIsOnByDefaultAndWrittenOnlyOnceItWasOff) {
    TempDir dir;
    const struct {
        std::string file;      // the key's line in the file, if any
        bool loaded;           // what the setting reads
        bool setTo;            // what it is set to before the save
        std::string expected;  // the key's line after the save ("" for none)
    } cases[] = {
        {"", true, true, ""},
        {"Index Automatically=0\n", false, false, "Index Automatically=0\n"},
        {"Index Automatically=0\n", false, true, "Index Automatically=1\n"},
        {"", true, false, "Index Automatically=0\n"},
        {"Index Automatically=1\n", true, true, "Index Automatically=1\n"},
        {"Index Automatically=7\n", true, true, "Index Automatically=1\n"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const auto ini = dir.write("i" + std::to_string(n++) + ".ini", kSectionLine + c.file);
        Settings s(ini);
        EXPECT_EQ(s.indexAutomatically(), c.loaded) << c.file;
        s.setIndexAutomatically(c.setTo);
        s.save();
        const auto text = TempDir::read(ini);
        const auto at = text.find("Index Automatically=");
        EXPECT_EQ(at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) + 1 - at), c.expected)
            << c.file;
        EXPECT_EQ(Settings(ini).indexAutomatically(), c.setTo);
    }
}

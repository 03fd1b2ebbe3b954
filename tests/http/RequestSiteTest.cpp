// The Host allow-list against DNS rebinding and the Origin / Sec-Fetch-Site
// test against forged cross-site requests, as tables of header texts.
#include "http/RequestSite.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace lyrebox {
namespace {

const std::vector<std::string> kNames = {"music.home.arpa", "box", "box.local"};

TEST(AllowedHost, AddressesOwnNamesAndConfiguredNamesOnly) {
    const struct {
        const char* host;
        bool allowed;
    } cases[] = {
        {"127.0.0.1", true},          {"127.0.0.1:5151", true},       {"192.168.1.10:80", true},
        {"[::1]", true},              {"[::1]:5151", true},           {"[fe80::1]:1", true},
        {"[::ffff:127.0.0.1]:5", true}, {"localhost", true},          {"LOCALHOST:5151", true},
        {"localhost.", true},         {"localhost.:5151", true},      {"box", true},
        {"BOX.Local:5151", true},     {"music.home.arpa.", true},     {"Music.Home.Arpa:8080", true},
        // Names that resolve elsewhere (or to us, through a rebinding DNS).
        {"rebind.example", false},    {"rebind.example:5151", false}, {"box.evil", false},
        {"evilbox", false},           {"localhost.evil", false},      {"127.0.0.1.nip.io", false},
        {"home.arpa", false},         {"music.home.arpa.evil", false},
        // Not a host at all.
        {"::1", false},               {"[::1", false},                {"[::1]x", false},
        {"[::1]:", false},            {"[not-v6]", false},            {"127.0.0.1:", false},
        {"127.0.0.1:123456", false},  {"127.0.0.1:80:80", false},     {":5151", false},
        {".", false},                 {"localhost:x", false},         {"a b", false},
        {"256.1.1.1", false},         {"1.2.3", false},
    };
    for (const auto& c : cases) EXPECT_EQ(isAllowedHost(c.host, kNames), c.allowed) << c.host;
}

TEST(AllowedHost, NoConfiguredNameMeansOnlyAddressesAndLocalhost) {
    EXPECT_TRUE(isAllowedHost("localhost", {}));
    EXPECT_TRUE(isAllowedHost("10.0.0.1", {}));
    EXPECT_FALSE(isAllowedHost("box", {}));
}

TEST(ServerNames, SplitAtSemicolonsTrimmedAndFolded) {
    const struct {
        const char* text;
        std::vector<std::string> names;
    } cases[] = {
        {"", {}},
        {";;", {}},
        {"music.example", {"music.example"}},
        {" Music.Example. ; box ;;Other", {"music.example", "box", "other"}},
        {"a;b;", {"a", "b"}},
    };
    for (const auto& c : cases) EXPECT_EQ(splitServerNames(c.text), c.names) << c.text;
}

TEST(ServerNames, MachineNameAndItsLocalFormAreOwnNames) {
    const auto own = machineHostNames();
    if (own.empty()) GTEST_SKIP() << "the system has no host name";
    ASSERT_EQ(own.size(), 2u);
    EXPECT_EQ(own[1], own[0] + ".local");
    HostAllowList list;
    list.enable(true);
    EXPECT_TRUE(list.admits(own[0] + ":5151"));
    EXPECT_TRUE(list.admits(own[1]));
}

TEST(HostAllowListTest, AdmitsEverythingUntilEnabledAndThenOnlyOwnNames) {
    HostAllowList list;
    EXPECT_TRUE(list.admits(std::string("rebind.example")));
    list.enable(true);
    EXPECT_FALSE(list.admits(std::string("rebind.example")));
    EXPECT_TRUE(list.admits(std::nullopt)) << "HTTP/1.0 clients send no Host";
    EXPECT_TRUE(list.admits(std::string(" ")));
    EXPECT_TRUE(list.admits(std::string("127.0.0.1:1")));
    list.setServerNames("rebind.example");
    EXPECT_TRUE(list.admits(std::string("Rebind.Example:5151")));
    list.setServerNames("");
    EXPECT_FALSE(list.admits(std::string("rebind.example")));
}

TEST(HostAllowListTest, NamesChangeWhileConnectionsCheck) {
    HostAllowList list;
    list.enable(true);
    list.setServerNames("b.example");
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) list.setServerNames(i % 2 ? "a.example;b.example" : "b.example");
    });
    int admitted = 0;
    for (int i = 0; i < 2000; ++i) admitted += list.admits(std::string("b.example")) ? 1 : 0;
    writer.join();
    EXPECT_EQ(admitted, 2000) << "b.example is in both lists";
}

TEST(OriginMatch, SameHostAndPortOnly) {
    const struct {
        const char* origin;
        const char* host;
        bool match;
    } cases[] = {
        {"http://127.0.0.1:5151", "127.0.0.1:5151", true},
        {"http://LocalHost:5151", "localhost:5151", true},
        {"https://music.example", "music.example", true},
        {"http://[::1]:5151", "[::1]:5151", true},
        {"http://127.0.0.1:5152", "127.0.0.1:5151", false},
        {"http://127.0.0.1", "127.0.0.1:5151", false},
        {"http://127.0.0.2:5151", "127.0.0.1:5151", false},
        {"http://evil.example", "127.0.0.1:5151", false},
        {"http://127.0.0.1:5151.evil.example", "127.0.0.1:5151", false},
        {"null", "127.0.0.1:5151", false},
        {"", "127.0.0.1:5151", false},
        {"127.0.0.1:5151", "127.0.0.1:5151", false},
        {"://127.0.0.1:5151", "127.0.0.1:5151", false},
        {"http://127.0.0.1:5151/", "127.0.0.1:5151", false},
        {"http://user@127.0.0.1:5151", "127.0.0.1:5151", false},
        {"http://127.0.0.1:5151", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(originMatchesHost(c.origin, c.host), c.match) << c.origin << " / " << c.host;
}

TEST(CrossOrigin, BrowserMarksDecideAndTheirAbsenceIsServed) {
    const struct {
        HeaderMap headers;
        bool crossOrigin;
    } cases[] = {
        {{}, false},
        {{{"Host", "127.0.0.1:5151"}}, false},
        {{{"Host", "127.0.0.1:5151"}, {"Origin", "http://127.0.0.1:5151"}}, false},
        {{{"Host", "127.0.0.1:5151"}, {"Sec-Fetch-Site", "same-origin"}}, false},
        {{{"Host", "127.0.0.1:5151"}, {"Sec-Fetch-Site", "none"}}, false},
        {{{"Host", "127.0.0.1:5151"}, {"Origin", "http://127.0.0.1:5151"}, {"Sec-Fetch-Site", "same-origin"}}, false},
        {{{"Host", "127.0.0.1:5151"}, {"Origin", "http://evil.example"}}, true},
        {{{"Host", "127.0.0.1:5151"}, {"Origin", "null"}}, true},
        {{{"Host", "127.0.0.1:5151"}, {"Origin", ""}}, true},
        {{{"Origin", "http://127.0.0.1:5151"}}, true},
        {{{"Host", "127.0.0.1:5151"}, {"Sec-Fetch-Site", "cross-site"}}, true},
        {{{"Host", "127.0.0.1:5151"}, {"Sec-Fetch-Site", "same-site"}}, true},
        {{{"Host", "127.0.0.1:5151"}, {"Sec-Fetch-Site", "Cross-Site"}}, true},
        {{{"Host", "127.0.0.1:5151"}, {"Origin", "http://127.0.0.1:5151"}, {"Sec-Fetch-Site", "cross-site"}}, true},
        {{{"Host", "127.0.0.1:5151"}, {"Origin", "http://evil.example"}, {"Sec-Fetch-Site", "same-origin"}}, true},
        // Header names in any letter case.
        {{{"host", "127.0.0.1:5151"}, {"origin", "http://evil.example"}}, true},
        {{{"HOST", "127.0.0.1:5151"}, {"sec-fetch-site", "cross-site"}}, true},
        {{{"host", "127.0.0.1:5151"}, {"ORIGIN", "http://127.0.0.1:5151"}}, false},
    };
    int row = 0;
    for (const auto& c : cases) EXPECT_EQ(isCrossOriginRequest(c.headers), c.crossOrigin) << "row " << row++;
}

}  // namespace
}  // namespace lyrebox

// The marker substitution and the play-list ids of the template handler.
#include "api/Templates.h"

#include <gtest/gtest.h>

#include <set>
#include <thread>

namespace lyrebox {
namespace {

struct SubstitutionCase {
    const char* name;
    const char* text;
    const char* expected;
};

class SubstitutionTest : public ::testing::TestWithParam<SubstitutionCase> {};

TEST_P(SubstitutionTest, ReplacesEachMarkerOnce) {
    const MarkerTable markers{{"A", "x"}, {"B", "<<A>>"}, {"LONG", "0123456789"}, {"", "empty-key"}, {"E", ""}};
    const SubstitutionCase& c = GetParam();
    EXPECT_EQ(substituteMarkers(c.text, markers), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SubstitutionTest,
    ::testing::Values(
        SubstitutionCase{"NoMarker", "plain text > < >", "plain text > < >"},
        SubstitutionCase{"Empty", "", ""},
        SubstitutionCase{"One", "v<<A>>!", "vx!"},
        SubstitutionCase{"Adjacent", "<<A>><<LONG>><<A>>", "x0123456789x"},
        SubstitutionCase{"UnknownKeyBecomesEmpty", "[<<NOPE>>]", "[]"},
        SubstitutionCase{"EmptyKey", "[<<>>]", "[empty-key]"},
        SubstitutionCase{"EmptyValue", "a<<E>>b<<A>>", "abx"},
        SubstitutionCase{"InsertedTextNotRescanned", "<<B>>", "<<A>>"},
        SubstitutionCase{"InsertedTextNotRescannedThenMore", "<<B>> <<A>>", "<<A>> x"},
        SubstitutionCase{"OpenWithoutCloseStays", "a<<A b", "a<<A b"},
        SubstitutionCase{"RestAfterUnclosedStays", "<<A>> then <<A", "x then <<A"},
        SubstitutionCase{"KeyRunsToFirstClose", "<<A>>>", "x>"},
        SubstitutionCase{"KeyMayContainOpenMark", "<<<A>>", ""},
        SubstitutionCase{"KeySpansText", "<<A and more>> tail", " tail"},
        SubstitutionCase{"CloseBeforeOpenIgnored", ">> <<A>>", ">> x"},
        SubstitutionCase{"CaseSensitiveKeys", "<<a>>", ""},
        SubstitutionCase{"BinaryBytesKept", "\x01<<A>>\xff", "\x01x\xff"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PlaylistId, IsTenLettersFromAToY) {
    std::mt19937 generator(1);
    const std::map<std::string, bool> none;
    std::set<char> seen;
    for (int i = 0; i < 200; ++i) {
        std::string id = newPlaylistId(generator, none);
        ASSERT_EQ(id.size(), 10u);
        for (char c : id) {
            ASSERT_GE(c, 'a') << id;
            ASSERT_LE(c, 'y') << id;
            seen.insert(c);
        }
    }
    // 2,000 draws from 25 letters reach every one of them.
    EXPECT_EQ(seen.size(), 25u);
}

TEST(PlaylistId, DrawsAgainWhileTheIdIsServedAlready) {
    // The same seed gives the same first candidate, which is then taken.
    std::mt19937 probe(7);
    const std::string first = newPlaylistId(probe, {});
    std::map<std::string, bool> served{{first, true}};
    std::mt19937 generator(7);
    std::string id = newPlaylistId(generator, served);
    EXPECT_NE(id, first);
    EXPECT_EQ(id.size(), 10u);
}

TEST(PlaylistId, ThreadGeneratorsDiffer) {
    std::string here = newPlaylistId(threadGenerator(), {});
    std::string there;
    std::thread([&] { there = newPlaylistId(threadGenerator(), {}); }).join();
    EXPECT_NE(here, there);
}

}  // namespace
}  // namespace lyrebox

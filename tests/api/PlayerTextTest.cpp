// Parameter reading and answer formatting of the player commands.
#include "api/PlayerText.h"
#include "platform/DecimalText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace lyrebox {
namespace {

TEST(PlayerText, IntegerParametersReadLikeADecimalPrefix) {
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"", 0},          {"300", 300},           {"  \t42", 42},          {"-7", -7},
        {"+8", 8},        {"12abc", 12},          {"abc", 0},              {"- 5", 0},
        {"0x10", 0},      {"3.9", 3},             {"99999999999999999999", 2147483647},
        {"-99999999999999999999", -2147483647 - 1},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::parseDecimalPrefix<int>(c.text), c.value) << '"' << c.text << '"';
}

TEST(PlayerText, PositionParameterReadsAFloatingPrefix) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"", 0.0},   {"0.5", 0.5},   {" .25", 0.25}, {"-1.5e1", -15.0}, {"2e-1x", 0.2},
        {"abc", 0.0}, {"inf", 0.0},  {"nan", 0.0},   {"0x1p3", 0.0},    {"1.", 1.0},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(parseDoubleParam(c.text), c.value) << '"' << c.text << '"';
    EXPECT_TRUE(std::isinf(parseDoubleParam("1e999")));
    EXPECT_EQ(parseDoubleParam("1e-999"), 0.0);
}

TEST(PlayerText, FractionIsWrittenWithSixSignificantDigits) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0"},          {0.5, "0.5"},       {1.0 / 3.0, "0.333333"}, {1.0, "1"},
        {0.0001, "0.0001"},  {0.00001, "1e-05"}, {123456.0, "123456"},    {1234567.0, "1.23457e+06"},
        {0.1234567, "0.123457"}, {-0.25, "-0.25"},
    };
    for (const auto& c : cases) EXPECT_EQ(formatPositionFraction(c.value), c.text) << c.value;
}

TEST(PlayerText, FractionWithoutALengthIsZero) {
    EXPECT_EQ(formatPositionFraction(std::numeric_limits<double>::quiet_NaN()), "0");
    EXPECT_EQ(formatPositionFraction(std::numeric_limits<double>::infinity()), "0");
}

TEST(PlayerText, CdataTextSplitsEveryEndMarker) {
    const struct {
        const char* text;
        const char* written;
    } cases[] = {
        {"plain", "plain"},
        {"]]>", "]]]]><![CDATA[>"},
        {"a]]>b]]>c", "a]]]]><![CDATA[>b]]]]><![CDATA[>c"},
        {"]]]>", "]]]]]><![CDATA[>"},
        {"]] >", "]] >"},
        // Well-formed UTF-8 and the allowed control characters pass unchanged.
        {"Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5\t\n\r", "Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x8E\xB5\t\n\r"},
        // Latin-1 bytes, stray continuation bytes, cut sequences, overlong forms,
        // surrogates and control bytes become U+FFFD, one per byte.
        {"Caf\xE9", "Caf\xEF\xBF\xBD"},
        {"a\x80" "b", "a\xEF\xBF\xBD" "b"},
        {"\xE2\x82", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"x\x01y\x1Fz", "x\xEF\xBF\xBDy\xEF\xBF\xBDz"},
        {"\xEF\xBF\xBF", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        std::string out;
        appendCdataText(out, c.text);
        EXPECT_EQ(out, c.written) << c.text;
    }
}

}  // namespace
}  // namespace lyrebox

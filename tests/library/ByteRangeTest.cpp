#include "library/ByteRange.h"

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

using Kind = ByteRange::Kind;

struct RangeCase {
    const char* header;
    std::uint64_t size;
    Kind kind;
    std::uint64_t first;
    std::uint64_t last;
};

TEST(ByteRange, SingleRangeForms) {
    const RangeCase cases[] = {
        {"bytes=100-", 1000, Kind::Partial, 100, 999},
        {"bytes=100-199", 1000, Kind::Partial, 100, 199},
        {"bytes=-100", 1000, Kind::Partial, 900, 999},
        {"bytes=0-0", 1000, Kind::Partial, 0, 0},
        {"bytes=999-", 1000, Kind::Partial, 999, 999},
        {"bytes=100-5000", 1000, Kind::Partial, 100, 999},
        {"bytes=-5000", 1000, Kind::Partial, 0, 999},
        {"Bytes = 10 - 20 ", 1000, Kind::Partial, 10, 20},
        {"bytes=1000-", 1000, Kind::Unsatisfiable, 0, 0},
        {"bytes=5000-6000", 1000, Kind::Unsatisfiable, 0, 0},
        {"bytes=-0", 1000, Kind::Unsatisfiable, 0, 0},
        {"bytes=0-", 0, Kind::Unsatisfiable, 0, 0},
        {"bytes=-1", 0, Kind::Unsatisfiable, 0, 0},
        {"bytes=99999999999999999999999-", 1000, Kind::Unsatisfiable, 0, 0},
        {"bytes=0-99999999999999999999999", 1000, Kind::Partial, 0, 999},
        {"bytes=4294967296-", 5000000000ULL, Kind::Partial, 4294967296ULL, 4999999999ULL},
    };
    for (const auto& c : cases) {
        const auto range = parseByteRange(c.header, c.size);
        EXPECT_EQ(range.kind, c.kind) << c.header;
        if (c.kind == Kind::Partial) {
            EXPECT_EQ(range.first, c.first) << c.header;
            EXPECT_EQ(range.last, c.last) << c.header;
        }
    }
}

TEST(ByteRange, UnusableHeadersServeTheWholeFile) {
    const char* headers[] = {"",        "bytes",      "bytes=",    "bytes=-",  "items=0-10", "bytes=a-",
                             "bytes=10", "bytes=20-10", "bytes=0-1,5-6", "bytes=-1-2", "bytes=+5-", "bytes=0x10-"};
    for (const char* header : headers) EXPECT_EQ(parseByteRange(header, 1000).kind, Kind::Whole) << header;
}

}  // namespace
}  // namespace lyrebox

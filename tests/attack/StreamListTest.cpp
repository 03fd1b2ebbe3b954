// Reading another server's stream play list: the expansion bound and the
// whole lines of a body that was cut off.
#include "library/M3uPlaylist.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

TEST(StreamListParsing, BoundAndWholeLines) {
    struct Case {
        const char* what;
        std::string body;
        std::size_t maxItems;
        std::vector<std::string> items;
        bool complete;
    };
    const Case cases[] = {
        {"under the bound", "#EXTINF:\nhttp://a\n#EXTINF:\nhttp://b\n", 5, {"http://a", "http://b"}, true},
        {"at the bound", "#EXTINF:\nhttp://a\n#EXTINF:\nhttp://b\n", 2, {"http://a", "http://b"}, true},
        {"past the bound", "#EXTINF:\nhttp://a\n#EXTINF:\nhttp://b\n", 1, {"http://a"}, false},
        {"cut in a URL", std::string(wholeLines("#EXTINF:\nhttp://a\n#EXTINF:\nhttp://b-cut")), 5, {"http://a"}, true},
        {"cut after a title", std::string(wholeLines("#EXTINF:\nhttp://a\n#EXTINF:")), 5, {"http://a"}, true},
        {"no line feed", std::string(wholeLines("#EXTINF:")), 5, {}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> items;
        EXPECT_EQ(parseStreamPlaylist(c.body, items, c.maxItems), c.complete);
        EXPECT_EQ(items, c.items);
    }
}

}  // namespace
}  // namespace lyrebox

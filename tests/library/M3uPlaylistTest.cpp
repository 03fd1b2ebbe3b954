#include "library/M3uPlaylist.h"

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

TEST(M3uPlaylist, WritesHeaderAndEntries) {
    M3uPlaylist list;
    list.add("http://h:5151/download?path=%2fm%2fa%2emp3&auth=", "a.mp3");
    list.add("http://h/x", "b\r\n#EXTINF:0,evil\x7f.mp3");
    EXPECT_EQ(list.write(),
              "#EXTM3U\n#EXTINF:0,a.mp3\nhttp://h:5151/download?path=%2fm%2fa%2emp3&auth=\n"
              "#EXTINF:0,b#EXTINF:0,evil.mp3\nhttp://h/x\n");
    EXPECT_EQ(M3uPlaylist().write(), "#EXTM3U\n");
}

TEST(M3uPlaylist, ParsesUrlLinesAfterInfoLines) {
    std::vector<std::string> items{"kept"};
    parseStreamPlaylist("#EXTM3U\n#EXTINF:0,a.mp3\nhttp://h/1\r\n#EXTINF:0,b\nhttp://h/2\n"
                        "#EXTINF:0,local\n/etc/passwd\n#EXTINF:0,last\nhttp://h/3",
                        items);
    EXPECT_EQ(items, (std::vector<std::string>{"kept", "http://h/1", "http://h/2", "http://h/3"}));

    std::vector<std::string> none;
    parseStreamPlaylist("#EXTM3U\n#EXTINF:0,no line feed", none);
    parseStreamPlaylist("", none);
    parseStreamPlaylist("<h1>404 Not Found</h1>", none);
    EXPECT_TRUE(none.empty());
}

}  // namespace
}  // namespace lyrebox

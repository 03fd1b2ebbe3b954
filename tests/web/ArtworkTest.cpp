// The embedded pictures fit the places the pages give them: the console
// picture under its image map, slider travel, title bars and footers.
#include "platform/Module.h"
#include "platform/Resources.h"
#include "web/WebResources.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

namespace lyrebox {
namespace {

using Size = std::pair<int, int>;

int anchor;

std::optional<std::string_view> resource(std::uint16_t id, std::string_view type) {
    return platform::findResource(platform::moduleHandle(&anchor), id, type);
}

// Width and height from a GIF's logical screen descriptor.
std::optional<Size> gifSize(std::string_view gif) {
    if (gif.size() < 10 || (gif.substr(0, 6) != "GIF89a" && gif.substr(0, 6) != "GIF87a")) return std::nullopt;
    auto u16 = [&](std::size_t at) {
        return static_cast<unsigned char>(gif[at]) | static_cast<unsigned char>(gif[at + 1]) << 8;
    };
    return Size{u16(6), u16(8)};
}

// Width and height from a JPEG's start-of-frame segment.
std::optional<Size> jpegSize(std::string_view jpeg) {
    auto byte = [&](std::size_t at) { return static_cast<unsigned char>(jpeg[at]); };
    std::size_t at = 2;
    while (at + 9 < jpeg.size() && byte(at) == 0xFF) {
        unsigned marker = byte(at + 1);
        std::size_t length = byte(at + 2) << 8 | byte(at + 3);
        if (marker >= 0xC0 && marker <= 0xC3) return Size{byte(at + 7) << 8 | byte(at + 8), byte(at + 5) << 8 | byte(at + 6)};
        at += 2 + length;
    }
    return std::nullopt;
}

struct Picture {
    std::uint16_t id;
    const char* name;
    Size size;
};

// Sizes the pages and scripts rely on.
const Picture kGifs[] = {
    {3062, "console.gif", {354, 144}},        // the console window's content
    {3068, "seek_slider.gif", {241, 19}},     // 221 px of travel for a 20 px handle
    {3069, "seek_handle.gif", {20, 9}},       // 5 px below the slider's top
    {3018, "vol_handle.gif", {14, 11}},       // 75 px of travel on the 89 px volume picture
    {3065, "waLightOn.gif", {8, 10}},         // the sockets at 337,42 and 337,65
    {3053, "waBoxBg.gif", {8, 17}},           // 17 px title bars
    {3066, "waBoxTitleLeft.gif", {6, 17}},
    {3067, "waBoxTitleRight.gif", {6, 17}},
    {3061, "waFooterBg.gif", {8, 24}},        // 24 px footers
    {3070, "waFooterLeft.gif", {8, 24}},
    {3055, "waResize.gif", {20, 24}},
};

TEST(Artwork, PicturesFitTheirPlaces) {
    ASSERT_TRUE(web::resourcesRegistered());
    for (const Picture& p : kGifs) {
        SCOPED_TRACE(p.name);
        auto bytes = resource(p.id, "GIF");
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(gifSize(*bytes), std::optional<Size>(p.size));
    }
    auto volume = resource(3028, "JPEG");
    ASSERT_TRUE(volume.has_value());
    EXPECT_EQ(jpegSize(*volume), std::optional<Size>(Size{89, 28}));
    auto console = resource(3027, "JPEG");
    ASSERT_TRUE(console.has_value());
    EXPECT_EQ(jpegSize(*console), std::optional<Size>(Size{354, 144}));
}

TEST(Artwork, TitleAndFooterPiecesShareTheirBarHeight) {
    for (std::uint16_t id : {3051, 3054, 3076, 3072}) {   // titles and the close box fit the 17 px bar
        auto bytes = resource(id, "GIF");
        ASSERT_TRUE(bytes.has_value());
        auto size = gifSize(*bytes);
        ASSERT_TRUE(size.has_value());
        EXPECT_LE(size->second, 17) << id;
    }
    for (std::uint16_t id : {3100, 3098, 3104}) {           // footer buttons fit the 24 px footer
        auto size = gifSize(*resource(id, "GIF"));
        ASSERT_TRUE(size.has_value());
        EXPECT_LE(size->second, 24 - 3) << id;
    }
}

}  // namespace
}  // namespace lyrebox

// The embedded web application as the router serves it: every asset name,
// exact bytes, content types and the template markers.
#include "api/AssetHandlers.h"
#include "api/RequestRouter.h"
#include "config/Settings.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "platform/Module.h"
#include "platform/Resources.h"
#include "web/WebResources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace lyrebox {
namespace {

namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

fs::path webFile(const std::string& name) {
    std::string file = name.empty()           ? "index.html"
                       : name == "library" ? "library.html"
                       : name == "remote"  ? "remote.html"
                                           : name;
    return fs::path(LYREBOX_SOURCE_DIR) / "web" / file;
}

class AssetHandlersTest : public ::testing::Test {
protected:
    AssetHandlersTest()
        : iniPath_(fs::path(testing::TempDir()) / "asset-handlers-test.ini"),
          settings_(iniPath_.string()),
          router_(nullptr, platform::moduleHandle(reinterpret_cast<const void*>(&readFile)), settings_) {}
    ~AssetHandlersTest() override { fs::remove(iniPath_); }

    HttpResponse get(const std::string& name, const std::string* host = nullptr) {
        HttpRequest request;
        request.setPath("/" + name);
        if (host) request.setHeader("Host", *host);
        HttpResponse response;
        request.setName(name);
        router_.handle(request, response);
        return response;
    }

    fs::path iniPath_;
    Settings settings_;
    RequestRouter router_;
};

struct NamedType {
    const char* name;
    const char* contentType;
    bool isTemplate;
};

// The 44 routed names with the content type each is answered with.
const NamedType kNames[] = {
    {"", "text/html", true}, {"library", "text/html", true},
    {"playlist.css", "text/css", false}, {"medialibrary.css", "text/css", false},
    {"tunelet.js", "text/javascript", true}, {"console.js", "text/javascript", true},
    {"playlist.js", "text/javascript", false}, {"slider.js", "text/javascript", false},
    {"medialibrary.js", "text/javascript", true}, {"window.js", "text/javascript", false},
    {"cookie.js", "text/javascript", false}, {"json.js", "text/javascript", false},
    {"interface.jpg", "image/jpeg", false}, {"vol_slider.jpg", "image/jpeg", false},
    {"favicon.ico", "image/x-icon", false},
    {"console.gif", "image/gif", false}, {"vol_handle.gif", "image/gif", false},
    {"seek_handle.gif", "image/gif", false}, {"seek_slider.gif", "image/gif", false},
    {"trash.gif", "image/gif", false}, {"waBoxBg.gif", "image/gif", false},
    {"waFooterBg.gif", "image/gif", false}, {"waFooterLeft.gif", "image/gif", false},
    {"waResize.gif", "image/gif", false}, {"waPlaylistTitle.gif", "image/gif", false},
    {"waConsoleTitle.gif", "image/gif", false}, {"waBoxTitleLeft.gif", "image/gif", false},
    {"waBoxTitleRight.gif", "image/gif", false}, {"waLightOn.gif", "image/gif", false},
    {"closeBox.gif", "image/gif", false}, {"titleML.gif", "image/gif", false},
    {"mp3.gif", "image/gif", false}, {"folder.gif", "image/gif", false},
    {"folder_up.gif", "image/gif", false}, {"play.gif", "image/gif", false},
    {"plus.gif", "image/gif", false}, {"donate.gif", "image/gif", false},
    {"m3u.gif", "image/gif", false}, {"mlconnect.gif", "image/gif", false},
    {"plclear.gif", "image/gif", false}, {"asc.gif", "image/gif", false},
    {"desc.gif", "image/gif", false}, {"search.gif", "image/gif", false},
    {"loading.gif", "image/gif", false},
};

TEST_F(AssetHandlersTest, EveryNameIsServedWithItsContentType) {
    ASSERT_EQ(std::size(kNames), 44u);
    for (const NamedType& n : kNames) {
        SCOPED_TRACE(n.name);
        ASSERT_TRUE(router_.findAsset(n.name).has_value());
        HttpResponse response = get(n.name);
        EXPECT_EQ(response.status(), 200);
        EXPECT_EQ(response.header("Content-Type"), n.contentType);
        EXPECT_FALSE(response.body().empty());
    }
}

TEST_F(AssetHandlersTest, PlainAssetsAreTheExactFileBytes) {
    for (const NamedType& n : kNames) {
        if (n.isTemplate) continue;
        SCOPED_TRACE(n.name);
        EXPECT_TRUE(get(n.name).body() == readFile(webFile(n.name)));
    }
}

TEST_F(AssetHandlersTest, FaviconIsTheIconUnchanged) {
    HttpResponse response = get("favicon.ico");
    const std::string icon = readFile(webFile("favicon.ico"));
    ASSERT_GT(icon.size(), 6u);
    EXPECT_EQ(icon.substr(0, 4), std::string("\0\0\1\0", 4));  // an icon directory
    EXPECT_TRUE(response.body() == icon);
    EXPECT_EQ(response.header("Content-Length"), std::to_string(icon.size()));
    EXPECT_EQ(response.header("Content-Type"), "image/x-icon");
    EXPECT_EQ(response.header("Cache-Control"), "max-age=30");
}

TEST_F(AssetHandlersTest, TemplatesLeaveNoMarkerBehind) {
    for (const NamedType& n : kNames) {
        if (!n.isTemplate) continue;
        SCOPED_TRACE(n.name);
        const std::string stored = readFile(webFile(n.name));
        EXPECT_NE(stored.find("<<"), std::string::npos);
        const std::string host = "example.org:5151";
        const std::string body = get(n.name, &host).body();
        EXPECT_EQ(body.find("<<"), std::string::npos);
        EXPECT_EQ(body.find(">>"), std::string::npos);
    }
}

TEST_F(AssetHandlersTest, PagesCarryTheVersionInTheirTitle) {
    EXPECT_NE(get("").body().find("<title>Lyrebox v3.0.2</title>"), std::string::npos);
    EXPECT_NE(get("library").body().find("<title>Lyrebox v3.0.2</title>"), std::string::npos);
}

TEST_F(AssetHandlersTest, HostMarkerIsTheAddressTheBrowserUsed) {
    const std::string host = "192.168.0.5:5151";
    EXPECT_NE(get("tunelet.js", &host).body().find("HOST = '192.168.0.5:5151' ||"), std::string::npos);
    EXPECT_NE(get("medialibrary.js", &host).body().find("HOST = '192.168.0.5:5151' ||"), std::string::npos);
}

TEST_F(AssetHandlersTest, HostMarkerIsEmptyWithoutAUsableHostHeader) {
    EXPECT_NE(get("tunelet.js").body().find("HOST = '' ||"), std::string::npos);
    // A header that is not a host name (it would land inside the script) counts as absent.
    const std::string hostile = "x';alert(1);'";
    EXPECT_NE(get("tunelet.js", &hostile).body().find("HOST = '' ||"), std::string::npos);
}

// The quoted value the client script assigns to PLAYLIST_ID.
std::string playlistIdIn(const std::string& script) {
    const std::string key = "PLAYLIST_ID = '";
    std::size_t at = script.find(key);
    if (at == std::string::npos) return {};
    at += key.size();
    std::size_t end = script.find('\'', at);
    return end == std::string::npos ? std::string() : script.substr(at, end - at);
}

TEST_F(AssetHandlersTest, EachLoadOfTheClientGetsANewPlaylistId) {
    const std::string first = playlistIdIn(get("tunelet.js").body());
    const std::string second = playlistIdIn(get("tunelet.js").body());
    for (const std::string& id : {first, second}) {
        ASSERT_EQ(id.size(), 10u) << id;
        EXPECT_EQ(id.find_first_not_of("abcdefghijklmnopqrstuvwxy"), std::string::npos) << id;
    }
    EXPECT_NE(first, second);
}

TEST_F(AssetHandlersTest, MediaLibrarySwitchReachesTheConsole) {
    EXPECT_NE(get("console.js").body().find("ML_ENABLED = 'true' === 'true'"), std::string::npos);
    settings_.setEnableML(false);
    EXPECT_NE(get("console.js").body().find("ML_ENABLED = 'false' === 'true'"), std::string::npos);
}

TEST_F(AssetHandlersTest, MarkerTableDrawsIdsThatAreNotServed) {
    HttpRequest request;
    request.setHeader("Host", "h:1");
    MarkerTable markers = buildMarkerTable(router_, request);
    EXPECT_EQ(markers["HOST"], "h:1");
    EXPECT_EQ(markers["VERSION"], "3.0.2");
    EXPECT_EQ(markers["ML_ENABLED"], "true");
    ASSERT_EQ(markers["PLAYLIST_ID"].size(), 10u);
    std::lock_guard lock(router_.playlistLock());
    EXPECT_EQ(router_.servedPlaylistIds().count(markers["PLAYLIST_ID"]), 0u);
}

TEST(WebResources, ConsoleOnlyPageIsEmbeddedButNotRouted) {
    ASSERT_TRUE(web::resourcesRegistered());
    EXPECT_EQ(web::resourceCount(), 45u);
    auto page = platform::findResource(platform::moduleHandle(reinterpret_cast<const void*>(&readFile)), 3036,
                                       platform::RT_HTML);
    ASSERT_TRUE(page.has_value());
    EXPECT_NE(page->find("console.js"), std::string_view::npos);
}

// The touch remote's names: its page, scripts, style sheet, manifest and icons.
const NamedType kRemoteNames[] = {
    {"remote", "text/html", false},
    {"remote.css", "text/css", false},
    {"remote.js", "text/javascript", false},
    {"remote-data.js", "text/javascript", false},
    {"remote-queue.js", "text/javascript", false},
    {"remote-library.js", "text/javascript", false},
    {"remote.webmanifest", "application/manifest+json", false},
    {"remote-192.png", "image/png", false},
    {"remote-512.png", "image/png", false},
};

TEST_F(AssetHandlersTest, RemoteNamesAreServedAsTheirExactFilesWithTheirTypes) {
    EXPECT_EQ(web::remoteResourceCount(), std::size(kRemoteNames));
    for (const NamedType& n : kRemoteNames) {
        SCOPED_TRACE(n.name);
        HttpResponse response = get(n.name);
        EXPECT_EQ(response.status(), 200);
        EXPECT_EQ(response.header("Content-Type"), n.contentType);
        const std::string file = readFile(webFile(n.name));
        ASSERT_FALSE(file.empty());
        EXPECT_TRUE(response.body() == file);
    }
}

TEST_F(AssetHandlersTest, RemoteIconsArePngsOfTheirNamedSizesCachedAsImages) {
    for (std::uint32_t side : {192u, 512u}) {
        const std::string name = "remote-" + std::to_string(side) + ".png";
        SCOPED_TRACE(name);
        HttpResponse response = get(name);
        const std::string& png = response.body();
        ASSERT_GT(png.size(), 24u);
        EXPECT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
        auto word = [&](std::size_t at) {
            return std::uint32_t(std::uint8_t(png[at])) << 24 | std::uint32_t(std::uint8_t(png[at + 1])) << 16 |
                   std::uint32_t(std::uint8_t(png[at + 2])) << 8 | std::uint32_t(std::uint8_t(png[at + 3]));
        };
        EXPECT_EQ(word(16), side);  // IHDR width
        EXPECT_EQ(word(20), side);  // IHDR height
        EXPECT_EQ(response.header("Cache-Control"), "max-age=30");
    }
}

TEST_F(AssetHandlersTest, RemotePageLoadsOnlyRoutedNamesAndNoInlineCode) {
    const std::string page = get("remote").body();
    for (const char* name : {"remote.css", "remote.js", "remote-data.js", "remote-queue.js", "remote-library.js",
                             "remote.webmanifest", "remote-192.png"}) {
        SCOPED_TRACE(name);
        EXPECT_NE(page.find(std::string("\"") + name + "\""), std::string::npos);
        EXPECT_TRUE(router_.findAsset(name).has_value());
    }
    // The pages' policy allows no inline script, handler or style attribute.
    EXPECT_EQ(page.find("<script>"), std::string::npos);
    EXPECT_EQ(page.find(" onclick="), std::string::npos);
    EXPECT_EQ(page.find(" style="), std::string::npos);
    const std::string manifest = get("remote.webmanifest").body();
    for (const char* icon : {"\"remote-192.png\"", "\"remote-512.png\""}) EXPECT_NE(manifest.find(icon), std::string::npos);
}

}  // namespace
}  // namespace lyrebox

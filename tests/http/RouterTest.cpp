// RequestRouter: lookup, the 404 answer, and the headers set by extension.
#include "api/RequestRouter.h"
#include "config/Settings.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "tests/support/RawHttp.h"

#include <gtest/gtest.h>

#include <ctime>

namespace lyrebox {
namespace {

class RouterTest : public ::testing::Test {
protected:
    RouterTest() : settings_(std::string(LYREBOX_BUILD_DIR) + "/router-test-absent.ini"), router_(nullptr, nullptr, settings_) {
        for (const char* name : {"", "play", "playlist.xml", "console.gif", "logo.jpg", "app.css", "x.unknown"}) {
            const Access access = std::string(name) == "play" ? Access::ChangesPlayer : Access::ReadOnly;
            router_.addHandler(name, access, [this](HttpRequest& request, HttpResponse& r) {
                called_ = request.name();
                params_ = request.params();
                r.setBody("ok");
                r.send();
            });
        }
    }

    // Routes a request for name and returns what went out.
    test::Answer route(const std::string& name, const std::string& query = "") {
        auto [a, b] = test::socketPair();
        test::sendText(a, "GET /" + name + query + " HTTP/1.1\r\n\r\n");
        HttpRequest request;
        request.read(b);
        HttpResponse response(&b);
        request.setName(name);
        router_.handle(request, response);
        b.close();
        return test::readAnswer(a);
    }

    Settings settings_;
    RequestRouter router_;
    std::string called_ = "<none>";
    ParamMap params_;
};

TEST_F(RouterTest, UnknownNamesGet404EachTime) {
    for (int i = 0; i < 2; ++i) {
        auto answer = route("nothing");
        EXPECT_EQ(answer.head.rfind("HTTP/1.1 404 Not found\r\n", 0), 0u);
        EXPECT_EQ(answer.body, "<h1>404 Not Found</h1>");
        EXPECT_EQ(answer.header("Content-Type"), "text/html");
        EXPECT_FALSE(answer.hasHeader("Cache-Control"));
    }
    EXPECT_EQ(called_, "<none>");
}

// A handler's status page says it is HTML whatever type its route gives.
TEST_F(RouterTest, StatusPagesOfRoutedHandlersAreHtml) {
    auto missing = route("download", "?path=%2Fno%2Fsuch%2Ffile.mp3");
    EXPECT_EQ(missing.head.rfind("HTTP/1.1 404 Not Found\r\n", 0), 0u);
    EXPECT_EQ(missing.body, "<h1>404 Not Found</h1>");
    EXPECT_EQ(missing.header("Content-Type"), "text/html");
}

TEST_F(RouterTest, NamesAreCaseSensitive) {
    EXPECT_EQ(route("Play").status, 404);
    EXPECT_EQ(route("play", "?x=1").status, 200);
    EXPECT_EQ(called_, "play");
    EXPECT_EQ(params_.at("x"), "1");
    EXPECT_EQ(route("").status, 200);
    EXPECT_EQ(called_, "");
}

// Commands answer plain text: a text a client stored must never come back
// as a page of this origin.
TEST_F(RouterTest, CommandIsPlainTextWithNoCacheHeaders) {
    auto answer = route("play");
    EXPECT_EQ(answer.header("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_EQ(answer.header("Cache-Control"), "no-cache, must-revalidate");
    EXPECT_EQ(answer.header("Expires"), "-1");
    EXPECT_FALSE(answer.hasHeader("Last-Modified"));
}

TEST_F(RouterTest, DocumentsAndStyleSheetsGetTheirType) {
    auto answer = route("playlist.xml");
    EXPECT_EQ(answer.header("Content-Type"), "text/xml");
    EXPECT_EQ(answer.header("Cache-Control"), "no-cache, must-revalidate");
    EXPECT_EQ(answer.header("Expires"), "-1");
    EXPECT_EQ(route("app.css").header("Content-Type"), "text/css");
    EXPECT_EQ(route("x.unknown").header("Content-Type"), "text/plain; charset=utf-8");
}

TEST_F(RouterTest, ImagesGetShortCachingHeaders) {
    HttpResponse response;
    setRoutingHeaders("console.gif", response, 1700000000);
    EXPECT_EQ(response.header("Content-Type"), "image/gif");
    EXPECT_EQ(response.header("Cache-Control"), "max-age=30");
    EXPECT_EQ(response.header("Expires"), formatHttpDate(1700000000 + 2592000));
    EXPECT_EQ(response.header("Last-Modified"), "Thu, 01 Jan 1970 00:00:00 GMT");

    auto answer = route("logo.jpg");
    EXPECT_EQ(answer.header("Content-Type"), "image/jpeg");
    EXPECT_EQ(answer.header("Cache-Control"), "max-age=30");
    EXPECT_NE(answer.header("Expires"), "-1");
}

TEST_F(RouterTest, AssetsStandInBothTables) {
    router_.addAsset("favicon.ico", AssetRef{7, "ICO"}, [](HttpRequest&, HttpResponse& r) {
        r.setBody("icon");
        r.send();
    });
    auto asset = router_.findAsset("favicon.ico");
    ASSERT_TRUE(asset.has_value());
    EXPECT_EQ(asset->id, 7);
    EXPECT_EQ(asset->type, "ICO");
    EXPECT_FALSE(router_.findAsset("play").has_value());
    EXPECT_EQ(route("favicon.ico").header("Content-Type"), "image/x-icon");
}

}  // namespace
}  // namespace lyrebox

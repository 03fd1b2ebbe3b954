// An in-process server for the library tests: a recording player on its own
// window thread, settings in a temporary INI file, the router and the HTTP
// server on a free loopback port, and a raw HTTP client.
#pragma once

#include "tests/api/FakePlayer.h"

#include "api/RequestRouter.h"
#include "config/Settings.h"
#include "http/Server.h"
#include "library/LibraryText.h"
#include "library/MediaLibrary.h"
#include "platform/Socket.h"
#include "tests/support/RawHttp.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace lyrebox::libtest {

using Response = test::RawResponse;

inline Response readResponse(platform::Socket& socket) { return test::readRawResponse(socket); }

class LibraryServer {
public:
    test::FakePlayer player;

    // instance: the module whose embedded web assets the router serves (none by default).
    explicit LibraryServer(const std::string& iniPath, platform::HINSTANCE instance = nullptr)
        : settings_(iniPath), router_(player.mainWindow(), instance, settings_), server_(htonl(INADDR_LOOPBACK), 0) {
        server_.setDispatcher([this](HttpRequest& request, const std::string& name, ParamMap params,
                                     HttpResponse& response) { router_.handle(request, name, std::move(params), response); });
        started_ = server_.start() && server_.waitStarted();
        EXPECT_TRUE(started_);
    }
    ~LibraryServer() { server_.shutdown(); }

    RequestRouter& router() { return router_; }
    Server& server() { return server_; }
    MediaLibrary& library() { return router_.library(); }
    void share(std::vector<std::string> dirs) { settings_.setSharedDirs(std::move(dirs)); }
    std::uint16_t port() const { return server_.boundPort(); }
    std::string hostPort() const { return "127.0.0.1:" + std::to_string(port()); }

    platform::Socket connect() {
        auto socket = platform::Socket::connectTcp("127.0.0.1", port(), std::chrono::seconds(10));
        EXPECT_TRUE(socket.valid());
        socket.setRecvTimeout(std::chrono::seconds(60));
        return socket;
    }
    Response request(const std::string& raw) {
        auto socket = connect();
        socket.sendAll(raw.data(), raw.size());
        return readResponse(socket);
    }
    Response get(const std::string& target, const std::string& headers = "Host: localhost\r\n") {
        return request("GET " + target + " HTTP/1.1\r\n" + headers + "Connection: close\r\n\r\n");
    }
    // A library request with the path parameter encoded.
    Response get(const std::string& name, const std::string& path, const std::string& extra) {
        return get("/" + name + "?path=" + percentEncode(path) + extra);
    }
    std::vector<test::FakeEntry> entries() {
        std::vector<test::FakeEntry> out;
        player.with([&](test::FakePlayer& p) { out = p.entries; });
        return out;
    }

private:
    Settings settings_;
    RequestRouter router_;
    Server server_;
    bool started_ = false;
};

}  // namespace lyrebox::libtest

// An in-process server for the command and document tests: the settings in a
// temporary INI file, the router for a given player window (a player on its
// own window thread, which must outlive the server), the HTTP server on a
// free loopback port, and a small raw HTTP client.
#pragma once

#include "api/PlayerGateway.h"
#include "api/RequestRouter.h"
#include "config/Settings.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "http/Server.h"
#include "platform/Socket.h"
#include "tests/support/RawHttp.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace lyrebox::test {

class ApiServer {
public:
    // Runs a function on the player's window thread and waits for it.
    using OnPlayerThread = std::function<void(const std::function<void()>&)>;

    // With onPlayerThread, the router is created and destroyed on the player's
    // thread, as the plugin does, and the gateway relays its batches there.
    explicit ApiServer(platform::HWND playerWindow, OnPlayerThread onPlayerThread = {})
        : onPlayerThread_(std::move(onPlayerThread)),
          iniPath_(std::filesystem::temp_directory_path() /
                   ("lyrebox-api-test-" + std::to_string(::getpid()) + "-" +
                    std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".ini")),
          settings_(iniPath_.string()),
          server_(htonl(INADDR_LOOPBACK), 0) {
        const auto create = [&] { router_ = std::make_unique<RequestRouter>(playerWindow, nullptr, settings_); };
        if (onPlayerThread_) {
            onPlayerThread_([&] {
                create();
                router_->gateway().useWindowThreadRelay();
            });
        } else {
            create();
        }
        server_.setDispatcher([this](HttpRequest& request, const std::string& name, ParamMap params,
                                     HttpResponse& response) { router_->handle(request, name, std::move(params), response); });
        started_ = server_.start() && server_.waitStarted();
    }
    ~ApiServer() {
        server_.shutdown();
        if (onPlayerThread_) onPlayerThread_([this] { router_.reset(); });
        router_.reset();
        std::error_code ignored;
        std::filesystem::remove(iniPath_, ignored);
    }

    bool started() const { return started_; }
    std::uint16_t port() const { return server_.boundPort(); }
    RequestRouter& router() { return *router_; }

    // Sends one request on a new connection and reads its answer.
    RawResponse request(const std::string& rawRequest) {
        platform::Socket socket =
            platform::Socket::connectTcp("127.0.0.1", server_.boundPort(), std::chrono::seconds(10));
        EXPECT_TRUE(socket.valid());
        socket.setRecvTimeout(std::chrono::seconds(30));
        socket.sendAll(rawRequest.data(), rawRequest.size());
        return readRawResponse(socket);
    }

    RawResponse get(const std::string& target) {
        return request("GET " + target + " HTTP/1.1\r\nHost: localhost\r\nConnection: close\r\n\r\n");
    }

    // The body of a GET, after checking that it was answered with 200.
    std::string body(const std::string& target) {
        const RawResponse response = get(target);
        EXPECT_EQ(response.status, 200) << target;
        return response.body;
    }

private:
    OnPlayerThread onPlayerThread_;
    std::filesystem::path iniPath_;
    Settings settings_;
    std::unique_ptr<RequestRouter> router_;
    Server server_;
    bool started_ = false;
};

}  // namespace lyrebox::test

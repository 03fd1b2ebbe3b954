// The whole server in process, for tests and benchmarks: settings in an INI
// file, the router for a player's main window, the HTTP server on a loopback
// port the kernel picks, and the raw client on it. Needs lyrebox-api.
//
// With onPlayerThread the router is created and destroyed on the player's
// thread, as the plugin does, and its gateway relays batches there (unless
// relay is off); the player must outlive the server.
#pragma once

#include "api/PlayerGateway.h"
#include "api/RequestRouter.h"
#include "config/Settings.h"
#include "http/Server.h"
#include "library/LibraryText.h"
#include "library/MediaLibrary.h"
#include "tests/support/RawHttp.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lyrebox::test {

class TestServer {
public:
    // Runs a function on the player's window thread and waits for it.
    using OnPlayerThread = std::function<void(const std::function<void()>&)>;
    struct Options {
        std::string iniPath{};                   // "": a temporary file, removed at the end
        platform::HINSTANCE instance = nullptr;  // the module whose web assets are served
        OnPlayerThread onPlayerThread{};
        bool relay = true;
        std::vector<std::string> shares{};
    };
    // The time a single receive may wait: long enough for a sanitized build.
    static constexpr std::chrono::seconds kReadLimit{60};

    TestServer(platform::HWND playerWindow, Options options)
        : options_(std::move(options)), iniPath_(options_.iniPath.empty() ? temporaryIni() : options_.iniPath),
          settings_(iniPath_) {
        if (!options_.shares.empty()) settings_.setSharedDirs(options_.shares);
        onPlayerThread([&] {
            router_ = std::make_unique<RequestRouter>(playerWindow, options_.instance, settings_);
            if (options_.onPlayerThread && options_.relay) router_->gateway().useWindowThreadRelay();
        });
        server_.setDispatcher([this](HttpRequest& request, HttpResponse& response) { router_->handle(request, response); });
        started_ = server_.start() && server_.waitStarted();
    }
    explicit TestServer(platform::HWND playerWindow, OnPlayerThread onThread = {})
        : TestServer(playerWindow, Options{.onPlayerThread = std::move(onThread)}) {}
    virtual ~TestServer() {
        quit();
        if (options_.iniPath.empty()) {
            std::error_code ignored;
            std::filesystem::remove(iniPath_, ignored);
        }
    }
    TestServer(const TestServer&) = delete;
    TestServer& operator=(const TestServer&) = delete;

    // Ends the server with its connections, then the router, as the plugin's quit does.
    void quit() {
        if (!router_) return;
        server_.shutdown();
        onPlayerThread([this] { router_.reset(); });
    }

    bool started() const { return started_; }
    std::uint16_t port() const { return server_.boundPort(); }
    std::string hostPort() const { return "127.0.0.1:" + std::to_string(port()); }
    RequestRouter& router() { return *router_; }
    Server& server() { return server_; }
    MediaLibrary& library() { return router_->library(); }
    void share(std::vector<std::string> dirs) { settings_.setSharedDirs(std::move(dirs)); }

    virtual platform::Socket connect() { return connectFrom("127.0.0.1", port(), kReadLimit); }
    // Sends one request on a new connection and reads its answer.
    Answer request(const std::string& raw) {
        platform::Socket socket = connect();
        sendText(socket, raw);
        return readAnswer(socket);
    }
    Answer get(const std::string& target, const std::string& headers = "Host: localhost\r\n") {
        return request(getRequest(target, headers));
    }
    // A library request with the path parameter encoded.
    Answer get(const std::string& name, const std::string& path, const std::string& extra) {
        return get("/" + name + "?path=" + percentEncode(path) + extra);
    }

private:
    std::string temporaryIni() const {
        return (std::filesystem::temp_directory_path() / ("lyrebox-test-" + std::to_string(::getpid()) + "-" +
                                                          std::to_string(reinterpret_cast<std::uintptr_t>(this)) + ".ini"))
            .string();
    }
    void onPlayerThread(const std::function<void()>& fn) {
        if (options_.onPlayerThread) options_.onPlayerThread(fn);
        else fn();
    }

    Options options_;
    std::string iniPath_;
    Settings settings_;
    std::unique_ptr<RequestRouter> router_;
    Server server_{htonl(INADDR_LOOPBACK), 0};
    bool started_ = false;
};

}  // namespace lyrebox::test

// The load suite's server: the host's player model on its own thread (silent
// clock engine), the router created there with the gateway's window-thread
// relay as in the plugin, and the HTTP server on a free loopback port; plus
// a small keep-alive client. Used from the main thread of load_suite.
#pragma once

#include "api/PlayerGateway.h"
#include "api/RequestRouter.h"
#include "config/Settings.h"
#include "http/Server.h"
#include "tests/api/HostPlayer.h"
#include "tests/http/TestSockets.h"

#include <arpa/inet.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace lyrebox::load {

class LoadServer {
public:
    LoadServer(const std::string& iniPath, std::vector<std::string> shares) : settings_(iniPath) {
        settings_.setSharedDirs(std::move(shares));
        player.with([&](Player&) {
            router_ = std::make_unique<RequestRouter>(player.mainWindow(), nullptr, settings_);
            router_->gateway().useWindowThreadRelay();
        });
        server_.setDispatcher([this](HttpRequest& request, const std::string& name, ParamMap params,
                                     HttpResponse& response) { router_->handle(request, name, std::move(params), response); });
        started_ = server_.start() && server_.waitStarted();
    }
    ~LoadServer() { quit(); }
    LoadServer(const LoadServer&) = delete;
    LoadServer& operator=(const LoadServer&) = delete;

    bool started() const { return started_; }
    std::uint16_t port() const { return server_.boundPort(); }
    std::size_t connectionCount() const { return server_.connectionCount(); }

    // Ends everything as the plugin's quit does (server with its connections,
    // then the router); returns how long it took.
    std::chrono::milliseconds quit() {
        if (!router_) return std::chrono::milliseconds(0);
        const auto start = std::chrono::steady_clock::now();
        server_.shutdown();
        player.with([&](Player&) { router_.reset(); });
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    }

    test::HostPlayer player;

private:
    Settings settings_;
    std::unique_ptr<RequestRouter> router_;
    Server server_{htonl(INADDR_LOOPBACK), 0};
    bool started_ = false;
};

// One keep-alive connection; reconnects after a failure.
class Client {
public:
    explicit Client(std::uint16_t port) : port_(port) {}
    // False when no complete answer arrived.
    bool request(const std::string& target, test::Answer& answer) {
        if (!socket_.valid()) {
            socket_ = test::connectLoopback(port_);
            carry_.clear();
            if (!socket_.valid()) return false;
        }
        const std::string text = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        if (socket_.sendAll(text.data(), text.size()) != text.size()) {
            socket_.close();
            return false;
        }
        answer = test::readAnswer(socket_, carry_);
        if (!answer.complete) socket_.close();
        return answer.complete;
    }

private:
    std::uint16_t port_;
    platform::Socket socket_;
    std::string carry_;
};

int runPages(double seconds, int pages);
int runDownloads(double seconds);
int runQuit(int rounds);
int runIniKill(double seconds);

}  // namespace lyrebox::load

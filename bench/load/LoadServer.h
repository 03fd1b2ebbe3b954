// The load suite's server: the host's player model on its own thread (silent
// clock engine) and the whole server in process with the router made there,
// as in the plugin; plus a small keep-alive client. Used from the main thread
// of load_suite.
#pragma once

#include "tests/support/HostPlayer.h"
#include "tests/support/RawHttp.h"
#include "tests/support/TestServer.h"

#include <chrono>
#include <string>
#include <vector>

namespace lyrebox::load {

// Made before the server, which it must outlive.
struct WithHostPlayer {
    test::HostPlayer player;
};

class LoadServer : public WithHostPlayer, public test::TestServer {
public:
    LoadServer(const std::string& iniPath, std::vector<std::string> shares)
        : TestServer(player.mainWindow(),
                     {.iniPath = iniPath, .onPlayerThread = player.onThread(), .shares = std::move(shares)}) {}

    std::size_t connectionCount() { return server().connectionCount(); }

    // Ends everything as the plugin's quit does; returns how long it took.
    std::chrono::milliseconds quit() {
        const auto start = std::chrono::steady_clock::now();
        TestServer::quit();
        return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    }
};

using Client = test::KeepAliveClient;

int runPages(double seconds, int pages);
int runDownloads(double seconds);
int runQuit(int rounds);
int runIniKill(double seconds);

}  // namespace lyrebox::load

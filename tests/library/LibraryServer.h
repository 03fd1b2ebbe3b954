// The library tests' server: the whole server in process (CheckedServer)
// for a recording player on its own window thread.
#pragma once

#include "tests/support/CheckedServer.h"
#include "tests/support/FakePlayer.h"

#include <string>
#include <vector>

namespace lyrebox::libtest {

using Response = test::Answer;

// Made before the server, which it must outlive.
struct WithFakePlayer {
    test::FakePlayer player;
};

class LibraryServer : public WithFakePlayer, public test::CheckedServer {
public:
    // instance: the module whose embedded web assets the router serves (none by default).
    explicit LibraryServer(const std::string& iniPath, platform::HINSTANCE instance = nullptr)
        : CheckedServer(player.mainWindow(), {.iniPath = iniPath, .instance = instance}) {}

    std::vector<test::FakeEntry> entries() {
        std::vector<test::FakeEntry> out;
        player.with([&](test::FakePlayer& p) { out = p.entries; });
        return out;
    }
};

}  // namespace lyrebox::libtest

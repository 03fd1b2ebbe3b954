// The server side of the api load benchmark: the host's player model (silent
// clock engine) playing a tagged track at the head of a 1,000-entry play
// list, the router with the player commands and documents, and the HTTP
// server on a free loopback port. Prints "port N", then serves until its
// standard input closes. As in the plugin, the router is created on the
// player's thread and the gateway relays its batches there; a third argument
// "direct" leaves the relay off, for comparison.
#include "tests/support/HostPlayer.h"
#include "tests/support/TestServer.h"

#include <unistd.h>

#include <iostream>
#include <string>

using namespace lyrebox;

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: api_load_server TAGGED_TRACK INI_PATH [direct]\n";
        return 2;
    }
    const std::string track = argv[1];
    test::HostPlayer player;
    player.with([&](Player& p) {
        p.enqueue(track, "", 0);
        for (int i = 1; i < 1000; ++i) {
            const std::string n = std::to_string(i);
            p.enqueue("/music/Artist " + n + "/Album/" + n + " - Some Song Title.mp3", "Artist " + n + " - Some Song Title", 0);
        }
        p.setCurrent(0);
        p.play();
    });

    const bool relay = !(argc > 3 && std::string(argv[3]) == "direct");
    test::TestServer server(player.mainWindow(), {.iniPath = argv[2], .onPlayerThread = player.onThread(), .relay = relay});
    if (!server.started()) {
        std::cerr << "server did not start\n";
        return 1;
    }
    std::cout << "port " << server.port() << std::endl;
    char buffer[256];
    while (::read(STDIN_FILENO, buffer, sizeof buffer) > 0) {
    }
    return 0;
}

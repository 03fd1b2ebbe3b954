// library_test_server DIR: serves DIR as the only shared directory on a free
// loopback port, prints the port, and runs until its standard input closes.
// Used by the browser test of the audio element.
#include "tests/support/TestServer.h"

#include <unistd.h>

#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: library_test_server DIR\n");
        return 2;
    }
    lyrebox::test::TestServer server(nullptr, {.shares = {argv[1]}});
    if (!server.started()) return 1;
    std::printf("%u\n", static_cast<unsigned>(server.port()));
    std::fflush(stdout);
    char byte;
    while (::read(0, &byte, 1) > 0) {
    }
    return 0;
}

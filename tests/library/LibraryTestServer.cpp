// library_test_server DIR: serves DIR as the only shared directory on a free
// loopback port, prints the port, and runs until its standard input closes.
// Used by the browser test of the audio element.
#include "api/RequestRouter.h"
#include "config/Settings.h"
#include "http/Server.h"

#include <arpa/inet.h>
#include <cstdio>
#include <filesystem>
#include <unistd.h>

int main(int argc, char** argv) {
    using namespace lyrebox;
    if (argc < 2) {
        std::fprintf(stderr, "usage: library_test_server DIR\n");
        return 2;
    }
    const auto ini = std::filesystem::temp_directory_path() / ("lyrebox-test-server-" + std::to_string(::getpid()) + ".ini");
    Settings settings(ini.string());
    settings.setSharedDirs({argv[1]});
    RequestRouter router(nullptr, nullptr, settings);
    Server server(htonl(INADDR_LOOPBACK), 0);
    server.setDispatcher([&](HttpRequest& request, const std::string& name, ParamMap params, HttpResponse& response) {
        router.handle(request, name, std::move(params), response);
    });
    if (!server.start() || !server.waitStarted()) return 1;
    std::printf("%u\n", static_cast<unsigned>(server.boundPort()));
    std::fflush(stdout);
    char byte;
    while (::read(0, &byte, 1) > 0) {
    }
    server.shutdown();
    std::filesystem::remove(ini);
    return 0;
}

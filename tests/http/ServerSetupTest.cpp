// The settings' hand-over to the server: which ports it accepts.
#include "config/Settings.h"
#include "http/Server.h"
#include "http/ServerSetup.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <climits>

namespace lyrebox {
namespace {

TEST(ServerSetup, OnlyPortsZeroTo65535ReachTheServer) {
    test::TempDir dir;
    Settings settings(dir.file("gen_lyrebox.ini"));
    settings.setRequirePassword(true);
    for (std::int32_t refused : {-1, 65536, 65536 + 5151, INT_MAX, INT_MIN}) {
        Server server(0, 4321);
        settings.setListenPort(refused);
        EXPECT_FALSE(configureServer(server, settings)) << refused;
        EXPECT_EQ(server.port(), 4321) << refused;               // not cut to 16 bits
        EXPECT_TRUE(server.requirePassword()) << refused;        // the rest still handed over
    }
    for (std::int32_t accepted : {0, 1, 5151, 65535}) {  // 0: the system picks
        Server server(0, 4321);
        settings.setListenPort(accepted);
        EXPECT_TRUE(configureServer(server, settings)) << accepted;
        EXPECT_EQ(server.port(), accepted);
    }
}

}  // namespace
}  // namespace lyrebox

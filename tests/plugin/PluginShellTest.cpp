#include "platform/Socket.h"
#include "platform/Window.h"
#include "plugin/Plugin.h"
#include "tests/support/PluginHost.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <thread>

using namespace lyrebox;
using lyrebox::test::PluginHost;

namespace {
int countItems(const std::vector<platform::MenuItem>& items, platform::UINT id) {
    int n = 0;
    for (const auto& i : items) n += i.commandId == id;
    return n;
}
int positionOf(const std::vector<platform::MenuItem>& items, platform::UINT id) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (items[i].commandId == id) return static_cast<int>(i);
    return -1;
}
}  // namespace

TEST(PluginShell, IniFileLiesBesideTheModule) {
    EXPECT_EQ(iniPathForModule("/x/plugins/remote.so"), "/x/plugins/remote.ini");
    EXPECT_EQ(iniPathForModule("/x/plugins/gen_lyrebox.so"), "/x/plugins/gen_lyrebox.ini");
    EXPECT_EQ(iniPathForModule("/x.y/plugins/remote"), "/x.y/plugins/remote.ini");
}

TEST(PluginShell, RecordCarriesVersionAndDescription) {
    PluginHost host;
    PluginRecord* record = host.plugin().record();
    EXPECT_EQ(record->version, 16);
    EXPECT_STREQ(record->description, "Lyrebox Remote Control Plugin");
    EXPECT_EQ(record->hwndParent, host.window().handle());
    EXPECT_NE(record->hDllInstance, nullptr);
}

TEST(PluginShell, MenuItemAppearsExactlyOnceAtItsPlaceOnEveryOpening) {
    PluginHost host;
    host.onWindowThread([&] {
        for (int round = 0; round < 3; ++round) {
            auto main = host.window().openMenu(host::HostWindow::kMainMenu);
            auto list = host.window().openMenu(host::HostWindow::kPlaylistMenu);
            EXPECT_EQ(countItems(main, kMenuCommandId), 1);
            EXPECT_EQ(positionOf(main, kMenuCommandId), 1);
            EXPECT_EQ(main[1].text, "Lyrebox Preferences...");
            EXPECT_EQ(countItems(list, kMenuCommandId), 1);
            EXPECT_EQ(positionOf(list, kMenuCommandId), 0);
        }
    });
}

TEST(PluginShell, CommandsReachTheHostWhetherOrNotTheyAreTheMenuItem) {
    PluginHost host;
    host.onWindowThread([&] {
        // A notification whose low word equals the menu id is not the menu item.
        platform::sendMessage(host.window().handle(), platform::WM_COMMAND, (1u << 16) | kMenuCommandId, 0);
        platform::sendMessage(host.window().handle(), platform::WM_COMMAND, 40045, 0);
        auto& seen = host.window().receivedCommands();
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0], (1u << 16) | kMenuCommandId);
        EXPECT_EQ(seen[1], 40045u);
    });
}

TEST(PluginShell, QuitRestoresTheHostWindowProcedure) {
    PluginHost host;
    platform::WindowProc hooked = nullptr, restored = nullptr;
    host.onWindowThread([&] {
        hooked = platform::windowProc(host.window().handle());
        host.plugin().quit();
        restored = platform::windowProc(host.window().handle());
    });
    EXPECT_NE(hooked, restored);
    // The restored procedure is the host's own again: menus open without the item.
    host.onWindowThread([&] {
        auto main = host.window().openMenu(host::HostWindow::kMainMenu);
        EXPECT_EQ(countItems(main, kMenuCommandId), 0);
    });
}

namespace {
// Whether something accepts connections on the loopback port before the deadline.
bool listensWithin(std::uint16_t port, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    do {
        if (platform::Socket::connectTcp("127.0.0.1", port, std::chrono::milliseconds(200)).valid()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
}

std::string iniWithPort(std::int64_t port) {
    return "[Lyrebox Remote Control Plugin v1.0]\nautoStart=1\nlistenIP=127.0.0.1\nlistenPort=" + std::to_string(port) +
           "\n";
}
}  // namespace

// Init starts the listener without waiting for it: the valid port shows how
// soon it listens, the same port plus 65536 must never listen at all.
TEST(PluginShell, ListenPortBeyondSixteenBitsIsRefusedNotCut) {
    platform::Socket probe = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
    const std::uint16_t port = probe.localPort();
    probe.close();
    {
        PluginHost host("gen_lyrebox.so", iniWithPort(65536 + port));
        EXPECT_FALSE(listensWithin(port, std::chrono::seconds(1)));
    }
    PluginHost host("gen_lyrebox.so", iniWithPort(port));
    EXPECT_TRUE(listensWithin(port, std::chrono::seconds(10)));
}

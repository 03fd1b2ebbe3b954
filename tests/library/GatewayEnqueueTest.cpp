#include "api/PlayerGateway.h"
#include "config/Settings.h"
#include "library/MediaLibrary.h"
#include "tests/support/FakePlayer.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

using Strings = std::vector<std::string>;

// Runs with and without the gateway's relay to the player's thread.
class GatewayEnqueueTest : public ::testing::TestWithParam<bool> {
protected:
    GatewayEnqueueTest()
        : settings(tree.file("test.ini")), library(settings), gateway(player.mainWindow(), nullptr, library) {
        music = tree.folder("music");
        settings.setSharedDirs({music});
        tree.write("music/b.mp3");
        tree.write("music/A.mp3");
        tree.write("music/sub/c.mp3");
        if (GetParam()) gateway.useWindowThreadRelay();
    }

    test::TempDir tree;
    Settings settings;
    MediaLibrary library;
    test::FakePlayer player{test::FakePlayer::OnThisThread};
    PlayerGateway gateway;
    std::string music;
};

TEST_P(GatewayEnqueueTest, SingleFileKeepsTheCallersTitle) {
    EXPECT_TRUE(gateway.enqueueExpanded({music + "/b.mp3", "My Title", 0}));
    EXPECT_EQ(player.entries, (std::vector<test::FakeEntry>{{music + "/b.mp3", "My Title"}}));
    EXPECT_TRUE(gateway.enqueueExpanded({"http://radio/live.mp3", "Radio", 0}));
    EXPECT_EQ(player.entries.back(), (test::FakeEntry{"http://radio/live.mp3", "Radio"}));
}

TEST_P(GatewayEnqueueTest, DirectoryInByteOrderTitledByFileName) {
    EXPECT_TRUE(gateway.enqueueExpanded({music + "/", "Folder", 0}));
    EXPECT_EQ(player.fileNames(), (Strings{music + "/A.mp3", music + "/b.mp3", music + "/sub/c.mp3"}));
    EXPECT_EQ(player.titles(), (Strings{"A.mp3", "b.mp3", "c.mp3"}));
}

TEST_P(GatewayEnqueueTest, NothingToAddIsSuccess) {
    EXPECT_TRUE(gateway.enqueueExpanded({music + "/missing", "x", 0}));
    EXPECT_TRUE(gateway.insertExpanded({"search://nothing", "x", 0}, 0));
    EXPECT_EQ(player.enqueueMessages, 0);
}

TEST_P(GatewayEnqueueTest, InsertKeepsExpansionOrderFromTheIndex) {
    player.fill(5);
    EXPECT_TRUE(gateway.insertExpanded({music, "Folder", 0}, 2));
    EXPECT_EQ(player.fileNames(), (Strings{"old0", "old1", music + "/A.mp3", music + "/b.mp3", music + "/sub/c.mp3",
                                           "old2", "old3", "old4"}));
}

TEST_P(GatewayEnqueueTest, RefusedItemStopsAppendingButNotInserting) {
    player.refuseEnqueue = {2};
    EXPECT_FALSE(gateway.enqueueExpanded({music, "Folder", 0}));
    EXPECT_EQ(player.fileNames(), (Strings{music + "/A.mp3"}));
    EXPECT_EQ(player.enqueueMessages, 2);

    player.entries.clear();
    player.enqueueMessages = 0;
    player.fill(2);
    EXPECT_TRUE(gateway.insertExpanded({music, "Folder", 0}, 1));
    EXPECT_EQ(player.fileNames(), (Strings{"old0", music + "/A.mp3", music + "/sub/c.mp3", "old1"}));

    player.enqueueMessages = 0;
    player.refuseEnqueue = {3};
    EXPECT_FALSE(gateway.insertExpanded({music, "Folder", 0}, 0));
}

INSTANTIATE_TEST_SUITE_P(Relay, GatewayEnqueueTest, ::testing::Bool());

}  // namespace
}  // namespace lyrebox

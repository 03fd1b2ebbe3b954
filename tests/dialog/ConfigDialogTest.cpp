// The configuration dialog: pages, server control, security, shared directories.
#include "ConfigDialogFixture.h"

namespace {

using namespace lyrebox;
using namespace lyrebox::config;
using namespace lyrebox::test;
using platform::HWND;

TEST_F(ConfigDialogTest, OpensOnTheServerPageWithTheSettingsShown) {
    open();
    EXPECT_EQ(driver.listViewItems(dialog, kPageList),
              (std::vector<std::string>{"Server", "Security", "Library", "About"}));
    EXPECT_EQ(driver.listViewSelection(dialog, kPageList), 0);
    driver.onThread(dialog, [&] {
        HWND list = platform::getDlgItem(dialog, kPageList);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(platform::listViewImage(list, i), i);       // its own icon
            EXPECT_EQ(platform::listViewItemData(list, i), i);    // its page
        }
    });
    EXPECT_TRUE(driver.dialogVisible(serverPage));
    EXPECT_FALSE(driver.dialogVisible(securityPage));
    EXPECT_FALSE(driver.dialogVisible(libraryPage));
    EXPECT_FALSE(driver.dialogVisible(aboutPage));
    EXPECT_EQ(driver.text(serverPage, kServerIP), "127.0.0.1");
    EXPECT_EQ(driver.text(serverPage, kServerPort), std::to_string(port));
    EXPECT_EQ(driver.text(serverPage, kTimeout), "900");
    EXPECT_TRUE(driver.checked(serverPage, kAutoStart));
    EXPECT_TRUE(driver.enabled(serverPage, kStart));
    EXPECT_FALSE(driver.enabled(serverPage, kStop));
    EXPECT_FALSE(driver.enabled(securityPage, kUsername));
    EXPECT_EQ(driver.text(aboutPage, kAboutText), "Lyrebox Remote Control Plugin v3.0.1");

    EXPECT_TRUE(driver.selectListViewItem(dialog, kPageList, 2));
    EXPECT_TRUE(driver.dialogVisible(libraryPage));
    EXPECT_FALSE(driver.dialogVisible(serverPage));
}

TEST_F(ConfigDialogTest, EscapeAndCloseBoxLeaveItOpen) {
    open();
    driver.escape(dialog);
    driver.close(dialog);
    EXPECT_TRUE(driver.isOpen(dialog));
    ok();
}

TEST_F(ConfigDialogTest, OkRestartsARunningServerOnTheNewPort) {
    open();
    ASSERT_TRUE(driver.click(serverPage, kStart));
    EXPECT_FALSE(driver.enabled(serverPage, kStart));
    EXPECT_TRUE(driver.enabled(serverPage, kStop));
    EXPECT_EQ(httpStatus(port), 200);

    std::uint16_t newPort = freePort();
    ASSERT_TRUE(driver.type(serverPage, kServerPort, std::to_string(newPort)));
    ok();
    EXPECT_EQ(httpStatus(newPort), 200);
    EXPECT_EQ(httpStatus(port), 0);
    EXPECT_EQ(reloaded()->listenPort(), newPort);
}

TEST_F(ConfigDialogTest, OkLeavesAStoppedServerStopped) {
    open();
    ok();
    ASSERT_TRUE(server->stoppedEvent().waitFor(kLimit));
    EXPECT_FALSE(serverRunning());
    EXPECT_EQ(httpStatus(port), 0);
}

TEST_F(ConfigDialogTest, StartOnAPortInUseReturnsWithStartEnabled) {
    platform::Socket occupant = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
    open();
    ASSERT_TRUE(driver.type(serverPage, kServerPort, std::to_string(occupant.localPort())));
    ASSERT_TRUE(driver.click(serverPage, kStart));
    EXPECT_TRUE(driver.enabled(serverPage, kStart));
    EXPECT_FALSE(driver.enabled(serverPage, kStop));
    EXPECT_EQ(reloaded()->listenPort(), occupant.localPort());   // Start applied first
}

// Whether the server closes a kept-alive connection that stays idle for
// `wait` after its first answer (false: the connection is still open then).
bool closesIdleConnectionWithin(std::uint16_t port, std::chrono::seconds wait) {
    std::string answer;
    platform::Socket s = askPing(port, "", "pong", answer);
    if (answer.find("pong") == std::string::npos) return false;
    s.setRecvTimeout(wait);
    char byte;
    return s.recvSome(&byte, 1) == 0;
}

TEST_F(ConfigDialogTest, ATimeOutOfZeroOnOkLiftsTheLimit) {
    window.run([&] { settings->setTimeout(2); });
    open();
    ASSERT_TRUE(driver.click(serverPage, kStart));
    EXPECT_TRUE(closesIdleConnectionWithin(port, std::chrono::seconds(4)));
    ASSERT_TRUE(driver.type(serverPage, kTimeout, "0"));
    ok();
    ASSERT_TRUE(serverRunning());
    EXPECT_FALSE(closesIdleConnectionWithin(port, std::chrono::seconds(4)));
}

TEST_F(ConfigDialogTest, StartRefusesPortsBeyond65535) {
    // 65536 + port must not be cut to 16 bits and listen on port.
    for (const std::string& refused : {std::string("70000"), std::to_string(65536 + port)}) {
        open();
        ASSERT_TRUE(driver.type(serverPage, kServerPort, refused));
        ASSERT_TRUE(driver.click(serverPage, kStart));
        EXPECT_TRUE(driver.enabled(serverPage, kStart)) << refused;
        EXPECT_FALSE(serverRunning()) << refused;
        EXPECT_EQ(httpStatus(port), 0) << refused;
        ASSERT_TRUE(driver.type(serverPage, kServerPort, std::to_string(port)));
        ok();
        ASSERT_TRUE(server->stoppedEvent().waitFor(kLimit));
    }
}

// OK stops the (stopped) server before its start; a start that is refused
// must not leave that stop behind to end the next Start at once.
TEST_F(ConfigDialogTest, AStartRefusedOnOkLeavesNoStopForTheNextStart) {
    platform::Socket occupant = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
    for (const std::string& refused : {std::string("70000"), std::to_string(occupant.localPort())}) {
        open();
        ASSERT_TRUE(driver.type(serverPage, kServerPort, refused));
        ok();
        open();
        ASSERT_TRUE(driver.type(serverPage, kServerPort, std::to_string(port)));
        ASSERT_TRUE(driver.click(serverPage, kStart));
        EXPECT_EQ(httpStatus(port), 200) << refused;
        EXPECT_TRUE(serverRunning()) << refused;
        ASSERT_TRUE(driver.click(serverPage, kStop));
        ok();
        ASSERT_TRUE(server->stoppedEvent().waitFor(kLimit));
    }
}

TEST_F(ConfigDialogTest, StopStopsTheServer) {
    open();
    ASSERT_TRUE(driver.click(serverPage, kStart));
    ASSERT_TRUE(driver.click(serverPage, kStop));
    EXPECT_TRUE(driver.enabled(serverPage, kStart));
    EXPECT_FALSE(serverRunning());
    EXPECT_EQ(httpStatus(port), 0);
}

TEST_F(ConfigDialogTest, RequireAuthenticationSavesAtOnceButTheServerChangesOnlyOnOk) {
    open();
    ASSERT_TRUE(driver.click(serverPage, kStart));
    showPage(1);
    EXPECT_FALSE(driver.type(securityPage, kUsername, "alice"));   // disabled until required
    ASSERT_TRUE(driver.click(securityPage, kRequireAuth));
    EXPECT_TRUE(driver.checked(securityPage, kRequireAuth));
    EXPECT_TRUE(reloaded()->requirePassword());
    EXPECT_TRUE(driver.enabled(securityPage, kUsername));
    EXPECT_TRUE(driver.enabled(securityPage, kPassword));
    EXPECT_FALSE(driver.enabled(securityPage, kAllowedIPs));
    ASSERT_TRUE(driver.type(securityPage, kUsername, "alice"));
    ASSERT_TRUE(driver.type(securityPage, kPassword, "secret"));
    EXPECT_EQ(httpStatus(port), 200);   // the running server still lets everyone in

    ok();
    EXPECT_EQ(httpStatus(port), 401);
    EXPECT_EQ(httpStatus(port, "Authorization: Basic YWxpY2U6c2VjcmV0\r\n"), 200);
    auto saved = reloaded();
    EXPECT_EQ(saved->username(), "alice");
    EXPECT_EQ(saved->password(), "secret");

    // Unticking disables the edits again.
    open();
    showPage(1);
    ASSERT_TRUE(driver.click(securityPage, kRequireAuth));
    EXPECT_FALSE(driver.enabled(securityPage, kUsername));
    EXPECT_FALSE(reloaded()->requirePassword());
}

TEST_F(ConfigDialogTest, TextsAreCutToTheirLimitsAndNumbersReadUnsigned) {
    open();
    driver.type(serverPage, kTimeout, "12x");
    showPage(1);
    driver.click(securityPage, kRequireAuth);
    driver.type(securityPage, kUsername, std::string(40, 'u'));
    showPage(0);
    driver.type(serverPage, kServerIP, "10.0.0.7");
    ok();
    auto saved = reloaded();
    EXPECT_EQ(saved->username(), std::string(31, 'u'));
    EXPECT_EQ(saved->timeout(), 0);
    EXPECT_EQ(saved->listenIP(), parseIPv4("10.0.0.7"));
}

TEST_F(ConfigDialogTest, SharedDirectoriesLoseTrailingSlashesButRootStays) {
    open();
    showPage(2);
    driver.queueFolder(std::string("/"));
    driver.queueFolder(std::string("/srv/music/"));
    ASSERT_TRUE(driver.click(libraryPage, kAddDirectory));
    ASSERT_TRUE(driver.click(libraryPage, kAddDirectory));
    ASSERT_TRUE(driver.click(libraryPage, kAddDirectory));   // cancelled: nothing added
    EXPECT_EQ(driver.listItems(libraryPage, kSharedDirs), (std::vector<std::string>{"/", "/srv/music/"}));
    EXPECT_TRUE(reloaded()->sharedDirs().snapshot()->empty());   // nothing saved yet
    ok();
    EXPECT_EQ(*reloaded()->sharedDirs().snapshot(), (std::vector<std::string>{"/", "/srv/music"}));
    EXPECT_NE(TempDir::read(iniPath).find("Shared Dirs=/;/srv/music;"), std::string::npos);
}

TEST_F(ConfigDialogTest, DirectoriesAreStoredInListOrder) {
    open();
    showPage(2);
    driver.queueFolder(std::string("/b"));
    driver.queueFolder(std::string("/a"));
    driver.click(libraryPage, kAddDirectory);
    driver.click(libraryPage, kAddDirectory);
    ok();
    EXPECT_EQ(*reloaded()->sharedDirs().snapshot(), (std::vector<std::string>{"/a", "/b"}));
}

TEST_F(ConfigDialogTest, RemoveTakesOnlySelectedEntries) {
    window.run([&] { settings->setSharedDirs({"/a", "/b", "/c"}); });
    open();
    showPage(2);
    ASSERT_TRUE(driver.click(libraryPage, kRemoveDirectory));
    EXPECT_EQ(driver.listItems(libraryPage, kSharedDirs), (std::vector<std::string>{"/a", "/b", "/c"}));
    driver.selectListItem(libraryPage, kSharedDirs, 0, true);
    driver.selectListItem(libraryPage, kSharedDirs, 2, true);
    ASSERT_TRUE(driver.click(libraryPage, kRemoveDirectory));
    EXPECT_EQ(driver.listItems(libraryPage, kSharedDirs), std::vector<std::string>{"/b"});
    ok();
    EXPECT_EQ(*reloaded()->sharedDirs().snapshot(), std::vector<std::string>{"/b"});
}

TEST_F(ConfigDialogTest, AWebRequestIsAnsweredWhileTheDialogIsOpen) {
    // The handler needs the window thread, as every player command does.
    window.run([&] {
        HWND host = window.window();
        server->setDispatcher([host](HttpRequest&, HttpResponse& response) {
            platform::sendMessage(host, platform::WM_USER + 99, 0, 0);
            response.setBody("answered on the window thread");
            response.send();
        });
    });
    open();
    ASSERT_TRUE(driver.click(serverPage, kStart));
    EXPECT_EQ(httpStatus(port), 200);
}

TEST_F(ConfigDialogTest, FailureToOpenIsReported) {
    driver.refuseDialogs(true);
    window.run([&] {
        ConfigDialog config(nullptr, window.window(), *settings, *server, *library);
        config.runModal();
    });
    auto boxes = driver.messageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Cannot initialize Common Controls library");
    EXPECT_EQ(boxes[0].caption, "Warning!");
    EXPECT_EQ(boxes[1].text, "Dialog failed!");
    EXPECT_EQ(boxes[1].caption, "Error");
    EXPECT_EQ(boxes[1].owner, window.window());
}

TEST(ConfigDialogText, UnsignedNumbersAndTrailingSlashes) {
    struct {
        const char* text;
        std::uint32_t value;
    } numbers[] = {{"5151", 5151}, {" 80 ", 80}, {"", 0}, {"-1", 0}, {"12x", 0}, {"4294967295", 4294967295u},
                   {"4294967296", 0}};
    for (const auto& n : numbers) EXPECT_EQ(parseUnsignedText(n.text), n.value) << n.text;
    struct {
        const char* path;
        const char* stored;
    } paths[] = {{"/", "/"}, {"//", "/"}, {"/srv/music/", "/srv/music"}, {"/srv//", "/srv"}, {"/srv", "/srv"}};
    for (const auto& p : paths) EXPECT_EQ(trimTrailingSlashes(p.path), p.stored) << p.path;
}

}  // namespace

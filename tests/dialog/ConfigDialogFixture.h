// The configuration dialog test fixture: the dialog driven as a user drives
// it, against a real server on loopback ports, a real settings file and the
// media library, all living on a window thread.
#pragma once

#include "tests/support/LoopThread.h"

#include "config/ConfigDialog.h"
#include "config/ConfigPages.h"
#include "config/ConfigTemplates.h"
#include "config/Settings.h"
#include "http/HttpResponse.h"
#include "http/Server.h"
#include "library/MediaLibrary.h"
#include "platform/Socket.h"
#include "platform/dialog/HeadlessDriver.h"
#include "tests/support/RawHttp.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace lyrebox::test {

using namespace lyrebox::config;
using platform::HWND;

inline constexpr auto kLimit = std::chrono::seconds(30);

inline std::uint16_t freePort() {
    platform::Socket probe = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
    return probe.localPort();
}

// Status code of a GET on loopback, or 0 when nothing answers.
inline int httpStatus(std::uint16_t port, const std::string& extraHeaders = "") {
    return fetch(port, getRequest("/ping", "Host: 127.0.0.1\r\n" + extraHeaders)).status;
}

class ConfigDialogTest : public ::testing::Test {
protected:
    ConfigDialogTest() {
        port = freePort();
        window.run([this] {
            settings = std::make_unique<Settings>(iniPath);
            settings->setListenIP(parseIPv4("127.0.0.1"));
            settings->setListenPort(port);
            settings->save();
            server = std::make_unique<Server>(settings->listenIP(), port);
            server->setDispatcher([](HttpRequest&, const std::string&, ParamMap, HttpResponse& response) {
                response.setBody("pong");
                response.send();
            });
            library = std::make_unique<MediaLibrary>(*settings, dir + "/index");
        });
    }

    ~ConfigDialogTest() override {
        if (dialog != nullptr && driver.isOpen(dialog)) {
            driver.click(dialog, kOk);
            driver.waitForClosed(dialog);
        }
        window.run([this] {
            server.reset();
            library.reset();
            settings.reset();
        });
    }

    // Opens the dialog on the window thread, as the plugin's menu item does.
    void open() {
        window.post([this] {
            ConfigDialog config(nullptr, window.window(), *settings, *server, *library);
            config.runModal();
        });
        dialog = driver.waitForModal(kMainTemplate, kLimit);
        ASSERT_NE(dialog, nullptr);
        serverPage = driver.findDialog(kServerTemplate);
        securityPage = driver.findDialog(kSecurityTemplate);
        libraryPage = driver.findDialog(kLibraryTemplate);
        aboutPage = driver.findDialog(kAboutTemplate);
        ASSERT_TRUE(serverPage && securityPage && libraryPage && aboutPage);
    }

    // Picks a page in the page list; only the page shown takes clicks and keys.
    void showPage(int index) { ASSERT_TRUE(driver.selectListViewItem(dialog, kPageList, index)); }

    void ok() {
        ASSERT_TRUE(driver.click(dialog, kOk));
        ASSERT_TRUE(driver.waitForClosed(dialog, kLimit));
    }

    // The settings as the file holds them now.
    std::unique_ptr<Settings> reloaded() const { return std::make_unique<Settings>(iniPath); }

    bool serverRunning() {
        bool running = false;
        window.run([&] { running = server->isRunning(); });
        return running;
    }

    TempDir temp;
    platform::HeadlessDriver driver;
    LoopThread window;
    std::string dir = temp.path(), iniPath = dir + "/gen_lyrebox.ini";
    std::uint16_t port = 0;
    std::unique_ptr<Settings> settings;
    std::unique_ptr<Server> server;
    std::unique_ptr<MediaLibrary> library;
    HWND dialog = nullptr, serverPage = nullptr, securityPage = nullptr, libraryPage = nullptr, aboutPage = nullptr;
};

}  // namespace lyrebox::test

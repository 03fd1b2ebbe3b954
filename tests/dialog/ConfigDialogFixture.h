// The configuration dialog test fixture: the dialog driven as a user drives
// it, against a real server on loopback ports, a real settings file and the
// media library, all living on a window thread.
#pragma once

#include "tests/support/LoopThread.h"

#include "plugin/dialog/ConfigDialog.h"
#include "plugin/dialog/ConfigPages.h"
#include "plugin/dialog/ConfigTemplates.h"
#include "config/Settings.h"
#include "http/HttpResponse.h"
#include "http/Server.h"
#include "library/MediaLibrary.h"
#include "platform/Socket.h"
#include "platform/dialog/HeadlessDriver.h"
#include "tests/support/RawHttp.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace lyrebox::test {

using namespace lyrebox::config;
using platform::HWND;

inline constexpr auto kLimit = std::chrono::seconds(30);

inline std::uint16_t freePort() {
    platform::Socket probe = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
    return probe.localPort();
}

// Sends a GET of /ping with the given header lines on a new loopback
// connection and reads until `until` has arrived or the answer ends; the
// connection stays open for the caller (invalid when nothing answered).
inline platform::Socket askPing(std::uint16_t port, const std::string& headers, const std::string& until,
                                std::string& answer) {
    platform::Socket s = platform::Socket::connectTcp("127.0.0.1", port, std::chrono::seconds(5));
    if (!s.valid()) return s;
    std::string request = "GET /ping HTTP/1.1\r\nHost: 127.0.0.1\r\n" + headers + "\r\n";
    s.sendAll(request.data(), request.size());
    s.setRecvTimeout(std::chrono::seconds(10));
    char buf[4096];
    long n;
    while (answer.find(until) == std::string::npos && (n = s.recvSome(buf, sizeof buf)) > 0)
        answer.append(buf, static_cast<std::size_t>(n));
    return s;
}

// Status code of a GET on loopback, or 0 when nothing answers.
inline int httpStatus(std::uint16_t port, const std::string& extraHeaders = "") {
    return fetch(port, getRequest("/ping", "Host: 127.0.0.1\r\n" + extraHeaders)).status;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
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
            server->setDispatcher([](HttpRequest&, HttpResponse& response) {
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

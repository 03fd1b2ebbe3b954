// The player on a terminal (tmux): the plugin's dialog opened from the main
// menu, a folder added through the folder browser, Reindex and OK; the INI
// holds the folder and the library search finds its files, and the server
// answers while the dialog is open.
#include "config/Settings.h"
#include "platform/Socket.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kLimit = 60s;

std::string run(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) out.append(buf, n);
        ::pclose(pipe);
    }
    return out;
}

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string httpGet(std::uint16_t port, const std::string& target) {
    platform::Socket s = platform::Socket::connectTcp("127.0.0.1", port, 5s);
    if (!s.valid()) return {};
    std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    s.sendAll(request.data(), request.size());
    s.setRecvTimeout(10s);
    std::string answer;
    char buf[8192];
    long n;
    // Head, then as many body bytes as Content-Length says.
    for (;;) {
        auto headEnd = answer.find("\r\n\r\n");
        if (headEnd != std::string::npos) {
            auto at = answer.find("Content-Length: ");
            std::size_t length = at == std::string::npos ? 0 : std::stoul(answer.substr(at + 16));
            if (answer.size() >= headEnd + 4 + length) break;
        }
        if ((n = s.recvSome(buf, sizeof buf)) <= 0) break;
        answer.append(buf, static_cast<std::size_t>(n));
    }
    return answer;
}

class TerminalTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (run("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
        std::string pattern = (fs::temp_directory_path() / "lyrebox-tui-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
        socket = dir + "/tmux.sock";
        fs::create_directories(dir + "/plugins");
        fs::copy_file(std::string(LYREBOX_BUILD_DIR) + "/plugins/gen_lyrebox.so", dir + "/plugins/gen_lyrebox.so");
        music = dir + "/music";
        fs::create_directories(music + "/Artist");
        std::ofstream(music + "/Artist/Zebrafinch Song.mp3") << "not really audio";
        {
            platform::Socket probe = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
            port = probe.localPort();
        }
        lyrebox::Settings settings(dir + "/plugins/gen_lyrebox.ini");
        settings.setListenIP(lyrebox::parseIPv4("127.0.0.1"));
        settings.setListenPort(port);
        settings.setAutoStart(true);
        settings.save();
    }

    // Starts the player in an 80 x 24 tmux pane, with these start items.
    void startPlayer(const std::string& items = "") {
        std::string player = std::string(LYREBOX_BUILD_DIR) + "/lyrebox-player";
        std::string command = "cd " + quote(dir) + " && env LANG=C.UTF-8 XDG_STATE_HOME=" + quote(dir + "/state") + " " + quote(player) + " --plugin " +
                              quote(dir + "/plugins/gen_lyrebox.so") + " " + items + " 2>" + quote(dir + "/stderr");
        run("tmux -S " + quote(socket) + " new-session -d -x 80 -y 24 -s t " + quote(command));
    }

    bool playerRunning() { return run("tmux -S " + quote(socket) + " has-session -t t 2>/dev/null && echo yes") == "yes\n"; }

    // Silence as a WAV file GStreamer plays: 8 kHz, 8 bits, mono.
    void writeWav(const std::string& path, int seconds) {
        const std::uint32_t data = 8000u * static_cast<std::uint32_t>(seconds);
        std::ofstream out(path, std::ios::binary);
        auto u32 = [&](std::uint32_t v) { for (int i = 0; i < 4; ++i) out.put(static_cast<char>((v >> (8 * i)) & 0xFF)); };
        auto u16 = [&](std::uint16_t v) { out.put(static_cast<char>(v & 0xFF)); out.put(static_cast<char>(v >> 8)); };
        out << "RIFF";
        u32(36 + data);
        out << "WAVEfmt ";
        u32(16);
        u16(1);
        u16(1);
        u32(8000);
        u32(8000);
        u16(1);
        u16(8);
        out << "data";
        u32(data);
        for (std::uint32_t i = 0; i < data; ++i) out.put(static_cast<char>(0x80));
    }

    void TearDown() override {
        if (dir.empty()) return;
        run("tmux -S " + quote(socket) + " kill-server 2>/dev/null");
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }

    void keys(const std::string& args) { run("tmux -S " + quote(socket) + " send-keys -t t " + args); }
    std::string screen() { return run("tmux -S " + quote(socket) + " capture-pane -p -t t"); }

    // Polls the screen: a terminal gives no other signal that it has drawn.
    bool waitForScreen(const std::string& text) {
        auto end = std::chrono::steady_clock::now() + kLimit;
        while (std::chrono::steady_clock::now() < end) {
            if (screen().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(20ms);
        }
        ADD_FAILURE() << "never shown: " << text << "\n" << screen();
        return false;
    }

    template <class Condition>
    bool waitUntil(Condition condition) {
        auto end = std::chrono::steady_clock::now() + kLimit;
        while (std::chrono::steady_clock::now() < end) {
            if (condition()) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    std::string dir, socket, music;
    std::uint16_t port = 0;
};

TEST_F(TerminalTest, AddAFolderFromThePreferencesDialogAndReindex) {
    startPlayer();
    ASSERT_TRUE(waitForScreen("Play list (0)"));
    keys("m");
    ASSERT_TRUE(waitForScreen("Lyrebox Preferences..."));
    keys("Down Enter");
    ASSERT_TRUE(waitForScreen("Lyrebox Configuration"));
    ASSERT_TRUE(waitForScreen("Automatically Start Server"));

    // The page list has the focus: two entries down is the Library page.
    keys("Down Down");
    ASSERT_TRUE(waitForScreen("Enable Media Library"));
    keys("Tab Tab Tab Enter");   // Enable Media Library, the list, Add Directory
    ASSERT_TRUE(waitForScreen("Browse For Folder"));
    std::string erase;
    for (std::size_t i = 0; i < dir.size() + 8; ++i) erase += " BSpace";
    keys(erase);
    keys("-l " + quote(music + "/"));
    keys("Enter");
    ASSERT_TRUE(waitForScreen(music + "/"));
    EXPECT_EQ(screen().find("Browse For Folder"), std::string::npos);

    keys("Tab Tab Enter");   // Remove Directory, Reindex
    const std::string ini = dir + "/plugins/gen_lyrebox.ini";
    EXPECT_TRUE(waitUntil([&] { return readFile(ini).find("Shared Dirs=" + music + ";") != std::string::npos; }));

    // The server keeps answering while the dialog is open; the new pass indexes the folder.
    EXPECT_TRUE(waitUntil([&] {
        return httpGet(port, "/library.js?path=search://zebrafinch").find("Zebrafinch%20Song%2emp3") != std::string::npos;
    })) << httpGet(port, "/library.js?path=search://zebrafinch");

    keys("M-o");   // OK
    ASSERT_TRUE(waitUntil([&] { return screen().find("Lyrebox Configuration") == std::string::npos; }));
    EXPECT_NE(readFile(ini).find("Shared Dirs=" + music + ";"), std::string::npos);
    EXPECT_NE(httpGet(port, "/consolestatus.xml").find("200"), std::string::npos);

    // Changes made from the web show up on the screen by themselves.
    httpGet(port, "/setvolume?level=51");
    EXPECT_TRUE(waitForScreen("Volume 20%"));
    httpGet(port, "/enqueuefile?filename=" + music + "/Artist/Zebrafinch%20Song.mp3");
    EXPECT_TRUE(waitForScreen("Play list (1)"));

    keys("q");
}

TEST_F(TerminalTest, KeysDriveThePlayerAndTheMenusShowThePluginsItem) {
    fs::create_directories(dir + "/songs");
    writeWav(dir + "/songs/One.wav", 60);
    writeWav(dir + "/songs/Two.wav", 60);
    writeWav(music + "/Three.wav", 60);
    startPlayer(quote(dir + "/songs"));   // start items play at once
    ASSERT_TRUE(waitForScreen("Play list (2)"));
    ASSERT_TRUE(waitForScreen("[playing]"));
    EXPECT_TRUE(waitForScreen(" > 1. One"));

    struct Step {
        const char* keys;
        const char* shown;
    } steps[] = {
        {"c", "[paused]"},          {"c", "[playing]"},        {"v", "[stopped]"},
        {"b", " > 2. Two"},         {"z", " > 1. One"},        {"x", "[playing]"},
        {"+", "Volume 84%"},        {"- -", "Volume 72%"},     {"s", "Shuffle on"},
        {"r", "Repeat on"},         {"s", "Shuffle off"},      {"Down Enter", " > 2. Two"},
        {"d", "Play list (1)"},
    };
    for (const Step& step : steps) {
        keys(step.keys);
        EXPECT_TRUE(waitForScreen(step.shown)) << "after " << step.keys;
    }

    keys("a");
    ASSERT_TRUE(waitForScreen("Add file or folder:"));
    keys("-l " + quote(music + "/Three.wav"));
    keys("Enter");
    EXPECT_TRUE(waitForScreen("Play list (2)"));
    EXPECT_TRUE(waitForScreen("2. Three"));

    // Each menu shows the plugin's item, once, however often it opens.
    for (int i = 0; i < 2; ++i) {
        keys("p");
        ASSERT_TRUE(waitForScreen("Add file or folder..."));
        std::string shown = screen();
        EXPECT_NE(shown.find("Lyrebox Preferences..."), std::string::npos);
        EXPECT_EQ(shown.find("Lyrebox Preferences..."), shown.rfind("Lyrebox Preferences..."));
        keys("Escape");
        ASSERT_TRUE(waitUntil([&] { return screen().find("Add file or folder...") == std::string::npos; }));
    }

    keys("q");
    EXPECT_TRUE(waitUntil([&] { return !playerRunning(); }));
}

TEST_F(TerminalTest, TheListFollowsThePlayingEntryUnlessTheUserJustMovedTheSelection) {
    fs::create_directories(dir + "/many");
    for (int i = 1; i <= 30; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "t%02d.wav", i);
        writeWav(dir + "/many/" + name, 60);
    }
    startPlayer(quote(dir + "/many"));
    ASSERT_TRUE(waitForScreen("Play list (30)"));
    ASSERT_TRUE(waitForScreen(" > 1. t01"));
    // Fifteen rows of the list fit: entry 21 is far below them.
    std::string next20;
    for (int i = 0; i < 20; ++i) next20 += " b";
    keys(next20);
    ASSERT_TRUE(waitForScreen("Title:  t21.wav"));
    EXPECT_TRUE(waitForScreen(" > 21. t21"));
    EXPECT_EQ(screen().find(" 1. t01"), std::string::npos);

    // A selection the user has just moved stays where they put it.
    keys("Home b");
    ASSERT_TRUE(waitForScreen("Title:  t22.wav"));
    const std::string shown = screen();
    EXPECT_NE(shown.find(" 1. t01"), std::string::npos) << shown;
    EXPECT_EQ(shown.find(" > 22. t22"), std::string::npos) << shown;
    keys("q");
}

}  // namespace

// One run of the real player, headless, for the host's process tests: its own
// state folder, optionally a private copy of the plugin with an INI on a
// loopback port, its standard error read line by line, HTTP requests to it.
#pragma once

#include "platform/Socket.h"
#include "tests/support/RawHttp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace lyrebox::test {

inline std::uint16_t freePort() {
    platform::Socket s = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
    return s.localPort();
}

class PlayerRun {
public:
    struct Setup {
        std::string stateHome;                  // XDG_STATE_HOME of the run
        std::vector<std::string> args;          // after --headless
        bool plugin = true;                     // copy the built plugin and load it
        std::string pluginFolder;               // where the copy and its INI go
        std::string iniLines;                   // lines after listenPort
        std::uint16_t port = 0;                 // 0: a free loopback port
        std::string listenIP = "127.0.0.1";
        std::string exe = std::string(LYREBOX_BUILD_DIR) + "/lyrebox-player";
        std::map<std::string, std::string> env; // set ("" removes)
    };

    explicit PlayerRun(Setup setup) : setup_(std::move(setup)) {
        port_ = setup_.port ? setup_.port : freePort();
        std::vector<std::string> args = {setup_.exe, "--headless"};
        if (setup_.plugin) {
            std::filesystem::create_directories(setup_.pluginFolder);
            const std::string plugin = setup_.pluginFolder + "/gen_lyrebox.so";
            if (!std::filesystem::exists(plugin))
                std::filesystem::copy_file(std::string(LYREBOX_BUILD_DIR) + "/plugins/gen_lyrebox.so", plugin);
            std::ofstream ini(setup_.pluginFolder + "/gen_lyrebox.ini", std::ios::binary);
            ini << "[Lyrebox Remote Control Plugin v1.0]\r\nlistenIP=" << setup_.listenIP
                << "\r\nlistenPort=" << port_ << "\r\n" << setup_.iniLines;
            args.push_back("--plugin");
            args.push_back(plugin);
        } else {
            args.push_back("--plugin");
            args.push_back(setup_.stateHome + "/no-plugin.so");
        }
        args.insert(args.end(), setup_.args.begin(), setup_.args.end());

        std::map<std::string, std::string> env;
        for (char** e = environ; *e; ++e) {
            const std::string pair = *e;
            const auto eq = pair.find('=');
            if (eq != std::string::npos) env[pair.substr(0, eq)] = pair.substr(eq + 1);
        }
        env["XDG_STATE_HOME"] = setup_.stateHome;
        env["LYREBOX_AUDIO"] = "null";
        env["GST_REGISTRY"] = std::string(LYREBOX_BUILD_DIR) + "/gst-registry.bin";
        for (const auto& [key, value] : setup_.env) {
            if (value.empty()) env.erase(key);
            else env[key] = value;
        }
        std::vector<std::string> envText;
        for (const auto& [key, value] : env) envText.push_back(key + "=" + value);
        std::vector<char*> argv, envp;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        for (auto& e : envText) envp.push_back(e.data());
        envp.push_back(nullptr);

        int pipeFds[2];
        ::pipe2(pipeFds, O_CLOEXEC);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
        ::posix_spawn(&pid_, setup_.exe.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        stderr_ = pipeFds[0];
    }

    ~PlayerRun() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (stderr_ >= 0) ::close(stderr_);
    }
    PlayerRun(const PlayerRun&) = delete;
    PlayerRun& operator=(const PlayerRun&) = delete;

    std::uint16_t port() const { return port_; }
    const std::string& said() const { return said_; }

    // Reads standard error until text appears; false when the player closed
    // it first (or a generous guard ran out: a hung player fails, not hangs).
    bool waitFor(const std::string& text) {
        const auto guard = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (said_.find(text) == std::string::npos) {
            pollfd p{stderr_, POLLIN, 0};
            if (std::chrono::steady_clock::now() > guard || ::poll(&p, 1, 1000) < 0) return false;
            if (!(p.revents & (POLLIN | POLLHUP))) continue;
            char buffer[4096];
            const ssize_t n = ::read(stderr_, buffer, sizeof buffer);
            if (n <= 0) return false;
            said_.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }

    // The answer's body; the listener is retried until it answers.
    std::string get(const std::string& target) {
        for (int i = 0; i < 2000; ++i) {
            platform::Socket s = platform::Socket::connectTcp("127.0.0.1", port_, std::chrono::seconds(5));
            if (!s.valid()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
                continue;
            }
            const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
            s.sendAll(request.data(), request.size());
            return readRawResponse(s).body;
        }
        return "(no answer)";
    }

    bool alive() { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

    // SIGTERM; the exit code, or -1 when it did not exit by itself.
    int quit() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        waitFor("\x01");  // the rest of what it said
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    Setup setup_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
    int stderr_ = -1;
    std::string said_;
};

}  // namespace lyrebox::test

// Runs the real player headless with a private copy of the plugin and an
// INI beside it, on a port found free at run time.
#pragma once

#include "TestSockets.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace lyrebox::test {

inline std::uint16_t freeLoopbackPort() {
    platform::Socket s = platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0);
    return s.localPort();
}

class PlayerProcess {
public:
    // iniLines are added to the plugin's section.
    explicit PlayerProcess(const std::string& iniLines) : port_(freeLoopbackPort()) {
        char pattern[] = "/tmp/lyrebox-player-XXXXXX";
        dir_ = ::mkdtemp(pattern);
        std::filesystem::copy_file(std::string(LYREBOX_BUILD_DIR) + "/plugins/gen_lyrebox.so", dir_ + "/gen_lyrebox.so");
        std::ofstream ini(dir_ + "/gen_lyrebox.ini", std::ios::binary);
        ini << "[Lyrebox Remote Control Plugin v1.0]\r\nlistenIP=0.0.0.0\r\nlistenPort=" << port_ << "\r\n" << iniLines;
        ini.close();

        int pipeFds[2];
        ::pipe2(pipeFds, O_CLOEXEC);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
        std::string exe = std::string(LYREBOX_BUILD_DIR) + "/lyrebox-player";
        std::string plugin = dir_ + "/gen_lyrebox.so";
        char* argv[] = {exe.data(), const_cast<char*>("--headless"), const_cast<char*>("--plugin"), plugin.data(),
                        nullptr};
        // A state folder of its own: the run starts with an empty play list
        // and leaves nothing behind for another run.
        std::vector<std::string> envText = {"XDG_STATE_HOME=" + dir_ + "/state"};
        for (char** e = environ; *e; ++e)
            if (std::string(*e).rfind("XDG_STATE_HOME=", 0) != 0) envText.push_back(*e);
        std::vector<char*> envp;
        for (auto& e : envText) envp.push_back(e.data());
        envp.push_back(nullptr);
        ::posix_spawn(&pid_, exe.c_str(), &actions, nullptr, argv, envp.data());
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        // The player reports that its plugins' init has returned.
        std::string out;
        char c;
        while (out.find("running with") == std::string::npos && ::read(pipeFds[0], &c, 1) == 1) out += c;
        stderr_ = pipeFds[0];
    }

    ~PlayerProcess() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::close(stderr_);
        std::filesystem::remove_all(dir_);
    }

    std::uint16_t port() const { return port_; }

    // Init starts the listener without waiting for it; connection attempts
    // are retried until it listens.
    platform::Socket connect(const char* from = "127.0.0.1") {
        for (int i = 0; i < 2000; ++i) {
            platform::Socket s = connectFrom(from, port_);
            if (s.valid()) return s;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return platform::Socket();
    }

    // SIGTERM, then the exit status once the player has quit.
    int quit() {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }

    // As quit(), but a player that has not quit within limit is killed and
    // the answer is -1: a test of quitting fails instead of hanging.
    int quitWithin(std::chrono::seconds limit) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, nullptr, 0);
                pid_ = -1;
                return -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        pid_ = -1;
        return status;
    }

private:
    std::uint16_t port_;
    std::string dir_;
    pid_t pid_ = -1;
    int stderr_ = -1;
};

}  // namespace lyrebox::test

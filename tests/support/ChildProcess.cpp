#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

extern char** environ;

namespace lyrebox::test {

void ChildProcess::start(const std::vector<std::string>& args, int outputFd, const std::vector<std::string>& env) {
    std::vector<char*> argv, envp;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        said_ = "no pipe for the output of " + args[0] + "\n";
        ended_ = true;
        return;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], outputFd);
    const int error =
        ::posix_spawnp(&pid_, args[0].c_str(), &actions, nullptr, argv.data(), env.empty() ? environ : envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    output_ = pipeFds[0];
    if (error != 0) {
        pid_ = -1;
        said_ = "cannot start " + args[0] + "\n";
    }
    reader_ = std::thread([this] { readOutput(); });
}

void ChildProcess::readOutput() {
    char buffer[4096];
    for (;;) {
        {
            std::lock_guard guard(lock_);
            if (stop_) break;
        }
        // A bounded wait, so the reader also ends where a child of the
        // program keeps the pipe open after the program is gone.
        pollfd p{output_, POLLIN, 0};
        if (::poll(&p, 1, 200) == 0) continue;
        const ssize_t n = ::read(output_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        std::lock_guard guard(lock_);
        if (n <= 0) break;
        said_.append(buffer, static_cast<std::size_t>(n));
        changed_.notify_all();
    }
    std::lock_guard guard(lock_);
    ended_ = true;
    changed_.notify_all();
}

void ChildProcess::kill() {
    if (pid_ <= 0) return;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        reap(status);  // it ended by itself
    } else {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        reap(0);
    }
}

ChildProcess::~ChildProcess() {
    kill();
    {
        std::lock_guard guard(lock_);
        stop_ = true;
    }
    if (reader_.joinable()) reader_.join();
    if (output_ >= 0) ::close(output_);
}

std::string ChildProcess::waitUntil(const std::function<bool(const std::string&)>& done, std::chrono::seconds limit) {
    std::unique_lock guard(lock_);
    changed_.wait_until(guard, std::chrono::steady_clock::now() + limit, [&] { return ended_ || done(said_); });
    return said_;
}

bool ChildProcess::waitFor(const std::string& text, std::chrono::seconds limit) {
    const auto has = [&](const std::string& said) { return said.find(text) != std::string::npos; };
    return has(waitUntil(has, limit));
}

std::string ChildProcess::said() const {
    std::lock_guard guard(lock_);
    return said_;
}

bool ChildProcess::alive() { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

int ChildProcess::quit() {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    reap(status);
    return status;
}

int ChildProcess::quitWithin(std::chrono::seconds limit) {
    if (pid_ <= 0) return -1;
    ::kill(pid_, SIGTERM);
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            reap(status);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    reap(status);
    return status;
}

void ChildProcess::drain() {
    std::unique_lock guard(lock_);
    changed_.wait_for(guard, std::chrono::seconds(5), [this] { return ended_; });
}

void ChildProcess::reap(int status) {
    pid_ = -1;
    drain();
    const std::string text = said();
    if (status == 0 && text.find("Sanitizer") == std::string::npos) return;
    std::fprintf(stderr, "--- the test's child (wait status %d) said:\n%s--- end of what it said\n", status, text.c_str());
}

}  // namespace lyrebox::test

// A program run by a test, with one of its outputs (standard error, say)
// read all the time by a thread of the run's own into a buffer, so a
// sanitizer report or a long log never fills the pipe and blocks the
// program; said() is the text so far. When the program ends with a failure
// status, or says a sanitizer report, the text goes to the test's standard
// error. Every wait has a deadline: a hung program fails a test, it does not
// hang it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lyrebox::test {

// How long a program may take to say something expected of it.
inline constexpr std::chrono::seconds kSayLimit{60};

class ChildProcess {
public:
    // Starts args[0] (looked up on PATH without a slash) with env ("NAME=value"
    // entries; this process's environment when empty), reading its output
    // fd (1 or 2).
    ChildProcess(const std::vector<std::string>& args, int outputFd, const std::vector<std::string>& env = {}) {
        start(args, outputFd, env);
    }
    // Kills a program still running.
    virtual ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits until the program has said text; false when its output ended or
    // the limit passed first.
    bool waitFor(const std::string& text, std::chrono::seconds limit = kSayLimit);
    std::string said() const;
    bool alive();

    // SIGTERM; the wait status once the program has ended.
    int quit();
    // As quit(), but a program that has not ended within limit is killed
    // and the answer is -1: a test of quitting fails instead of hanging.
    int quitWithin(std::chrono::seconds limit);

protected:
    ChildProcess() = default;
    void start(const std::vector<std::string>& args, int outputFd, const std::vector<std::string>& env);
    // Ends a program still running at once (no report: the test is done with it).
    void kill();
    // Waits until done(said) holds or the output ended; the text then.
    std::string waitUntil(const std::function<bool(const std::string&)>& done, std::chrono::seconds limit);

private:
    void readOutput();
    void drain();
    void reap(int status);

    pid_t pid_ = -1;
    int output_ = -1;
    std::thread reader_;
    mutable std::mutex lock_;
    std::condition_variable changed_;
    std::string said_;    // guarded by lock_
    bool ended_ = false;  // guarded by lock_: the output is closed
    bool stop_ = false;   // guarded by lock_: the reader is to end
};

}  // namespace lyrebox::test

// One question to the player shared by the callers that wait at the same
// time, without ever answering a caller from a question asked before it
// arrived.
//
// A caller that finds no question running asks it itself. A caller that
// finds one running waits for it to end and then for the next one, which
// starts after every caller waiting for it arrived; all of them take its
// answer. So each answer reflects every change the player had made before
// its caller arrived, and sixteen polling clients cost the player's thread
// a few round trips instead of sixteen.
//
// Thread contract: get() may be called from any thread. ask runs without
// the internal lock held; an exception from it reaches only the caller that
// ran it, and the waiters then ask again.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

namespace lyrebox {

template <typename T>
class SharedAsk {
public:
    T get(const std::function<T()>& ask) {
        std::unique_lock lock(mutex_);
        // A question that starts after now: the next one to start.
        const std::uint64_t needed = started_ + 1;
        ++waiting_;
        while (finished_ < needed) {
            if (running_) {
                changed_.wait(lock);
                continue;
            }
            running_ = true;
            const std::uint64_t mine = ++started_;
            lock.unlock();
            try {
                T answer = ask();
                lock.lock();
                answer_ = std::move(answer);
                finished_ = mine;
            } catch (...) {
                if (!lock.owns_lock()) lock.lock();
                endQuestion();
                --waiting_;
                throw;
            }
            endQuestion();
        }
        --waiting_;
        return answer_;
    }

    // Callers inside get() now (for tests).
    std::size_t waiting() const {
        std::lock_guard lock(mutex_);
        return waiting_;
    }

private:
    // Under mutex_.
    void endQuestion() {
        running_ = false;
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool running_ = false;
    std::uint64_t started_ = 0;   // questions begun
    std::uint64_t finished_ = 0;  // the last question that gave answer_
    std::size_t waiting_ = 0;
    T answer_{};
};

}  // namespace lyrebox

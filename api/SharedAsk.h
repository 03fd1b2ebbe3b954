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
// The caller that ends a question hands its answer to each waiter it is
// for, and the next question to one of the others, waking each once on a
// flag of its own: woken together on one condition, they would all queue
// again on the lock to read the answer.
//
// Thread contract: get() may be called from any thread. ask runs without
// the internal lock held; an exception from it reaches only the caller that
// ran it, and the waiters then ask again.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>

namespace lyrebox {

template <typename T>
class SharedAsk {
    // Handing an answer over must not fail half way.
    static_assert(std::is_nothrow_copy_constructible_v<T>);

public:
    T get(const std::function<T()>& ask) {
        std::unique_lock lock(mutex_);
        const Count inside(waiting_);
        if (running_) {
            // Shared, so that the caller handing it over may still touch it
            // after this caller has taken its answer and gone.
            const auto self = std::make_shared<Waiter>();
            self->needed = started_ + 1;  // a question that starts after now
            (last_ ? last_->next : first_) = self;
            last_ = self.get();
            lock.unlock();
            self->state.wait(kWaiting, std::memory_order_acquire);
            if (self->state.load(std::memory_order_acquire) == kAnswered) return *self->answer;
            lock.lock();  // handed the next question: running_ stayed set for it
        }
        running_ = true;
        const std::uint64_t mine = ++started_;
        lock.unlock();
        std::optional<T> answer;
        try {
            answer.emplace(ask());
        } catch (...) {
            finish(nullptr, mine);
            throw;
        }
        finish(&*answer, mine);
        return std::move(*answer);
    }

    // Callers inside get() now (for tests).
    std::size_t waiting() const { return waiting_.load(); }

private:
    enum : int { kWaiting, kAnswered, kAsk };

    struct Waiter {
        std::uint64_t needed = 0;
        std::optional<T> answer;  // written before state becomes kAnswered
        std::atomic<int> state{kWaiting};
        std::shared_ptr<Waiter> next;  // the one that came after, under mutex_
    };

    class Count {
    public:
        explicit Count(std::atomic<std::size_t>& count) : count_(count) { ++count_; }
        ~Count() { --count_; }
        Count(const Count&) = delete;
        Count& operator=(const Count&) = delete;

    private:
        std::atomic<std::size_t>& count_;
    };

    // Question mine has ended, with answer or (null) failed. Its answer goes
    // to every waiter that arrived before it started (the waiters are in
    // the order they came, so those lead the queue), and the next question
    // to the longest waiting of the others. Nothing here can fail.
    void finish(const T* answer, std::uint64_t mine) {
        std::shared_ptr<Waiter> answered;
        std::shared_ptr<Waiter> next;
        {
            std::lock_guard lock(mutex_);
            if (answer && first_ && first_->needed <= mine) {
                answered = first_;
                Waiter* end = first_.get();
                while (end->next && end->next->needed <= mine) end = end->next.get();
                first_ = std::move(end->next);  // cuts the answered off the queue
                if (!first_) last_ = nullptr;
            }
            if (first_) {
                next = std::move(first_);
                first_ = std::move(next->next);
                if (!first_) last_ = nullptr;
            } else {
                running_ = false;
            }
        }
        while (answered) {
            auto waiter = std::move(answered);
            answered = std::move(waiter->next);
            waiter->answer.emplace(*answer);
            waiter->state.store(kAnswered, std::memory_order_release);
            waiter->state.notify_one();
        }
        if (next) {
            next->state.store(kAsk, std::memory_order_release);
            next->state.notify_one();
        }
    }

    mutable std::mutex mutex_;
    bool running_ = false;
    std::uint64_t started_ = 0;  // questions begun
    // The waiters, in the order they came; under mutex_.
    std::shared_ptr<Waiter> first_;
    Waiter* last_ = nullptr;
    std::atomic<std::size_t> waiting_{0};
};

}  // namespace lyrebox

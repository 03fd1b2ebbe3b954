// The shared question: callers that wait together share one answer, and no
// caller gets the answer of a question that began before it arrived.
#include "api/SharedAsk.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <thread>
#include <vector>

namespace lyrebox {
namespace {

using namespace std::chrono_literals;

void waitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!condition() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(1ms);
    ASSERT_TRUE(condition());
}

// The first caller's question is held open; two callers arrive meanwhile.
// They must not take its answer (the player may have changed after it was
// asked) and share the next question instead.
TEST(SharedAsk, CallersDuringAQuestionShareTheNextOneNotThatOne) {
    SharedAsk<int> shared;
    std::atomic<int> asked{0};
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    const std::function<int()> ask = [&] {
        const int number = ++asked;
        if (number == 1) released.wait();
        return number;
    };
    auto first = std::async(std::launch::async, [&] { return shared.get(ask); });
    waitUntil([&] { return asked.load() == 1; });
    auto second = std::async(std::launch::async, [&] { return shared.get(ask); });
    auto third = std::async(std::launch::async, [&] { return shared.get(ask); });
    waitUntil([&] { return shared.waiting() == 3; });
    release.set_value();
    EXPECT_EQ(first.get(), 1);
    EXPECT_EQ(second.get(), 2);
    EXPECT_EQ(third.get(), 2);
    EXPECT_EQ(asked.load(), 2);
    // Alone, a caller always asks anew.
    EXPECT_EQ(shared.get(ask), 3);
    EXPECT_EQ(shared.waiting(), 0u);
}

// A question that fails fails only its own caller; a caller waiting for it
// asks again and gets an answer.
TEST(SharedAsk, AFailedQuestionReachesItsCallerAndTheWaitersAskAgain) {
    SharedAsk<int> shared;
    std::atomic<int> asked{0};
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    const std::function<int()> ask = [&] {
        const int number = ++asked;
        if (number == 1) {
            released.wait();
            throw std::runtime_error("player gone");
        }
        return number;
    };
    auto failing = std::async(std::launch::async, [&] { return shared.get(ask); });
    waitUntil([&] { return asked.load() == 1; });
    auto waiter = std::async(std::launch::async, [&] { return shared.get(ask); });
    waitUntil([&] { return shared.waiting() == 2; });
    release.set_value();
    EXPECT_THROW(failing.get(), std::runtime_error);
    EXPECT_EQ(waiter.get(), 2);
    EXPECT_EQ(shared.waiting(), 0u);
}

// Many callers at once, some questions failing: every caller ends, each
// answer comes from a question that began after its caller read the count,
// and the callers share questions.
TEST(SharedAsk, ManyCallersAllEndWithAnswersNoOlderThanTheirArrival) {
    SharedAsk<int> shared;
    std::atomic<int> asked{0};
    const std::function<int()> ask = [&] {
        const int number = ++asked;
        if (number % 7 == 0) throw std::runtime_error("player busy");
        std::this_thread::yield();
        return number;
    };
    constexpr int kThreads = 8, kCalls = 2000;
    std::atomic<int> stale{0}, failed{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads; ++t) {
        callers.emplace_back([&] {
            for (int i = 0; i < kCalls; ++i) {
                const int before = asked.load();
                try {
                    if (shared.get(ask) <= before) ++stale;
                } catch (const std::runtime_error&) {
                    ++failed;
                }
            }
        });
    }
    for (auto& caller : callers) caller.join();
    EXPECT_EQ(stale.load(), 0);
    EXPECT_EQ(shared.waiting(), 0u);
    EXPECT_LE(failed.load(), asked.load() / 7);  // a failure reaches only the caller that asked
    EXPECT_LT(asked.load(), kThreads * kCalls);
}

}  // namespace
}  // namespace lyrebox

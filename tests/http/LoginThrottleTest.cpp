// LoginThrottle with a clock the test moves: the lock-out threshold and
// window, the wait it reports, other addresses, and the bounded table.
#include "http/LoginThrottle.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace lyrebox {
namespace {

using namespace std::chrono_literals;
using Clock = LoginThrottle::Clock;

class LoginThrottleTest : public ::testing::Test {
protected:
    LoginThrottleTest() : throttle([this] { return now; }) {}

    void fail(std::uint32_t address, int times, std::chrono::milliseconds apart = 0ms) {
        for (int i = 0; i < times; ++i) {
            throttle.recordFailure(address);
            now += apart;
        }
    }

    Clock::time_point now = Clock::time_point() + 1000h;
    LoginThrottle throttle;
};

TEST_F(LoginThrottleTest, TenthFailureWithinTheWindowLocksTheAddressOut) {
    fail(1, http::kMaxFailedLogins - 1);
    EXPECT_EQ(throttle.lockedOutFor(1), 0s);
    fail(1, 1);
    EXPECT_EQ(throttle.lockedOutFor(1), http::kLoginLockout);
    EXPECT_EQ(throttle.lockedOutFor(2), 0s) << "other addresses are not affected";
}

TEST_F(LoginThrottleTest, LockOutCountsDownAndEnds) {
    fail(1, 10);
    const struct {
        std::chrono::milliseconds later;
        std::chrono::seconds wait;
    } steps[] = {{0ms, 60s}, {1ms, 60s}, {999ms, 59s}, {29500ms, 30s}, {29499ms, 1s}, {1ms, 0s}, {1h, 0s}};
    for (const auto& step : steps) {
        now += step.later;
        EXPECT_EQ(throttle.lockedOutFor(1), step.wait) << step.later.count();
    }
}

TEST_F(LoginThrottleTest, FailuresSpreadBeyondTheWindowDoNotLock) {
    // Ten failures, the first and the last just over 60 s apart: not within the window.
    fail(1, 10, 6667ms);
    EXPECT_EQ(throttle.lockedOutFor(1), 0s);
    // Slow guessing never adds up, however long it goes on.
    fail(1, 100, 7s);
    EXPECT_EQ(throttle.lockedOutFor(1), 0s);
    // A burst after it does.
    fail(1, 10, 1s);
    EXPECT_GT(throttle.lockedOutFor(1), 0s);
}

TEST_F(LoginThrottleTest, FailuresDuringALockOutExtendIt) {
    fail(1, 10);
    now += 50s;
    fail(1, 1);
    EXPECT_EQ(throttle.lockedOutFor(1), 60s);
}

TEST_F(LoginThrottleTest, TableIsBoundedAndForgetsTheOldestFirst) {
    fail(7, 9);  // one short of a lock-out
    now += 1s;
    for (std::uint32_t a = 100; a < 100 + http::kMaxTrackedLoginAddresses + 50; ++a) {
        throttle.recordFailure(a);
        now += 1ms;
    }
    EXPECT_EQ(throttle.trackedAddresses(), http::kMaxTrackedLoginAddresses);
    // Address 7 was the oldest and has been forgotten: one more failure does not lock it.
    fail(7, 1);
    EXPECT_EQ(throttle.lockedOutFor(7), 0s);
}

TEST_F(LoginThrottleTest, LockedOutAddressOutlivesAFloodOfNewAddresses) {
    fail(7, 10);
    for (std::uint32_t a = 100; a < 100 + 2 * http::kMaxTrackedLoginAddresses; ++a) throttle.recordFailure(a);
    EXPECT_EQ(throttle.trackedAddresses(), http::kMaxTrackedLoginAddresses);
    EXPECT_EQ(throttle.lockedOutFor(7), 60s);
}

TEST(LoginThrottleThreads, ConcurrentFailuresAreAllCounted) {
    LoginThrottle throttle;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i) {
                throttle.recordFailure(static_cast<std::uint32_t>(t * 1000 + i % 50));
                (void)throttle.lockedOutFor(static_cast<std::uint32_t>(i));
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(throttle.trackedAddresses(), 200u);
    // Each address failed ten times in a moment.
    EXPECT_GT(throttle.lockedOutFor(0), std::chrono::seconds(0));
    EXPECT_GT(throttle.lockedOutFor(3049), std::chrono::seconds(0));
}

}  // namespace
}  // namespace lyrebox

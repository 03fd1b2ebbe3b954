#include "platform/Event.h"
#include "platform/SystemThread.h"
#include "platform/Window.h"
#include "tests/support/LoopThread.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace platform;
using namespace std::chrono_literals;

TEST(Events, ManualResetReleasesEveryWaiterUntilReset) {
    Event e;
    EXPECT_FALSE(e.waitFor(1ms));
    std::atomic<int> released{0};
    SystemThread a, b;
    a.start([&] { e.wait(); ++released; });
    b.start([&] { e.wait(); ++released; });
    e.set();
    a.join();
    b.join();
    EXPECT_EQ(released, 2);
    EXPECT_TRUE(e.waitFor(0ms)) << "stays set";
    e.reset();
    EXPECT_FALSE(e.isSet());
}

TEST(Events, WaitAnyReportsWhichEventIsSet) {
    Event first, second;
    EXPECT_EQ(waitAny({&first, &second}, 1ms), -1);
    second.set();
    EXPECT_EQ(waitAny({&first, &second}), 1);
}

TEST(Events, WaitForStartEndsWhenTheThreadAlreadyEnded) {
    // A body that signals and clears "started" at once, like a listener whose
    // bind fails: the waiter must not miss it and hang.
    Event started;
    SystemThread thread;
    ASSERT_TRUE(thread.start([&] {
        started.set();
        started.reset();
    }));
    EXPECT_NE(waitAny({&started, &thread.ended()}), -1);
    thread.join();
    EXPECT_TRUE(thread.ended().isSet());
}

namespace {
std::atomic<int> handled{0};
LRESULT countingProc(HWND, UINT, WPARAM, LPARAM) { return ++handled; }
}  // namespace

TEST(Events, PumpingWaitAnswersMessagesSentToTheWaitingThread) {
    lyrebox::test::LoopThread owner;
    HWND window = nullptr;
    owner.run([&] { window = createWindow(&countingProc); });
    Event done;
    SystemThread sender;
    // The loop thread waits for a thread that first needs an answer from it.
    owner.run([&] {
        sender.start([&] {
            sendMessage(window, 1, 0, 0);
            done.set();
        });
        done.waitPumping();
    });
    EXPECT_EQ(handled, 1);
    sender.join();
    owner.run([&] { destroyWindow(window); });
}

TEST(SystemThreads, StartAfterAnEndedRunCreatesANewThread) {
    SystemThread thread;
    std::atomic<int> runs{0};
    ASSERT_TRUE(thread.start([&] { ++runs; }));
    ASSERT_TRUE(thread.start([&] { ++runs; }));
    thread.join();
    EXPECT_EQ(runs, 2);
    ASSERT_TRUE(thread.start([] { throw 1; })) << "an exception ends only the body";
    thread.join();
}

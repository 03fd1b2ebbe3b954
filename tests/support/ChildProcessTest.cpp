// The launcher's reading of a child's output: it reads on, so a child that
// says more than a pipe holds is never blocked; every wait ends by its
// deadline or at the end of the output; a failing child's words reach the
// test's standard error.
#include "tests/support/ChildProcess.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace lyrebox::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(ChildProcess, ReadsOnWhileTheChildSaysMoreThanAPipeHolds) {
    ChildProcess loud({"sh", "-c", "head -c 4000000 /dev/zero | tr '\\0' x >&2; echo done >&2"}, 2);
    ASSERT_TRUE(loud.waitFor("done"));
    EXPECT_EQ(loud.said().size(), 4000005u);
    EXPECT_EQ(loud.quit(), 0);
}

TEST(ChildProcess, AWaitEndsAtItsDeadlineOrAtTheEndOfTheOutput) {
    ChildProcess quiet({"sleep", "30"}, 2);
    auto start = Clock::now();
    EXPECT_FALSE(quiet.waitFor("never", 1s));
    EXPECT_LT(Clock::now() - start, 10s);

    ChildProcess gone({"true"}, 2);
    start = Clock::now();
    EXPECT_FALSE(gone.waitFor("never"));
    EXPECT_LT(Clock::now() - start, 10s);
}

TEST(ChildProcess, AFailingChildsWordsReachTheTestsStandardError) {
    ::testing::internal::CaptureStderr();
    {
        // It ignores the quit's SIGTERM, which could otherwise land before its exit.
        ChildProcess failing({"sh", "-c", "trap '' TERM; echo the-reason >&2; exit 3"}, 2);
        ASSERT_TRUE(failing.waitFor("the-reason"));
        const int status = failing.quit();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << status;
    }
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("the-reason"), std::string::npos);
}

}  // namespace
}  // namespace lyrebox::test

// Play-list texts read while other clients clear the list, against the real
// player process: one client enqueues, two clear, two read the first entry's
// title and file name. A reader must get the text whole or nothing, never
// bytes of an entry a clear has already freed.
#include "tests/support/PlayerProcess.h"
#include "tests/support/TempDir.h"

#include "library/LibraryText.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

namespace lyrebox {
namespace {

// Long enough to live in heap blocks of their own, which a freed entry gives back.
const std::string kTitle = "title-" + std::string(40, 'T');
const std::string kFileName = "http://h/" + std::string(40, 'F') + ".mp3";

TEST(PlayerTextRaceProcessTest, ReadersNeverSeeTextsThatAClearFreed) {
    test::TempDir tree;
    const std::string music = tree.folder("music");
    test::PlayerProcess player("Shared Dirs=" + music + "\r\n");

    constexpr int kRounds = 1500;
    std::atomic<int> broken{0}, failed{0};
    std::mutex sampleMutex;
    std::string sample;
    auto run = [&](const std::string& target, const std::string* expected) {
        test::KeepAliveClient client(player.port());
        test::Answer answer;
        for (int i = 0; i < kRounds && broken == 0; ++i) {
            if (!client.request(target, answer)) {
                ++failed;
                return;
            }
            if (expected && !answer.body.empty() && answer.body != *expected) {
                if (broken++ == 0) {
                    std::lock_guard lock(sampleMutex);
                    sample = answer.body;
                }
            }
        }
    };
    const std::string enqueue = "/enqueuefile?title=" + percentEncode(kTitle) + "&filename=" + percentEncode(kFileName);
    std::vector<std::thread> threads;
    threads.emplace_back(run, enqueue, nullptr);
    threads.emplace_back(run, "/clearplaylist", nullptr);
    threads.emplace_back(run, "/clearplaylist", nullptr);
    threads.emplace_back(run, "/getplaylisttitle?index=0", &kTitle);
    threads.emplace_back(run, "/getplaylistfilename?index=0", &kFileName);
    for (auto& thread : threads) thread.join();

    EXPECT_EQ(failed, 0);
    EXPECT_EQ(broken, 0) << "a reader got: " << ::testing::PrintToString(sample);
    EXPECT_EQ(player.quitWithin(std::chrono::seconds(20)), 0);
}

}  // namespace
}  // namespace lyrebox

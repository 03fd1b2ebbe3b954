// The configuration dialog's Reindex, with the library's real indexer (CLucene).
#include "ConfigDialogFixture.h"

#include "library/IndexStore.h"
#include "library/MediaLibrary.h"

#include <fstream>
#include <functional>
#include <thread>

namespace {

using namespace lyrebox;
using namespace lyrebox::config;
using namespace lyrebox::test;
using platform::HWND;

TEST_F(ConfigDialogTest, ReindexSavesTheDirectoriesAndHandsThemToTheLibrary) {
    open();
    showPage(2);
    driver.queueFolder(dir + "/");
    driver.click(libraryPage, kAddDirectory);
    ASSERT_TRUE(driver.click(libraryPage, kReindex));
    EXPECT_EQ(*reloaded()->sharedDirs().snapshot(), std::vector<std::string>{dir});
    EXPECT_EQ(driver.listItems(libraryPage, kSharedDirs), std::vector<std::string>{dir});   // refreshed
    EXPECT_EQ(*library->sharedDirs(), std::vector<std::string>{dir});
}

TEST_F(ConfigDialogTest, ReindexWhileAPassRunsSavesAndStartsNoSecondPass) {
    std::filesystem::create_directories(dir + "/a");
    std::filesystem::create_directories(dir + "/b");
    open();
    showPage(2);
    bool indexing = false;
    {
        // Holding the index's open/close lock keeps the pass from getting past its start.
        auto hold = IndexStore::lockOpenClose();
        driver.queueFolder(dir + "/a");
        driver.click(libraryPage, kAddDirectory);
        ASSERT_TRUE(driver.click(libraryPage, kReindex));
        window.run([&] { indexing = library->isIndexing(); });
        ASSERT_TRUE(indexing);
        EXPECT_FALSE(driver.enabled(libraryPage, kReindex));

        // Another Reindex request reaches the dialog while that pass runs.
        driver.queueFolder(dir + "/b");
        driver.onThread(libraryPage, [&] { platform::clickControl(platform::getDlgItem(libraryPage, kAddDirectory)); });
        driver.onThread(dialog, [&] { platform::sendMessage(dialog, kMsgReindex, 0, 0); });
        EXPECT_EQ(*reloaded()->sharedDirs().snapshot(), (std::vector<std::string>{dir + "/a", dir + "/b"}));
        EXPECT_FALSE(driver.enabled(libraryPage, kReindex));   // no refresh: nothing more happened
    }
    // The one pass ends; nothing else was started behind it.
    auto end = std::chrono::steady_clock::now() + kLimit;
    while (indexing && std::chrono::steady_clock::now() < end) window.run([&] { indexing = library->isIndexing(); });
    EXPECT_FALSE(indexing);
}

}  // namespace

namespace {

using namespace lyrebox;
using namespace lyrebox::config;
using namespace lyrebox::test;

// Polls the dialog until cond holds or the limit passes.
bool eventuallyOn(const std::function<bool()>& cond) {
    const auto end = std::chrono::steady_clock::now() + kLimit;
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

TEST_F(ConfigDialogTest, TheLibraryPageSaysHowTheLastPassEnded) {
    std::filesystem::create_directories(dir + "/music/Artist");
    std::ofstream(dir + "/music/Artist/Song.mp3").put('x');
    open();
    showPage(2);
    EXPECT_EQ(driver.text(libraryPage, kIndexStatus), "No index yet");
    driver.queueFolder(dir + "/music");
    driver.click(libraryPage, kAddDirectory);
    ASSERT_TRUE(driver.click(libraryPage, kReindex));
    // Two items: the folder and the song.
    EXPECT_TRUE(eventuallyOn([&] { return driver.text(libraryPage, kIndexStatus).rfind("2 items indexed in ", 0) == 0; }))
        << driver.text(libraryPage, kIndexStatus);
    EXPECT_TRUE(eventuallyOn([&] { return driver.enabled(libraryPage, kReindex); }));
}

TEST_F(ConfigDialogTest, TheIndexAutomaticallyBoxIsSavedAndTurnsAutomaticIndexingOnAndOff) {
    open();
    showPage(2);
    EXPECT_TRUE(driver.checked(libraryPage, kIndexAutomatically));  // the default
    driver.click(libraryPage, kIndexAutomatically);
    driver.onThread(dialog, [&] { platform::sendMessage(dialog, kMsgApply, 0, 0); });
    EXPECT_FALSE(reloaded()->indexAutomatically());
    EXPECT_NE(TempDir::read(iniPath).find("Index Automatically=0\n"), std::string::npos);
    bool automatic = true;
    window.run([&] { automatic = library->autoIndexEnabled(); });
    EXPECT_FALSE(automatic);

    driver.click(libraryPage, kIndexAutomatically);
    driver.onThread(dialog, [&] { platform::sendMessage(dialog, kMsgApply, 0, 0); });
    EXPECT_TRUE(reloaded()->indexAutomatically());
    window.run([&] { automatic = library->autoIndexEnabled(); });
    EXPECT_TRUE(automatic);
}

TEST_F(ConfigDialogTest, WithAutomaticIndexingAnAddedFolderIsIndexedWithoutReindex) {
    std::filesystem::create_directories(dir + "/music");
    std::ofstream(dir + "/music/Added Song.mp3").put('x');
    window.run([&] { library->setAutoIndex(true); });
    open();
    showPage(2);
    driver.queueFolder(dir + "/music");
    driver.click(libraryPage, kAddDirectory);
    EXPECT_EQ(*reloaded()->sharedDirs().snapshot(), std::vector<std::string>{dir + "/music"});
    EXPECT_TRUE(eventuallyOn([&] {
        std::vector<FileEntry> results;
        library->search("added song", results, false);
        return results.size() == 1;
    }));
}

}  // namespace

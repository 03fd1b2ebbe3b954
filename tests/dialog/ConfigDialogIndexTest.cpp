// The configuration dialog's Reindex, with the library's real indexer (CLucene).
#include "ConfigDialogFixture.h"

#include "library/IndexStore.h"

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

// The dialog toolkit through the headless driver: dispatch, modal loop,
// controls, notifications, and the terminal front end's key handling.
#include "tests/support/LoopThread.h"

#include "platform/Event.h"
#include "platform/dialog/CursesView.h"
#include "platform/dialog/Dialog.h"
#include "platform/dialog/HeadlessDriver.h"

#include <curses.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace platform;
using lyrebox::test::LoopThread;

constexpr int kTemplate = 700;
constexpr int kEdit = 10, kCheck = 11, kManual = 12, kButton = 13, kList = 14, kView = 15, kIp = 16, kMulti = 17;

const DialogTemplate& testTemplate() {
    static const DialogTemplate t{kTemplate, "Test", "", 200, 150,
                                  {
                                      {kEdit, ControlKind::Edit, "", {10, 10, 80, 12}},
                                      {kCheck, ControlKind::CheckBox, "Auto", {10, 24, 80, 10}},
                                      {kManual, ControlKind::ManualCheckBox, "Manual", {10, 36, 80, 10}},
                                      {kButton, ControlKind::PushButton, "Go", {10, 48, 40, 14}},
                                      {kList, ControlKind::ListBox, "", {10, 64, 80, 40}, kStyleSorted | kStyleMultiSel},
                                      {kView, ControlKind::ListView, "", {100, 10, 60, 50}},
                                      {kIp, ControlKind::IPAddress, "", {100, 64, 60, 12}},
                                      {kMulti, ControlKind::MultiLineEdit, "", {100, 80, 60, 30}},
                                      {IDOK, ControlKind::DefaultButton, "OK", {140, 130, 50, 14}},
                                  }};
    return t;
}

// What the dialog procedure saw, for the test thread to read after a driver
// call returned (the call waits for the window thread).
struct Log {
    std::vector<UINT> messages;
    std::vector<std::pair<int, int>> commands;   // (id, code)
    std::vector<NMLISTVIEW> itemChanges;
    LPARAM initParam = 0;
    bool closeOnOk = true;
};
Log* gLog = nullptr;

LRESULT testProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (gLog == nullptr) return 0;
    gLog->messages.push_back(message);
    if (message == WM_INITDIALOG) gLog->initParam = lParam;
    if (message == WM_COMMAND) {
        gLog->commands.emplace_back(loWord(wParam), hiWord(wParam));
        if (loWord(wParam) == IDOK && gLog->closeOnOk) endDialog(dialog, 42);
    }
    if (message == WM_NOTIFY) gLog->itemChanges.push_back(*reinterpret_cast<const NMLISTVIEW*>(lParam));
    if (message == WM_USER + 7) return static_cast<LRESULT>(wParam) * 2;
    return 0;
}

class DialogToolkit : public ::testing::Test {
protected:
    void SetUp() override { gLog = &log; }
    void TearDown() override { gLog = nullptr; }

    HWND openModal() {
        thread.post([this] { result = dialogBox(testTemplate(), nullptr, &testProc, 1234); });
        return driver.waitForModal(kTemplate);
    }

    Log log;
    HeadlessDriver driver;
    LoopThread thread;
    std::atomic<INT_PTR> result{0};
};

TEST_F(DialogToolkit, ModalDialogAnswersMessagesFromOtherThreadsAndReturnsEndDialogResult) {
    HWND dialog = openModal();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(log.initParam, 1234);
    // Another thread (a web request, say) reaches the dialog's thread while the modal loop runs.
    LRESULT answer = 0;
    std::thread other([&] { answer = sendMessage(dialog, WM_USER + 7, 21, 0); });
    other.join();
    EXPECT_EQ(answer, 42);
    EXPECT_TRUE(driver.click(dialog, IDOK));
    ASSERT_TRUE(driver.waitForClosed(dialog));
    thread.run([] {});
    EXPECT_EQ(result.load(), 42);
    EXPECT_EQ(log.messages.back(), WM_DESTROY);
}

TEST_F(DialogToolkit, AQuitOfTheThreadsLoopClosesTheDialogAndReachesTheOuterLoop) {
    platform::Event outerEnded;
    thread.post([&] {
        auto& loop = MessageLoop::current();
        thread.post([&] { result = dialogBox(testTemplate(), nullptr, &testProc, 0); });
        loop.run();   // a second level, which the quit must end too
        outerEnded.set();
    });
    HWND dialog = driver.waitForModal(kTemplate);
    ASSERT_NE(dialog, nullptr);
    driver.onThread(dialog, [] { MessageLoop::current().quit(); });
    EXPECT_TRUE(driver.waitForClosed(dialog));
    EXPECT_TRUE(outerEnded.waitFor(std::chrono::seconds(30)));
    EXPECT_EQ(result.load(), 0);
}

TEST_F(DialogToolkit, EscapeAndCloseBoxOnlyNotify) {
    log.closeOnOk = false;
    HWND dialog = openModal();
    ASSERT_NE(dialog, nullptr);
    driver.escape(dialog);
    driver.close(dialog);
    EXPECT_TRUE(driver.isOpen(dialog));
    thread.run([&] {
        ASSERT_EQ(log.commands.size(), 2u);
        EXPECT_EQ(log.commands[0].first, IDCANCEL);
        EXPECT_EQ(log.commands[1].first, IDCANCEL);
        endDialog(dialog, 0);
    });
    EXPECT_TRUE(driver.waitForClosed(dialog));
}

TEST_F(DialogToolkit, ButtonsAndCheckBoxes) {
    HWND dialog = openModal();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(driver.click(dialog, kCheck));
    EXPECT_TRUE(driver.checked(dialog, kCheck));           // toggled by the toolkit
    EXPECT_TRUE(driver.click(dialog, kManual));
    EXPECT_FALSE(driver.checked(dialog, kManual));         // left to the dialog
    driver.onThread(dialog, [&] { enableWindow(getDlgItem(dialog, kButton), false); });
    EXPECT_FALSE(driver.click(dialog, kButton));           // disabled: no notification
    EXPECT_FALSE(driver.type(dialog, kButton, "x"));
    thread.run([&] {
        std::vector<std::pair<int, int>> expected{{kCheck, BN_CLICKED}, {kManual, BN_CLICKED}};
        EXPECT_EQ(log.commands, expected);
    });
    driver.click(dialog, IDOK);
    driver.waitForClosed(dialog);
}

TEST_F(DialogToolkit, ListBoxSortsWithoutCaseAndRemovesSelected) {
    HWND dialog = openModal();
    ASSERT_NE(dialog, nullptr);
    driver.onThread(dialog, [&] {
        HWND list = getDlgItem(dialog, kList);
        for (const char* s : {"/b", "/A", "/c", "/a"}) listBoxAddString(list, s);
    });
    EXPECT_EQ(driver.listItems(dialog, kList), (std::vector<std::string>{"/A", "/a", "/b", "/c"}));
    EXPECT_TRUE(driver.selectListItem(dialog, kList, 1, true));
    EXPECT_TRUE(driver.selectListItem(dialog, kList, 3, true));
    EXPECT_FALSE(driver.selectListItem(dialog, kList, 9, true));
    std::vector<int> selected;
    driver.onThread(dialog, [&] {
        selected = listBoxSelectedItems(getDlgItem(dialog, kList), 1024);
        EXPECT_EQ(listBoxSelectedItems(getDlgItem(dialog, kList), 1), std::vector<int>{1});
    });
    EXPECT_EQ(selected, (std::vector<int>{1, 3}));
    driver.click(dialog, IDOK);
    driver.waitForClosed(dialog);
}

TEST_F(DialogToolkit, ListViewSelectionNotifiesOldAndNewItem) {
    HWND dialog = openModal();
    ASSERT_NE(dialog, nullptr);
    driver.onThread(dialog, [&] {
        HWND view = getDlgItem(dialog, kView);
        listViewSetIcons(view, {3006, 3010});
        listViewInsertItem(view, 0, "One", 0, 100);
        listViewInsertItem(view, 1, "Two", 1, 200);
        listViewSelectItem(view, 0);
        log.itemChanges.clear();
    });
    EXPECT_TRUE(driver.selectListViewItem(dialog, kView, 1));
    EXPECT_EQ(driver.listViewSelection(dialog, kView), 1);
    thread.run([&] {
        ASSERT_EQ(log.itemChanges.size(), 2u);
        EXPECT_EQ(log.itemChanges[0].iItem, 0);
        EXPECT_EQ(log.itemChanges[0].uNewState & LVIS_SELECTED, 0u);
        EXPECT_EQ(log.itemChanges[0].lParam, 100);
        EXPECT_EQ(log.itemChanges[1].iItem, 1);
        EXPECT_EQ(log.itemChanges[1].uNewState & LVIS_SELECTED, LVIS_SELECTED);
        EXPECT_EQ(log.itemChanges[1].hdr.code, LVN_ITEMCHANGED);
        EXPECT_EQ(log.itemChanges[1].hdr.idFrom, static_cast<std::uintptr_t>(kView));
        EXPECT_EQ(log.itemChanges[1].lParam, 200);
    });
    driver.click(dialog, IDOK);
    driver.waitForClosed(dialog);
}

TEST_F(DialogToolkit, IPAddressControlReadsFieldsAsTyped) {
    HWND dialog = openModal();
    ASSERT_NE(dialog, nullptr);
    struct Case {
        const char* typed;
        std::uint32_t address;
    } cases[] = {{"192.168.0.1", 0xC0A80001}, {"10..3.", 0x0A000300}, {"300.1.2.3", 0xFF010203}, {"", 0}};
    for (const Case& c : cases) {
        driver.type(dialog, kIp, c.typed);
        std::uint32_t read = 1;
        driver.onThread(dialog, [&] { read = ipAddressGet(getDlgItem(dialog, kIp)); });
        EXPECT_EQ(read, c.address) << c.typed;
    }
    driver.onThread(dialog, [&] { ipAddressSet(getDlgItem(dialog, kIp), 0x7F000001); });
    EXPECT_EQ(driver.text(dialog, kIp), "127.0.0.1");
    driver.click(dialog, IDOK);
    driver.waitForClosed(dialog);
}

TEST_F(DialogToolkit, ChildDialogsGoWithTheirParent) {
    HWND dialog = openModal();
    ASSERT_NE(dialog, nullptr);
    HWND child = nullptr;
    driver.onThread(dialog, [&] {
        child = createDialog(testTemplate(), getDlgItem(dialog, kView), &testProc, 5);
        EXPECT_FALSE(isWindowVisible(child));   // a child starts hidden
    });
    ASSERT_NE(child, nullptr);
    EXPECT_TRUE(driver.isOpen(child));
    driver.click(dialog, IDOK);
    EXPECT_TRUE(driver.waitForClosed(dialog));
    EXPECT_FALSE(driver.isOpen(child));
}

TEST_F(DialogToolkit, WithoutFrontEndNothingOpensAndBoxesAnswerOk) {
    driver.refuseDialogs(true);
    INT_PTR r = 0;
    thread.run([&] { r = dialogBox(testTemplate(), nullptr, &testProc, 0); });
    EXPECT_EQ(r, -1);
    EXPECT_EQ(messageBox(nullptr, "text", "caption", MB_OK), IDOK);
    driver.queueFolder(std::string("/srv"));
    driver.queueFolder(std::nullopt);
    EXPECT_EQ(browseForFolder(nullptr, ""), std::optional<std::string>("/srv"));
    EXPECT_EQ(browseForFolder(nullptr, ""), std::nullopt);
    EXPECT_EQ(browseForFolder(nullptr, ""), std::nullopt);   // nothing queued: cancelled
}

// The terminal's keys, applied to a dialog the headless driver holds open.
TEST_F(DialogToolkit, TerminalKeysMoveFocusEditAndPress) {
    HWND dialog = openModal();
    ASSERT_NE(dialog, nullptr);
    driver.onThread(dialog, [&] {
        HWND focus = nullptr;
        auto key = [&](unsigned k, bool code = false) { return curses::dialogKey(dialog, focus, k, code); };
        auto order = curses::focusOrder(dialog);
        ASSERT_FALSE(order.empty());
        EXPECT_EQ(order.front(), getDlgItem(dialog, kEdit));
        for (char c : std::string("ab")) key(static_cast<unsigned>(c));
        key(KEY_LEFT, true);
        key('X');
        EXPECT_EQ(getWindowText(getDlgItem(dialog, kEdit)), "aXb");
        key(KEY_BACKSPACE, true);
        EXPECT_EQ(getWindowText(getDlgItem(dialog, kEdit)), "ab");
        key('\t');
        EXPECT_EQ(focus, getDlgItem(dialog, kCheck));
        key(' ');
        EXPECT_TRUE(isDlgButtonChecked(dialog, kCheck));
        enableWindow(getDlgItem(dialog, kManual), false);
        key('\t');
        EXPECT_EQ(focus, getDlgItem(dialog, kButton));   // the disabled box is skipped
        key(KEY_BTAB, true);
        EXPECT_EQ(focus, getDlgItem(dialog, kCheck));
        // The multi-line edit takes Enter as a line break.
        focus = getDlgItem(dialog, kMulti);
        key('1');
        key('\n');
        key('2');
        EXPECT_EQ(getWindowText(getDlgItem(dialog, kMulti)), "1\r\n2");
        key(KEY_BACKSPACE, true);
        key(KEY_BACKSPACE, true);
        EXPECT_EQ(getWindowText(getDlgItem(dialog, kMulti)), "1");
        // Space toggles the list box item under the cursor.
        listBoxAddString(getDlgItem(dialog, kList), "a");
        listBoxAddString(getDlgItem(dialog, kList), "b");
        focus = getDlgItem(dialog, kList);
        key(KEY_DOWN, true);
        key(' ');
        EXPECT_EQ(listBoxSelectedItems(getDlgItem(dialog, kList), 10), std::vector<int>{1});
        // Enter elsewhere presses the default button.
        focus = getDlgItem(dialog, kEdit);
        key('\n');
    });
    EXPECT_TRUE(driver.waitForClosed(dialog));
}

}  // namespace

#include "platform/Menu.h"
#include "platform/Window.h"
#include "tests/support/LoopThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

using namespace platform;
using lyrebox::test::LoopThread;

namespace {

std::thread::id lastHandlerThread;

LRESULT echoProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    lastHandlerThread = std::this_thread::get_id();
    return static_cast<LRESULT>(message + wParam * 10 + static_cast<WPARAM>(lParam) * 100);
}

// Subclassing chain: each layer appends its mark to a trace and passes on.
std::string trace;
WindowProc savedFirst = nullptr;
WindowProc savedSecond = nullptr;

LRESULT baseProc(HWND, UINT, WPARAM, LPARAM) {
    trace += "base";
    return 7;
}
LRESULT firstSubclass(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    trace += "first>";
    return callWindowProc(savedFirst, w, m, wp, lp) + 1;
}
LRESULT secondSubclass(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    trace += "second>";
    return callWindowProc(savedSecond, w, m, wp, lp) + 10;
}

}  // namespace

TEST(Messages, SendFromAnotherThreadRunsOnTheOwnerAndReturnsItsResult) {
    LoopThread owner;
    HWND window = nullptr;
    owner.run([&] { window = createWindow(&echoProc); });
    EXPECT_EQ(sendMessage(window, 3, 4, 5), 3 + 40 + 500);
    EXPECT_EQ(lastHandlerThread, owner.id());
    owner.run([&] { destroyWindow(window); });
    EXPECT_EQ(sendMessage(window, 1, 0, 0), 0) << "a destroyed window answers 0";
}

TEST(Messages, SendOnTheOwnerThreadCallsDirectly) {
    HWND window = createWindow(&echoProc);
    EXPECT_EQ(sendMessage(window, 1, 1, 1), 111);
    EXPECT_EQ(lastHandlerThread, std::this_thread::get_id());
    destroyWindow(window);
}

TEST(Messages, NestedSubclassingCallsSavedProceduresInOrder) {
    HWND window = createWindow(&baseProc);
    savedFirst = setWindowProc(window, &firstSubclass);
    savedSecond = setWindowProc(window, &secondSubclass);
    EXPECT_EQ(savedFirst, &baseProc);
    EXPECT_EQ(savedSecond, &firstSubclass);
    trace.clear();
    EXPECT_EQ(sendMessage(window, 1, 0, 0), 18);
    EXPECT_EQ(trace, "second>first>base");
    // Unhooking in reverse order restores the original procedure.
    setWindowProc(window, savedSecond);
    setWindowProc(window, savedFirst);
    EXPECT_EQ(windowProc(window), &baseProc);
    destroyWindow(window);
}

TEST(Messages, ManyThreadsSendingAtOnceEachGetTheirOwnAnswer) {
    LoopThread owner;
    HWND window = nullptr;
    owner.run([&] { window = createWindow(&echoProc); });
    std::atomic<int> wrong{0};
    std::vector<std::thread> senders;
    for (int t = 0; t < 16; ++t)
        senders.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i)
                if (sendMessage(window, 0, static_cast<WPARAM>(t), i) != t * 10 + i * 100) ++wrong;
        });
    for (auto& s : senders) s.join();
    EXPECT_EQ(wrong, 0);
    owner.run([&] { destroyWindow(window); });
}

namespace {
HWND peerWindow = nullptr;
LRESULT askPeerProc(HWND, UINT message, WPARAM, LPARAM) {
    // While handling a message, send one back to the thread that is waiting for us.
    return message == 1 ? sendMessage(peerWindow, 2, 0, 0) + 1 : 0;
}
LRESULT answerProc(HWND, UINT, WPARAM, LPARAM) { return 41; }
}  // namespace

TEST(Messages, ThreadsSendingToEachOtherDoNotDeadlock) {
    LoopThread a, b;
    HWND onA = nullptr;
    a.run([&] { onA = createWindow(&askPeerProc); });
    b.run([&] { peerWindow = createWindow(&answerProc); });
    // b waits for a, and a, while handling it, sends back to b.
    LRESULT result = 0;
    b.run([&] { result = sendMessage(onA, 1, 0, 0); });
    EXPECT_EQ(result, 42);
    a.run([&] { destroyWindow(onA); });
    b.run([&] { destroyWindow(peerWindow); });
}

TEST(Messages, PostedMessagesRunInOrderWithoutWaiting) {
    LoopThread owner;
    static std::vector<int> seen;
    seen.clear();
    HWND window = nullptr;
    owner.run([&] {
        window = createWindow([](HWND, UINT m, WPARAM, LPARAM) -> LRESULT {
            seen.push_back(static_cast<int>(m));
            return 0;
        });
    });
    for (int i = 1; i <= 5; ++i) EXPECT_TRUE(postMessage(window, static_cast<UINT>(i), 0, 0));
    owner.run([] {});  // a sent message after the posts: they have all been handled
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 4, 5}));
    owner.run([&] { destroyWindow(window); });
}

TEST(Menus, InsertAtPositionsAndDeleteByCommand) {
    HMENU menu = createMenu();
    insertMenuItem(menu, 0, 1, "one");
    insertMenuItem(menu, 5, 3, "three");  // past the end appends
    insertMenuItem(menu, 1, 2, "two");
    auto items = menuItems(menu);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].text, "one");
    EXPECT_EQ(items[1].text, "two");
    EXPECT_EQ(items[2].text, "three");
    EXPECT_TRUE(deleteMenuItemByCommand(menu, 2));
    EXPECT_FALSE(deleteMenuItemByCommand(menu, 2));
    EXPECT_EQ(menuItems(menu).size(), 2u);
    destroyMenu(menu);
    EXPECT_TRUE(menuItems(menu).empty());
}

// The player on the desktop's session bus as org.mpris.MediaPlayer2.lyrebox
// (the MPRIS 2 interfaces org.mpris.MediaPlayer2 and .Player): media keys,
// sound menus and command-line clients play, pause, skip, seek and read what
// plays, and hear of every change, whoever made it.
//
// Thread contract: constructed, used and destroyed on the player's window
// thread. GDBus runs on a thread of its own with its own main context; every
// call it receives reaches the player through platform::sendMessage to a
// window of the window thread, so the player is only ever touched there.
// Signals are emitted from the window thread (GDBus connections are
// thread-safe). Without a session bus the service stays off and says so once.
#pragma once

#include "host/mpris/TrackInfo.h"
#include "platform/MessageLoop.h"
#include "platform/Types.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GMainContext GMainContext;
typedef struct _GMainLoop GMainLoop;

namespace lyrebox {

class Player;

class MprisService {
public:
    // quit is called (window thread) when a client asks the player to quit.
    MprisService(Player& player, std::function<void()> quit);
    ~MprisService();
    MprisService(const MprisService&) = delete;
    MprisService& operator=(const MprisService&) = delete;

    // True when a session bus address is known; the name is owned soon after.
    static bool sessionBusKnown();

    // --- called on the GDBus thread (public for the C callbacks) ---
    // Runs fn on the window thread and waits; false when the service is
    // closing and fn did not run.
    bool onWindowThread(const std::function<void()>& fn);
    void busAcquired(GDBusConnection* connection);
    void nameLost();

    // --- window thread ---
    Player& player() { return player_; }
    void requestQuit() { if (quit_) quit_(); }
    void emitSeeked();

private:
    void runBus();
    void onChange();
    void announceChanges();

    Player& player_;
    std::function<void()> quit_;
    platform::HWND window_ = nullptr;
    int listener_ = 0;
    platform::MessageLoop::TimerId pending_ = 0;
    PlayerView announced_;

    GMainContext* context_ = nullptr;
    GMainLoop* mainLoop_ = nullptr;
    std::mutex mutex_;                       // guards connection_
    GDBusConnection* connection_ = nullptr;  // the bus thread's connection while it runs
    unsigned instanceOwner_ = 0;             // bus thread only
    std::atomic<bool> closing_{false};
    std::thread thread_;
};

}  // namespace lyrebox

// Keeps the player's state on disk: restores it at start and saves it a
// short while after each change (one write per burst of edits) and when the
// keeper is destroyed at quit.
//
// Thread contract: created, used and destroyed on the player's window thread,
// whose MessageLoop runs the save timer.
#pragma once

#include "host/state/SavedState.h"
#include "platform/MessageLoop.h"

#include <string>

namespace lyrebox {

class Player;

class StateKeeper {
public:
    // path: the state file; empty disables saving (no home folder known).
    StateKeeper(Player& player, std::string path);
    ~StateKeeper();
    StateKeeper(const StateKeeper&) = delete;
    StateKeeper& operator=(const StateKeeper&) = delete;

    // Fills the player's empty play list and settings from the file, stopped
    // at the saved entry and time. Returns the one line for the user.
    std::string restore();
    // Saves now; false when the file could not be written.
    bool save();

    static SavedState capture(Player& player);
    static void apply(const SavedState& state, Player& player);

private:
    void onChange();

    Player& player_;
    std::string path_;
    int listener_ = 0;
    platform::MessageLoop::TimerId timer_ = 0;
    bool reportedFailure_ = false;
};

}  // namespace lyrebox

#include "host/state/StateKeeper.h"

#include "host/player/Player.h"
#include "host/state/StateLimits.h"

#include <cstdio>

namespace lyrebox {

StateKeeper::StateKeeper(Player& player, std::string path) : player_(player), path_(std::move(path)) {
    listener_ = player_.addChangeListener([this] { onChange(); });
}

StateKeeper::~StateKeeper() {
    player_.removeChangeListener(listener_);
    if (timer_) platform::MessageLoop::current().removeTimer(timer_);
    save();
}

SavedState StateKeeper::capture(Player& player) {
    SavedState state;
    const PlayList& list = player.playList();
    state.entries.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) state.entries.push_back(*list.at(i));
    state.current = list.empty() ? 0 : player.current();
    state.positionMs = list.empty() ? 0 : player.placeMs();
    state.volume = player.volume();
    state.shuffle = player.shuffle();
    state.repeat = player.repeat();
    return state;
}

void StateKeeper::apply(const SavedState& state, Player& player) {
    for (const PlayListItem& item : state.entries) {
        // A saved entry without a title gets one from its tags, as any enqueue.
        player.enqueue(item.fileName, item.title, item.lengthSeconds);
    }
    player.setVolume(state.volume);
    player.setShuffle(state.shuffle);
    player.setRepeat(state.repeat);
    if (player.setCurrent(state.current)) player.setResumePoint(state.positionMs);
    player.clearPlayListChanged();
}

std::string StateKeeper::restore() {
    if (path_.empty()) return "no home folder: the play list is not kept";
    SavedState state;
    switch (loadStateFile(path_, state)) {
        case LoadResult::Missing:
            return "no saved play list yet (" + path_ + "): starting empty";
        case LoadResult::Damaged:
            return "the saved play list " + path_ + " is damaged: starting empty";
        case LoadResult::Loaded:
            break;
    }
    apply(state, player_);
    return "restored " + std::to_string(state.entries.size()) + " entries from " + path_;
}

bool StateKeeper::save() {
    if (path_.empty()) return false;
    const bool ok = writeStateFile(path_, formatState(capture(player_)));
    // Said once, not on every failed save.
    if (!ok && !reportedFailure_) std::fprintf(stderr, "lyrebox-player: cannot save the play list to %s\n", path_.c_str());
    reportedFailure_ = !ok;
    return ok;
}

void StateKeeper::onChange() {
    if (timer_ || path_.empty()) return;
    timer_ = platform::MessageLoop::current().addTimer(
        std::chrono::duration_cast<std::chrono::milliseconds>(state::kSaveDelay), [this] {
            platform::MessageLoop::current().removeTimer(timer_);
            timer_ = 0;
            save();
        });
}

}  // namespace lyrebox

// The host's player: play list, current entry, transport state, volume,
// shuffle and repeat, driving an AudioEngine, and answering the player's
// window messages (plugin/PlayerIpc.h) the way the classic player does.
//
// Two windows take the messages: the host's main window delegates to
// handleMainMessage, and the player owns the play-list editor window, whose
// procedure calls handleEditorMessage.
//
// Thread contract: the thread that constructs the player owns it and its
// editor window and must run a platform::MessageLoop (the engine's events
// arrive there). Every method runs on that thread; other threads reach the
// player only through sendMessage to its windows.
#pragma once

#include "host/audio/AudioEngine.h"
#include "host/audio/TagCache.h"
#include "host/player/PlayList.h"
#include "platform/Types.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>
#include <algorithm>

namespace lyrebox {

// The values of the classic "is playing" query.
enum class PlayState { Stopped = 0, Playing = 1, Paused = 3 };

// Main-window operation 104 of the classic interface: 1 playing, 3 paused, 0 stopped.
inline constexpr platform::LPARAM kIpcIsPlaying = 104;

class Player {
public:
    struct Options {
        int volume = 200;
        // Seed of the shuffle draw; tests fix it.
        std::uint32_t shuffleSeed = std::random_device{}();
    };

    Player(std::unique_ptr<AudioEngine> engine, std::unique_ptr<TagCache> tags);
    Player(std::unique_ptr<AudioEngine> engine, std::unique_ptr<TagCache> tags, Options options);
    ~Player();
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // --- window messages (PlayerMessages.cpp) ---
    // WM_COMMAND transport commands and WM_USER operations of the main window;
    // handled is false for any other message, which the caller then answers.
    platform::LRESULT handleMainMessage(platform::UINT message, platform::WPARAM wParam,
                                        platform::LPARAM lParam, bool& handled);
    platform::LRESULT handleEditorMessage(platform::UINT message, platform::WPARAM wParam,
                                          platform::LPARAM lParam, bool& handled);
    platform::HWND editorWindow() const { return editorWindow_; }
    // The main window, given by whoever created it (operation 260 with argument 0).
    void setMainWindow(platform::HWND window) { mainWindow_ = window; }
    // A procedure for a main window whose user data is a Player*, for hosts
    // and tests that need no menus of their own.
    static platform::LRESULT mainWindowProc(platform::HWND window, platform::UINT message,
                                            platform::WPARAM wParam, platform::LPARAM lParam);

    // --- transport (Player.cpp) ---
    void previous();
    void play();        // restarts the current entry; nothing with an empty list
    void togglePause();
    void stop();
    void next();
    void toggleRepeat() { setRepeat(!repeat_); }
    void toggleShuffle() { setShuffle(!shuffle_); }
    void skip(std::int64_t deltaMs);
    // -1 when stopped, 1 when the time is past the end (the next entry starts), 0 otherwise.
    int jumpTo(std::int64_t ms);

    // --- play list ---
    // False (nothing added) for an empty file name, and when the list already
    // holds limits::kMaxPlaylistEntries (plugin/PlaylistLimits.h). An empty title is made from
    // the tags ("Artist - Title") or the file name.
    bool enqueue(const std::string& fileName, const std::string& title, int lengthSeconds);
    void clear();
    bool remove(int index);
    bool swap(int a, int b);
    bool setCurrent(int index);
    int current() const { return current_; }
    const PlayList& playList() const { return list_; }
    bool playListChanged() const { return list_.changed(); }
    void clearPlayListChanged() { list_.clearChanged(); }

    // --- state ---
    PlayState state() const { return state_; }
    int volume() const { return volume_; }
    void setVolume(int level);
    bool shuffle() const { return shuffle_; }
    bool repeat() const { return repeat_; }
    void setShuffle(bool on);
    void setRepeat(bool on);
    std::int64_t positionMs();   // 0 when stopped
    std::int64_t lengthMs();     // the playing track's, or the current entry's when stopped; 0 unknown
    int bitrateKbps();           // of the playing track; 0 when stopped or unknown
    const std::string& playingFile() const { return playingFile_; }

    // One field of a file's extended information ("title", "artist", "album",
    // "length" in ms, "bitrate", "year", "genre", "comment", "track"); empty
    // when unknown. readable tells whether the file could be read.
    std::string extendedInfo(const std::string& fileName, const std::string& field, bool& readable);

    AudioEngine& engine() { return *engine_; }
    TagCache& tags() { return *tags_; }

    // Called on the owner thread after anything visible changed (a terminal
    // UI redraws then). setChangeListener holds one listener of its own;
    // addChangeListener adds more (the saved state, the desktop bus) and
    // returns the id that removes it.
    void setChangeListener(std::function<void()> listener) { changeListener_ = std::move(listener); }
    int addChangeListener(std::function<void()> listener);
    void removeChangeListener(int id);

    // The time within the current entry where the next play() starts, for a
    // player that was restored stopped at a saved place; any move to another
    // entry, a stop or a clear forgets it.
    void setResumePoint(std::int64_t ms) { resumeMs_ = std::max<std::int64_t>(ms, 0); }
    // The time to remember for the current entry: the playing time, or the
    // resume point while stopped.
    std::int64_t placeMs() { return state_ == PlayState::Stopped ? resumeMs_ : positionMs(); }

private:
    void onTrackEnded();
    void onTrackFailed();
    // Starts the current entry; entries that fail are skipped the way a
    // track end advances, until every entry has failed once.
    void startCurrent();
    // Moves current_ as the end of a track does; false at the end of the list without repeat.
    bool stepForward();
    void stopEngine();
    std::string makeTitle(const std::string& fileName);
    void changed();

    std::unique_ptr<TagCache> tags_;  // before the engine, which may use it
    std::unique_ptr<AudioEngine> engine_;
    PlayList list_;
    platform::HWND editorWindow_ = nullptr;
    platform::HWND mainWindow_ = nullptr;
    int current_ = 0;
    PlayState state_ = PlayState::Stopped;
    int volume_ = 200;
    bool shuffle_ = false;
    bool repeat_ = false;
    std::string playingFile_;
    std::size_t failures_ = 0;   // entries that failed in a row
    // The playing entry was removed and current_ now names the entry that took
    // its place, which is the one to play when the track ends.
    bool playingRemoved_ = false;
    std::mt19937 random_;
    std::function<void()> changeListener_;
    std::vector<std::pair<int, std::function<void()>>> listeners_;
    int nextListenerId_ = 1;
    std::int64_t resumeMs_ = 0;
};

}  // namespace lyrebox

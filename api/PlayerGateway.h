// The only code that talks to the player: every operation is one or a few
// synchronous window messages to the player's main window or its play-list
// editor, executed on the player's window thread while the caller waits.
//
// Thread contract: any thread may call any operation. The player runs the
// messages one at a time; lock() (recursive) additionally makes the copy of a
// returned text pointer, a sequence of swaps and a batch of additions atomic
// with respect to each other. Callers that also hold the router's
// playlistLock take it first, the gateway's lock second.
//
// Every message from another thread costs the player's thread a round trip.
// runBatch() lets a document ask its dozen (or two thousand) questions in one
// round trip, once useWindowThreadRelay() has been called on the player's
// window thread.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

namespace lyrebox {

class MediaLibrary;

struct PlaylistEntry {
    std::string fileName;
    std::string title;
    int length = 0;
};

// What the player knows about one file; fileName is the input.
struct TrackInfo {
    std::string fileName, title, artist, album, length;
    std::int32_t lengthMs = 0;
    std::int32_t bitrate = 0;
};

class PlayerGateway {
public:
    // Asks the player for its play-list editor window once, here.
    PlayerGateway(platform::HWND hostWindow, platform::HINSTANCE instance, MediaLibrary& library);
    ~PlayerGateway();
    PlayerGateway(const PlayerGateway&) = delete;
    PlayerGateway& operator=(const PlayerGateway&) = delete;

    void previous();
    void play();  // starts nothing when the play list is empty
    void pause();
    void stop();
    void next();
    void toggleRepeat();
    void toggleShuffle();
    void forward5s();
    void rewind5s();

    enum class PlayState { Stopped, Playing, Paused };
    PlayState getPlayState();

    int getVolume();
    void setVolume(int level);  // passed through without range checks

    // Not 0 from the player means it accepted the entry.
    bool enqueueFile(const PlaylistEntry& entry);

    void clearPlaylist();
    int playlistLength();
    void setPlaylistPosition(int index);
    int getPlaylistPosition();

    bool getShuffle();
    void setShuffle(bool on);
    bool getRepeat();
    void setRepeat(bool on);

    // Position within the current track as a fraction of its length; 0 when
    // the player reports no length (nothing playing, a stream).
    double getPositionFraction();
    // Milliseconds into the current track.
    int getPositionMs();
    void setPositionFraction(double fraction);

    // Empty when the player has no such entry.
    std::string getFileName(int index);
    std::string getTitle(int index);

    // Fills title, artist, album, length texts, lengthMs and bitrate for
    // info.fileName; the bit rate is the one of the track now playing.
    void getTrackInfo(TrackInfo& info);

    void deleteItem(int index);
    void swapItems(int a, int b);
    // Moves one entry by swaps with its neighbours; the entry that is playing
    // stays marked as the current one.
    void moveItem(int from, int to);

    bool isPlaylistChanged();
    void clearPlaylistChanged();

    std::recursive_mutex& lock() { return lock_; }

    // Creates the relay window through which runBatch reaches the player's
    // thread. Must be called on the player's window thread (the thread that
    // owns hostWindow and runs its message loop), and the gateway must then be
    // destroyed on that thread too.
    void useWindowThreadRelay();
    // Runs batch on the player's window thread in one round trip when the
    // relay exists, otherwise on the calling thread. Inside a batch on the
    // window thread the operations take no lock(): the batch already runs
    // between two messages of everybody else, and waiting for lock() there
    // could deadlock with a holder that waits for this thread. An exception
    // thrown by batch reaches the caller.
    void runBatch(const std::function<void()>& batch);

    // Library-to-player additions (defined in GatewayEnqueue.cpp).
    bool enqueueExpanded(const PlaylistEntry& entry);
    bool insertExpanded(const PlaylistEntry& entry, int index);

    platform::HWND hostWindow() const { return hostWindow_; }
    platform::HWND playlistWindow() const { return playlistWindow_; }
    platform::HINSTANCE instance() const { return instance_; }
    MediaLibrary& library() { return library_; }

private:
    void command(platform::WPARAM id);
    platform::LRESULT mainQuery(platform::WPARAM argument, platform::LPARAM operation);
    platform::LRESULT editorQuery(platform::WPARAM operation, platform::LPARAM argument);
    std::string copyText(platform::LPARAM operation, int index);
    std::string extendedInfo(const std::string& fileName, const char* field);
    // lock(), unless this thread is running a batch for the relay.
    std::unique_lock<std::recursive_mutex> lockUnlessInBatch();
    static platform::LRESULT relayProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                       platform::LPARAM lParam);

    platform::HWND hostWindow_;
    platform::HWND playlistWindow_ = nullptr;
    platform::HINSTANCE instance_;
    MediaLibrary& library_;
    std::recursive_mutex lock_;
    platform::HWND relayWindow_ = nullptr;  // owned by the player's window thread
};

// "m:ss" for a length in milliseconds: 245000 gives "4:05", 0 gives "0:00".
std::string formatTrackLength(std::int32_t lengthMs);

}  // namespace lyrebox

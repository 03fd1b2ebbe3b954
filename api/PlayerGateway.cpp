#include "api/PlayerGateway.h"

#include "api/PlayerText.h"
#include "platform/DecimalText.h"
#include "platform/Window.h"
#include "platform/player/PlayerIpc.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <exception>
#include <vector>

namespace lyrebox {

using platform::LPARAM;
using platform::LRESULT;
using platform::WPARAM;

namespace {

// Size of the buffer the player writes an extended information text into.
constexpr std::size_t kInfoBufferSize = 4096;

WPARAM intArgument(int value) { return static_cast<WPARAM>(static_cast<LPARAM>(value)); }

// The relay window's one message: run the batch that wParam points to.
constexpr platform::UINT kRunBatch = platform::WM_USER + 1;

struct BatchCall {
    const std::function<void()>* batch;
    std::exception_ptr failure;
};

// Set on the player's window thread while it runs a batch for the relay.
thread_local bool tInRelayBatch = false;

}  // namespace

PlayerGateway::PlayerGateway(platform::HWND hostWindow, platform::HINSTANCE instance, MediaLibrary& library)
    : hostWindow_(hostWindow), instance_(instance), library_(library) {
    playlistWindow_ = reinterpret_cast<platform::HWND>(mainQuery(1, ipc::kGetWindow));
}

PlayerGateway::~PlayerGateway() {
    if (relayWindow_ != nullptr) platform::destroyWindow(relayWindow_);
}

void PlayerGateway::useWindowThreadRelay() {
    if (relayWindow_ == nullptr) relayWindow_ = platform::createWindow(&PlayerGateway::relayProc, this);
}

LRESULT PlayerGateway::relayProc(platform::HWND, platform::UINT message, WPARAM wParam, LPARAM) {
    if (message != kRunBatch) return 0;
    auto* call = reinterpret_cast<BatchCall*>(wParam);
    const bool outer = tInRelayBatch;
    tInRelayBatch = true;
    try {
        (*call->batch)();
    } catch (...) {
        // Nothing may unwind into the player's message loop.
        call->failure = std::current_exception();
    }
    tInRelayBatch = outer;
    return 1;
}

void PlayerGateway::runBatch(const std::function<void()>& batch) {
    if (relayWindow_ != nullptr) {
        BatchCall call{&batch, nullptr};
        if (platform::sendMessage(relayWindow_, kRunBatch, reinterpret_cast<WPARAM>(&call), 0) != 0) {
            if (call.failure) std::rethrow_exception(call.failure);
            return;
        }
        // The relay is gone (the player's thread is ending): ask directly.
    }
    batch();
}

std::unique_lock<std::recursive_mutex> PlayerGateway::lockUnlessInBatch() {
    if (tInRelayBatch) return std::unique_lock<std::recursive_mutex>(lock_, std::defer_lock);
    return std::unique_lock<std::recursive_mutex>(lock_);
}

void PlayerGateway::command(WPARAM id) {
    platform::sendMessage(hostWindow_, platform::WM_COMMAND, id, 0);
}

LRESULT PlayerGateway::mainQuery(WPARAM argument, LPARAM operation) {
    return platform::sendMessage(hostWindow_, platform::WM_USER, argument, operation);
}

LRESULT PlayerGateway::editorQuery(WPARAM operation, LPARAM argument) {
    return platform::sendMessage(playlistWindow_, platform::WM_USER, operation, argument);
}

void PlayerGateway::previous() { command(ipc::kCmdPrevious); }

void PlayerGateway::play() {
    if (playlistLength() > 0) command(ipc::kCmdPlay);
}

void PlayerGateway::pause() { command(ipc::kCmdPause); }
void PlayerGateway::stop() { command(ipc::kCmdStop); }
void PlayerGateway::next() { command(ipc::kCmdNext); }
void PlayerGateway::toggleRepeat() { command(ipc::kCmdToggleRepeat); }
void PlayerGateway::toggleShuffle() { command(ipc::kCmdToggleShuffle); }
void PlayerGateway::forward5s() { command(ipc::kCmdForward5s); }
void PlayerGateway::rewind5s() { command(ipc::kCmdRewind5s); }

int PlayerGateway::getVolume() { return static_cast<int>(mainQuery(ipc::kAskVolume, ipc::kSetVolume)); }

void PlayerGateway::setVolume(int level) { mainQuery(intArgument(level), ipc::kSetVolume); }

bool PlayerGateway::enqueueFile(const PlaylistEntry& entry) {
    // The player copies the texts before it answers, so pointers into entry suffice.
    const ipc::EnqueueRecord record{entry.fileName.c_str(), entry.title.c_str(), 0};
    return mainQuery(reinterpret_cast<WPARAM>(&record), ipc::kEnqueueFile) != 0;
}

void PlayerGateway::clearPlaylist() {
    // A clear frees entries whose texts a reader may be copying: never between
    // a reader's question and its copy.
    const auto guard = lockUnlessInBatch();
    mainQuery(0, ipc::kClearPlaylist);
}

int PlayerGateway::playlistLength() {
    const auto guard = lockUnlessInBatch();
    return static_cast<int>(mainQuery(0, ipc::kGetListLength));
}

void PlayerGateway::setPlaylistPosition(int index) { mainQuery(intArgument(index), ipc::kSetPlaylistPos); }

int PlayerGateway::getPlaylistPosition() { return static_cast<int>(mainQuery(0, ipc::kGetListPos)); }

bool PlayerGateway::getShuffle() { return mainQuery(0, ipc::kGetShuffle) != 0; }
void PlayerGateway::setShuffle(bool on) { mainQuery(on ? 1 : 0, ipc::kSetShuffle); }
bool PlayerGateway::getRepeat() { return mainQuery(0, ipc::kGetRepeat) != 0; }
void PlayerGateway::setRepeat(bool on) { mainQuery(on ? 1 : 0, ipc::kSetRepeat); }

double PlayerGateway::getPositionFraction() {
    const auto lengthSeconds = static_cast<int>(mainQuery(1, ipc::kGetOutputTime));
    const auto positionMs = static_cast<int>(mainQuery(0, ipc::kGetOutputTime));
    // Without a length (nothing playing, a stream) the quotient would not be a
    // number; the client reads it as a number, so the answer is the start.
    if (lengthSeconds <= 0) return 0.0;
    return static_cast<double>(positionMs) / (static_cast<double>(lengthSeconds) * 1000.0);
}

int PlayerGateway::getPositionMs() { return static_cast<int>(mainQuery(0, ipc::kGetOutputTime)); }

PlayerGateway::PlayState PlayerGateway::getPlayState() {
    switch (mainQuery(0, ipc::kIsPlaying)) {
    case 1: return PlayState::Playing;
    case 3: return PlayState::Paused;
    default: return PlayState::Stopped;
    }
}

void PlayerGateway::setPositionFraction(double fraction) {
    const auto lengthSeconds = static_cast<int>(mainQuery(1, ipc::kGetOutputTime));
    double ms = std::trunc(static_cast<double>(lengthSeconds) * 1000.0 * fraction);
    // A fraction from the network may be huge; converting an out-of-range
    // double to int is undefined, so the time saturates instead.
    if (std::isnan(ms)) ms = 0.0;
    ms = std::clamp(ms, static_cast<double>(INT_MIN), static_cast<double>(INT_MAX));
    mainQuery(intArgument(static_cast<int>(ms)), ipc::kJumpToTime);
}

std::string PlayerGateway::copyText(LPARAM operation, int index) {
    const auto guard = lockUnlessInBatch();
    std::string text;
    // The pointer is the player's and stays valid only until its next edit.
    // With the relay the copy is made on the player's thread, between two
    // messages of everybody else, so no edit from any thread can free the
    // text meanwhile; without it, the lock keeps this gateway's edits out.
    runBatch([&] {
        const LRESULT result = mainQuery(intArgument(index), operation);
        if (result != 0) text = reinterpret_cast<const char*>(result);
    });
    return text;
}

std::string PlayerGateway::getFileName(int index) { return copyText(ipc::kGetPlaylistFile, index); }

std::string PlayerGateway::getTitle(int index) { return copyText(ipc::kGetPlaylistTitle, index); }

std::string PlayerGateway::extendedInfo(const std::string& fileName, const char* field) {
    // Only the ends are cleared: a player that writes nothing leaves an empty
    // text, and one that fills the whole buffer still leaves a terminated one.
    std::array<char, kInfoBufferSize> buffer;
    buffer.front() = '\0';
    ipc::ExtendedFileInfo record{fileName.c_str(), field, buffer.data(), buffer.size()};
    mainQuery(reinterpret_cast<WPARAM>(&record), ipc::kGetExtendedFileInfo);
    buffer.back() = '\0';
    return std::string(buffer.data());
}

void PlayerGateway::getTrackInfo(TrackInfo& info) {
    info.album = extendedInfo(info.fileName, "album");
    info.artist = extendedInfo(info.fileName, "artist");
    info.title = extendedInfo(info.fileName, "title");
    info.lengthMs = platform::parseDecimalPrefix<int>(extendedInfo(info.fileName, "length"));
    info.length = formatTrackLength(info.lengthMs);
    info.bitrate = static_cast<std::int32_t>(mainQuery(1, ipc::kGetInfo));
}

void PlayerGateway::deleteItem(int index) {
    const auto guard = lockUnlessInBatch();
    editorQuery(ipc::kEditorDelete, index);
}

void PlayerGateway::swapItems(int a, int b) {
    const LPARAM argument = (static_cast<LPARAM>(b) << 16) | (static_cast<LPARAM>(a) & 0xFFFF);
    editorQuery(ipc::kEditorSwap, argument);
}

void PlayerGateway::moveItem(int from, int to) {
    if (from == to) return;
    int current = getPlaylistPosition();
    // Held here, on the calling thread, for the whole sequence of swaps, so
    // that another holder's additions never interleave with it; the swaps
    // themselves go to the player's thread in one batch.
    const auto guard = lockUnlessInBatch();
    runBatch([&] {
        // Indices come from the network: a move is bounded by the play list,
        // so a far-off index cannot keep the player busy with millions of
        // swaps that could change nothing.
        const int length = playlistLength();
        if (length <= 0) return;
        const int first = std::clamp(from, 0, length - 1);
        const int last = std::clamp(to, 0, length - 1);
        const int step = last > first ? 1 : -1;
        for (int d = first; d != last; d += step) {
            const int e = d + step;
            swapItems(d, e);
            if (e == current) {
                setPlaylistPosition(d);
                current = d;
            } else if (d == current) {
                setPlaylistPosition(e);
                current = e;
            }
        }
    });
}

bool PlayerGateway::isPlaylistChanged() { return editorQuery(ipc::kEditorIsChanged, 0) != 0; }

void PlayerGateway::clearPlaylistChanged() { editorQuery(ipc::kEditorClearChanged, 0); }

std::string formatTrackLength(std::int32_t lengthMs) {
    if (lengthMs < 0) lengthMs = 0;
    const std::int32_t minutes = lengthMs / 60000;
    const std::int32_t seconds = (lengthMs % 60000) / 1000;
    std::string text = std::to_string(minutes);
    text += ':';
    if (seconds < 10) text += '0';
    text += std::to_string(seconds);
    return text;
}

}  // namespace lyrebox

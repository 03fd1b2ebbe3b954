// The window-message face of the Player: decodes the classic player's
// commands and operations into calls of the model.
#include "host/player/Player.h"

#include "platform/player/PlayerIpc.h"
#include "platform/Window.h"

#include <cstring>

namespace lyrebox {

using platform::LPARAM;
using platform::LRESULT;
using platform::UINT;
using platform::WPARAM;

namespace {

constexpr std::int64_t kSkipMs = 5000;

LRESULT pointerResult(const char* text) { return reinterpret_cast<LRESULT>(text); }

// The index argument of a main-window operation, as the signed int it was sent as.
int indexArgument(WPARAM wParam) { return static_cast<int>(static_cast<std::intptr_t>(wParam)); }

}  // namespace

LRESULT Player::mainWindowProc(platform::HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* player = static_cast<Player*>(platform::windowUserData(window));
    bool handled = false;
    return player ? player->handleMainMessage(message, wParam, lParam, handled) : 0;
}

LRESULT Player::handleMainMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = true;
    if (message == platform::WM_COMMAND) {
        switch (platform::loWord(wParam)) {
        case ipc::kCmdPrevious: previous(); return 0;
        case ipc::kCmdPlay: play(); return 0;
        case ipc::kCmdPause: togglePause(); return 0;
        case ipc::kCmdStop: stop(); return 0;
        case ipc::kCmdNext: next(); return 0;
        case ipc::kCmdToggleRepeat: toggleRepeat(); return 0;
        case ipc::kCmdToggleShuffle: toggleShuffle(); return 0;
        case ipc::kCmdForward5s: skip(kSkipMs); return 0;
        case ipc::kCmdRewind5s: skip(-kSkipMs); return 0;
        default: handled = false; return 0;
        }
    }
    if (message != platform::WM_USER) {
        handled = false;
        return 0;
    }
    switch (lParam) {
    case ipc::kEnqueueFile: {
        const auto* record = reinterpret_cast<const ipc::EnqueueRecord*>(wParam);
        if (!record || !record->fileName)
            return 0;
        return enqueue(record->fileName, record->title ? record->title : "", record->length) ? 1 : 0;
    }
    case ipc::kClearPlaylist:
        clear();
        return 0;
    case kIpcIsPlaying:
        return static_cast<LRESULT>(state_);
    case ipc::kGetOutputTime:
        switch (wParam) {
        case 0: return static_cast<LRESULT>(positionMs());
        case 1: return static_cast<LRESULT>((lengthMs() + 500) / 1000);
        case 2: return static_cast<LRESULT>(lengthMs());
        default: return 0;
        }
    case ipc::kJumpToTime:
        return jumpTo(static_cast<std::int64_t>(static_cast<std::intptr_t>(wParam)));
    case ipc::kSetPlaylistPos:
        setCurrent(indexArgument(wParam));
        return 0;
    case ipc::kSetVolume:
        if (wParam == ipc::kAskVolume || static_cast<std::uint32_t>(wParam) == 0xFFFFFD66u)
            return volume_;
        setVolume(static_cast<int>(static_cast<std::intptr_t>(wParam)));
        return 0;
    case ipc::kGetListLength:
        return static_cast<LRESULT>(list_.size());
    case ipc::kGetListPos:
        return current_;
    case ipc::kGetInfo: {
        if (state_ == PlayState::Stopped)
            return 0;
        if (wParam == 1)
            return bitrateKbps();
        const TrackTags info = tags_->lookup(playingFile_);
        if (wParam == 0)
            return (info.sampleRate + 500) / 1000;
        return wParam == 2 ? info.channels : 0;
    }
    case ipc::kGetPlaylistFile:
    case ipc::kGetPlaylistTitle: {
        const int index = indexArgument(wParam);
        const PlayListItem* item = index < 0 ? nullptr : list_.at(static_cast<std::size_t>(index));
        if (!item)
            return 0;
        return pointerResult(lParam == ipc::kGetPlaylistFile ? item->fileName.c_str() : item->title.c_str());
    }
    case ipc::kGetShuffle:
        return shuffle_ ? 1 : 0;
    case ipc::kGetRepeat:
        return repeat_ ? 1 : 0;
    case ipc::kSetShuffle:
        setShuffle(wParam != 0);
        return 0;
    case ipc::kSetRepeat:
        setRepeat(wParam != 0);
        return 0;
    case ipc::kGetWindow:
        return reinterpret_cast<LRESULT>(wParam == 1 ? editorWindow_ : wParam == 0 ? mainWindow_ : nullptr);
    case ipc::kGetExtendedFileInfo: {
        auto* query = reinterpret_cast<ipc::ExtendedFileInfo*>(wParam);
        if (!query || !query->fileName || !query->field || !query->result || query->resultSize == 0)
            return 0;
        bool readable = false;
        const std::string text = extendedInfo(query->fileName, query->field, readable);
        const std::size_t size = std::min(text.size(), query->resultSize - 1);
        std::memcpy(query->result, text.data(), size);
        query->result[size] = '\0';
        return readable ? 1 : 0;
    }
    default:
        handled = false;
        return 0;
    }
}

LRESULT Player::handleEditorMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    handled = message == platform::WM_USER;
    if (!handled)
        return 0;
    switch (wParam) {
    case ipc::kEditorDelete:
        remove(static_cast<int>(lParam));
        return 0;
    case ipc::kEditorSwap: {
        const auto packed = static_cast<std::uint32_t>(lParam);
        swap(static_cast<int>(packed & 0xFFFF), static_cast<int>(packed >> 16));
        return 0;
    }
    case ipc::kEditorIsChanged:
        return list_.changed() ? 1 : 0;
    case ipc::kEditorClearChanged:
        list_.clearChanged();
        return 0;
    default:
        handled = false;
        return 0;
    }
}

}  // namespace lyrebox

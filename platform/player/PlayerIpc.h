// The player's window-message interface: command numbers for WM_COMMAND,
// operation numbers for WM_USER (main window: argument in wParam, operation in
// lParam; play-list editor: operation in wParam, argument in lParam), and the
// records that some operations point to.
#pragma once

#include "platform/Types.h"

#include <cstddef>

namespace lyrebox::ipc {

// WM_COMMAND button commands (wParam), lParam 0.
inline constexpr platform::WPARAM kCmdPrevious = 40044;
inline constexpr platform::WPARAM kCmdPlay = 40045;
inline constexpr platform::WPARAM kCmdPause = 40046;
inline constexpr platform::WPARAM kCmdStop = 40047;
inline constexpr platform::WPARAM kCmdNext = 40048;
inline constexpr platform::WPARAM kCmdToggleRepeat = 40022;
inline constexpr platform::WPARAM kCmdToggleShuffle = 40023;
inline constexpr platform::WPARAM kCmdForward5s = 40060;
inline constexpr platform::WPARAM kCmdRewind5s = 40061;

// WM_USER operations of the main window (lParam).
inline constexpr platform::LPARAM kEnqueueFile = 100;     // wParam: const EnqueueRecord*
inline constexpr platform::LPARAM kClearPlaylist = 101;
inline constexpr platform::LPARAM kIsPlaying = 104;       // 1 playing, 3 paused, 0 stopped
inline constexpr platform::LPARAM kGetOutputTime = 105;   // wParam 0: position ms, 1: length s
inline constexpr platform::LPARAM kJumpToTime = 106;      // wParam: ms
inline constexpr platform::LPARAM kSetPlaylistPos = 121;
inline constexpr platform::LPARAM kSetVolume = 122;       // wParam 0..255, or -666 to ask
inline constexpr platform::LPARAM kGetListLength = 124;
inline constexpr platform::LPARAM kGetListPos = 125;
inline constexpr platform::LPARAM kGetInfo = 126;         // wParam 1: bit rate in kbit/s
inline constexpr platform::LPARAM kGetPlaylistFile = 211; // returns const char* or 0
inline constexpr platform::LPARAM kGetPlaylistTitle = 212;
inline constexpr platform::LPARAM kGetShuffle = 250;
inline constexpr platform::LPARAM kGetRepeat = 251;
inline constexpr platform::LPARAM kSetShuffle = 252;
inline constexpr platform::LPARAM kSetRepeat = 253;
inline constexpr platform::LPARAM kGetWindow = 260;       // wParam 1: play-list editor window
inline constexpr platform::LPARAM kGetMenu = 281;         // wParam 0: main menu, 3: play-list menu
inline constexpr platform::LPARAM kGetExtendedFileInfo = 290; // wParam: ExtendedFileInfo*

inline constexpr platform::WPARAM kAskVolume = static_cast<platform::WPARAM>(-666);

// WM_USER operations of the play-list editor window (wParam), argument in lParam.
inline constexpr platform::WPARAM kEditorDelete = 104;
inline constexpr platform::WPARAM kEditorSwap = 105;      // lParam: (b << 16) | (a & 0xFFFF)
inline constexpr platform::WPARAM kEditorIsChanged = 107;
inline constexpr platform::WPARAM kEditorClearChanged = 108;

struct EnqueueRecord {
    const char* fileName;
    const char* title;
    int length;
};

struct ExtendedFileInfo {
    const char* fileName;
    const char* field;   // "title", "artist", "album", "length"
    char* result;
    std::size_t resultSize;
};

}  // namespace lyrebox::ipc

// Handle and message types shared by the host player and its plugins.
//
// They mirror the player's window-message interface: a window is an opaque
// handle with a procedure (hwnd, msg, wParam, lParam) -> result, and message
// numbers are the player's own.
#pragma once

#include <cstdint>

namespace platform {

using UINT = std::uint32_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

struct WindowObject;
using HWND = WindowObject*;

struct MenuObject;
using HMENU = MenuObject*;

// A module handle is the load address of a shared object (what dladdr reports
// as dli_fbase); 0 means "no module".
using HINSTANCE = void*;

using WindowProc = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

inline constexpr UINT WM_NOTIFY = 0x004E;
inline constexpr UINT WM_INITDIALOG = 0x0110;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_INITMENUPOPUP = 0x0117;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_USER = 0x0400;

inline constexpr std::uint16_t loWord(WPARAM w) { return static_cast<std::uint16_t>(w & 0xFFFF); }
inline constexpr std::uint16_t hiWord(WPARAM w) { return static_cast<std::uint16_t>((w >> 16) & 0xFFFF); }

}  // namespace platform

// Windows and messages: the one primitive through which any thread reaches
// code that must run on a window's owning thread.
//
// A window belongs to the thread that created it. sendMessage runs the
// window's procedure on that thread and waits for its result: directly when
// the caller is the owner, otherwise by queueing the call to the owner's
// MessageLoop, which must be running (or pumping while it waits). postMessage
// queues the call and returns at once.
#pragma once

#include "platform/Types.h"

namespace platform {

// Creates a window owned by the calling thread. The user data is opaque to the
// platform; procedures read it back with windowUserData.
HWND createWindow(WindowProc proc, void* userData = nullptr);

// Destroys a window; messages still queued for it are dropped and their
// senders receive 0. Must be called on the owning thread.
void destroyWindow(HWND window);

bool isWindow(HWND window);

LRESULT sendMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
bool postMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Replaces the window procedure and returns the previous one (subclassing).
WindowProc setWindowProc(HWND window, WindowProc proc);
WindowProc windowProc(HWND window);
LRESULT callWindowProc(WindowProc proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

void* windowUserData(HWND window);
void setWindowUserData(HWND window, void* userData);

}  // namespace platform

// Drawing and key handling of one dialog on the terminal (internal to the
// curses front end; window thread only).
#pragma once

#include "platform/Types.h"

#include <string>
#include <vector>

namespace platform::curses {

// Text helpers over UTF-8 bytes.
std::size_t prevChar(const std::string& text, std::size_t pos);
std::size_t nextChar(const std::string& text, std::size_t pos);
std::size_t charCount(const std::string& text);
std::string appendUtf8(std::string text, std::size_t pos, unsigned codePoint, std::size_t* newPos);

// Primitive drawing on stdscr, clipped to the screen.
void putText(int row, int col, int width, const std::string& text, int attributes = 0);
void fillRow(int row, int col, int width, int attributes = 0);
void drawBox(int top, int left, int rows, int cols, const std::string& title, int attributes = 0);

// Draws the dialog with its visible child dialogs, centred on the screen.
void drawDialog(HWND dialog, HWND focus);

// The controls that take the focus, in Tab order: the dialog's, with those of
// its visible child dialogs in the place of the control that holds them.
std::vector<HWND> focusOrder(HWND dialog);

// Alt+letter: presses the first button or check box whose label starts with
// the letter (case ignored) and moves the focus there. True when one did.
bool dialogMnemonic(HWND dialog, HWND& focus, unsigned letter);

// Handles a key in the modal dialog; focus is updated. True when consumed.
bool dialogKey(HWND dialog, HWND& focus, unsigned key, bool isKeyCode);

}  // namespace platform::curses

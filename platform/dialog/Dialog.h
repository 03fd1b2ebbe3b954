// The dialog toolkit: dialogs and controls created from templates, the
// operations a dialog procedure uses on its controls, and the notifications it
// receives.
//
// A dialog is a platform window (send it messages with sendMessage); so is
// each of its controls. Everything here must be called on the thread that owns
// the dialog, except sendMessage, which reaches that thread from anywhere.
// What the user sees and does is the business of the front end installed with
// setDialogFrontEnd (the terminal, or the headless test driver).
#pragma once

#include "platform/Types.h"
#include "platform/dialog/DialogTemplate.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

using INT_PTR = std::intptr_t;

inline constexpr UINT WM_DESTROY = 0x0002;   // sent to a dialog just before it goes away

inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Notification codes.
inline constexpr std::uint16_t BN_CLICKED = 0;
inline constexpr int LVN_ITEMCHANGED = -101;
inline constexpr UINT LVIF_STATE = 0x0008;
inline constexpr UINT LVIS_SELECTED = 0x0002;

struct NMHDR {
    HWND hwndFrom = nullptr;
    std::uintptr_t idFrom = 0;
    int code = 0;
};

// lParam of WM_NOTIFY with LVN_ITEMCHANGED.
struct NMLISTVIEW {
    NMHDR hdr;
    int iItem = -1;
    UINT uNewState = 0;
    UINT uOldState = 0;
    UINT uChanged = 0;
    LPARAM lParam = 0;
};

// Message box types and answers.
inline constexpr UINT MB_OK = 0x0;
inline constexpr UINT MB_ICONINFORMATION = 0x40;

// Creates a modeless dialog owned by the calling thread, as a child of parent
// (a dialog or a control of one, or nullptr), and sends it WM_INITDIALOG with
// initParam as lParam. The dialog starts hidden when it is a child, visible
// otherwise. nullptr if no front end can show dialogs.
HWND createDialog(const DialogTemplate& dialogTemplate, HWND parent, WindowProc proc, LPARAM initParam);

// Runs the dialog modally: creates it, sends WM_INITDIALOG and runs a nested
// message loop on the calling thread until endDialog is called, so messages
// sent by other threads keep being answered. Returns endDialog's result, or -1
// if the dialog could not be created.
INT_PTR dialogBox(const DialogTemplate& dialogTemplate, HWND parent, WindowProc proc, LPARAM initParam);

// Ends a modal dialog (it closes when its loop next looks), or destroys a
// modeless one. Child dialogs are destroyed with their parent.
bool endDialog(HWND dialog, INT_PTR result);
void destroyDialog(HWND dialog);
bool isDialog(HWND window);
int dialogTemplateId(HWND dialog);

HWND getDlgItem(HWND dialog, int id);
int controlId(HWND control);
HWND controlParent(HWND control);   // the dialog that holds a control

// Placement of a dialog inside its parent, in dialog units.
DuRect clientRect(HWND window);
void moveWindow(HWND dialog, const DuRect& rect);

std::string getWindowText(HWND window);
void setWindowText(HWND window, const std::string& text);
// At most maxChars characters, as a read into a (maxChars + 1)-byte buffer.
std::string getDlgItemText(HWND dialog, int id, std::size_t maxChars = std::string::npos);
void setDlgItemText(HWND dialog, int id, const std::string& text);
bool isDlgButtonChecked(HWND dialog, int id);
void checkDlgButton(HWND dialog, int id, bool checked);
void enableWindow(HWND window, bool enabled);
bool isWindowEnabled(HWND window);
void showWindow(HWND window, bool visible);
bool isWindowVisible(HWND window);

// List box. addString returns the item's index (its sorted place when the
// list box sorts).
int listBoxAddString(HWND listBox, const std::string& text);
bool listBoxDeleteString(HWND listBox, int index);
void listBoxResetContent(HWND listBox);
int listBoxCount(HWND listBox);
std::string listBoxText(HWND listBox, int index);
bool listBoxSetSel(HWND listBox, int index, bool selected);
// Indices of the selected items in ascending order, at most maxItems of them.
std::vector<int> listBoxSelectedItems(HWND listBox, std::size_t maxItems);

// List view (report view, one column, small icons). Icons are resource ids;
// an item's image is an index into the list set with listViewSetIcons.
void listViewSetIcons(HWND listView, const std::vector<int>& iconIds);
int listViewInsertItem(HWND listView, int index, const std::string& text, int image, LPARAM data);
int listViewCount(HWND listView);
std::string listViewText(HWND listView, int index);
int listViewImage(HWND listView, int index);
LPARAM listViewItemData(HWND listView, int index);
// Selects one item (single selection) and notifies the parent with
// LVN_ITEMCHANGED for the item losing and the item gaining the selection.
void listViewSelectItem(HWND listView, int index);
int listViewSelectedItem(HWND listView);   // -1 when none

// IP address control: the address with the first octet in the high byte.
void ipAddressSet(HWND control, std::uint32_t address);
std::uint32_t ipAddressGet(HWND control);

// Front-end services.
int messageBox(HWND owner, const std::string& text, const std::string& caption, UINT type);
// The path of the folder the user picked, or nothing when cancelled.
std::optional<std::string> browseForFolder(HWND owner, const std::string& title);

// What a user does, as the front ends deliver it (owning thread only): they
// act only on enabled, visible controls and send the notifications.
bool clickControl(HWND control);           // button click / check box toggle
bool typeIntoControl(HWND control, const std::string& text);  // replaces the text
void pressEscape(HWND dialog);             // WM_COMMAND IDCANCEL to the dialog
void pressClose(HWND dialog);              // WM_CLOSE to the dialog

}  // namespace platform

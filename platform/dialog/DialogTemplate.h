// Dialog templates as data: what a resource script describes, as C++ values.
//
// Positions and sizes are in dialog units (a quarter of the average character
// width horizontally, an eighth of the character height vertically), so a
// front end scales them to whatever it draws on: terminal cells, or nothing.
#pragma once

#include "platform/Types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class ControlKind {
    Static,
    Edit,
    MultiLineEdit,   // accepts Enter as a line break
    PushButton,
    DefaultButton,   // pressed by Enter anywhere in the dialog
    CheckBox,        // toggled by the toolkit on a click
    ManualCheckBox,  // only reports the click; the dialog toggles it
    GroupBox,
    ListBox,
    ListView,
    IPAddress,
    EtchedFrame,
    Bitmap,
};

// Style flags of a control.
inline constexpr std::uint32_t kStyleCentered = 0x1;   // static: centred text
inline constexpr std::uint32_t kStyleSorted = 0x2;     // list box keeps its items sorted
inline constexpr std::uint32_t kStyleMultiSel = 0x4;   // list box: several items selectable
inline constexpr std::uint32_t kStyleNoHeader = 0x8;   // list view: no column header
inline constexpr std::uint32_t kStyleVScroll = 0x10;

struct DuRect {
    int x = 0, y = 0, cx = 0, cy = 0;
};

struct ControlTemplate {
    int id = -1;                 // -1: no id (labels, group boxes)
    ControlKind kind = ControlKind::Static;
    std::string text;
    DuRect rect;
    std::uint32_t style = 0;
    int resourceId = 0;          // bitmap resource of a Bitmap control
};

struct DialogTemplate {
    int id = 0;
    std::string caption;
    std::string font;
    int cx = 0, cy = 0;
    std::vector<ControlTemplate> controls;
};

}  // namespace platform

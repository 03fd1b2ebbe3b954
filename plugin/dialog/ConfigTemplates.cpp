// The configuration dialog's templates. Sizes are the resource script's;
// positions keep every row of controls at least 12 units apart, so the
// terminal, which squeezes the 226-unit height into 22 rows, still gives each
// its own row.
#include "plugin/dialog/ConfigTemplates.h"

namespace lyrebox::config {

using platform::ControlKind;
using platform::DialogTemplate;

const DialogTemplate& mainTemplate() {
    static const DialogTemplate t{
        kMainTemplate, "Lyrebox Configuration", "MS Shell Dlg", 281, 226,
        {
            {kPageList, ControlKind::ListView, "", {7, 7, 56, 194}, platform::kStyleNoHeader},
            {kPageFrame, ControlKind::EtchedFrame, "", {68, 7, 206, 193}},
            {kOk, ControlKind::DefaultButton, "OK", {224, 208, 50, 14}},
        }};
    return t;
}

const DialogTemplate& serverTemplate() {
    static const DialogTemplate t{
        kServerTemplate, "", "MS Shell Dlg", 220, 207,
        {
            {-1, ControlKind::GroupBox, "Server Settings", {6, 6, 194, 96}},
            {-1, ControlKind::Static, "Server IP Address", {14, 20, 72, 10}},
            {kServerIP, ControlKind::IPAddress, "", {90, 20, 76, 12}},
            {-1, ControlKind::Static, "Server Port", {14, 34, 72, 10}},
            {kServerPort, ControlKind::Edit, "", {90, 34, 40, 12}},
            {kAutoStart, ControlKind::CheckBox, "Automatically Start Server", {14, 50, 150, 10}},
            {-1, ControlKind::Static, "Timeout After", {14, 66, 72, 10}},
            {kTimeout, ControlKind::Edit, "", {90, 66, 40, 12}},
            {-1, ControlKind::Static, "Seconds", {136, 66, 40, 10}},
            {-1, ControlKind::GroupBox, "Server Status", {6, 118, 194, 40}},
            {kStart, ControlKind::PushButton, "Start", {40, 134, 50, 14}},
            {kStop, ControlKind::PushButton, "Stop", {116, 134, 50, 14}},
        }};
    return t;
}

const DialogTemplate& securityTemplate() {
    static const DialogTemplate t{
        kSecurityTemplate, "", "MS Shell Dlg", 220, 207,
        {
            {kRequireAuth, ControlKind::ManualCheckBox, "Require Authentication", {8, 8, 150, 10}},
            {-1, ControlKind::GroupBox, "Password", {6, 20, 194, 52}},
            {-1, ControlKind::Static, "Username", {14, 32, 52, 10}},
            {kUsername, ControlKind::Edit, "", {70, 32, 120, 12}},
            {-1, ControlKind::Static, "Password", {14, 44, 52, 10}},
            {kPassword, ControlKind::Edit, "", {70, 44, 120, 12}},
            {kFilterIPs, ControlKind::ManualCheckBox, "Filter IP Addresses", {8, 76, 150, 10}},
            {-1, ControlKind::GroupBox, "Allowed IP Addresses", {6, 90, 96, 98}},
            {kAllowedIPs, ControlKind::MultiLineEdit, "", {12, 102, 84, 70}, platform::kStyleVScroll},
            {-1, ControlKind::GroupBox, "Blocked IP Addresses", {104, 90, 96, 98}},
            {kBlockedIPs, ControlKind::MultiLineEdit, "", {110, 102, 84, 70}, platform::kStyleVScroll},
        }};
    return t;
}

const DialogTemplate& libraryTemplate() {
    static const DialogTemplate t{
        kLibraryTemplate, "", "MS Shell Dlg", 221, 207,
        {
            {kEnableML, ControlKind::CheckBox, "Enable Media Library", {8, 8, 150, 10}},
            {-1, ControlKind::GroupBox, "Shared Directories", {6, 22, 194, 140}},
            {kSharedDirs, ControlKind::ListBox, "", {12, 34, 182, 122},
             platform::kStyleSorted | platform::kStyleMultiSel | platform::kStyleVScroll},
            {kAddDirectory, ControlKind::PushButton, "Add Directory", {4, 170, 72, 14}},
            {kRemoveDirectory, ControlKind::PushButton, "Remove Directory", {78, 170, 78, 14}},
            {kReindex, ControlKind::PushButton, "Reindex", {158, 170, 44, 14}},
            {kIndexAutomatically, ControlKind::CheckBox, "Index Automatically", {8, 186, 150, 10}},
            {kIndexStatus, ControlKind::Static, "", {8, 198, 194, 8}},
        }};
    return t;
}

const DialogTemplate& aboutTemplate() {
    static const DialogTemplate t{
        kAboutTemplate, "", "MS Shell Dlg", 220, 207,
        {
            {kAboutText, ControlKind::Static, "", {6, 12, 194, 10}, platform::kStyleCentered},
            {-1, ControlKind::Bitmap, "~ Lyrebox ~", {78, 40, 50, 30}, 0, kAboutBitmap},
            {-1, ControlKind::Static, "Made by the Lyrebox developers.", {6, 110, 194, 10}, platform::kStyleCentered},
            {-1, ControlKind::Static, "Free software: use, share and change it.", {6, 124, 194, 10},
             platform::kStyleCentered},
            {-1, ControlKind::Static, "Contact: lyrebox@example.org", {6, 138, 194, 10}, platform::kStyleCentered},
        }};
    return t;
}

}  // namespace lyrebox::config

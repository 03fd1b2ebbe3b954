// The dialog templates of the configuration dialog and its pages, and the ids
// of their controls and resources.
#pragma once

#include "platform/dialog/DialogTemplate.h"

namespace lyrebox::config {

// Templates.
inline constexpr int kMainTemplate = 3002;
inline constexpr int kServerTemplate = 1;
inline constexpr int kSecurityTemplate = 3003;
inline constexpr int kLibraryTemplate = 3006;
inline constexpr int kAboutTemplate = 3004;

// Main dialog.
inline constexpr int kPageList = 3011;
inline constexpr int kPageFrame = 3015;
inline constexpr int kOk = 1;

// Server page.
inline constexpr int kServerIP = 3022;
inline constexpr int kServerPort = 3019;
inline constexpr int kAutoStart = 3017;
inline constexpr int kTimeout = 3018;
inline constexpr int kStart = 3020;
inline constexpr int kStop = 3021;

// Security page.
inline constexpr int kRequireAuth = 3031;
inline constexpr int kUsername = 3033;
inline constexpr int kPassword = 3024;
inline constexpr int kFilterIPs = 3027;
inline constexpr int kAllowedIPs = 3028;
inline constexpr int kBlockedIPs = 3030;

// Library page.
inline constexpr int kEnableML = 3036;
inline constexpr int kReindex = 3041;
inline constexpr int kAddDirectory = 3037;
inline constexpr int kRemoveDirectory = 3038;
inline constexpr int kSharedDirs = 3035;
inline constexpr int kIndexAutomatically = 3042;
inline constexpr int kIndexStatus = 3043;

// About page.
inline constexpr int kAboutText = 3023;
inline constexpr int kAboutBitmap = 3095;

// Page-list icons (group-icon resources).
inline constexpr int kServerIcon = 3006;
inline constexpr int kSecurityIcon = 3010;
inline constexpr int kLibraryIcon = 3082;
inline constexpr int kAboutIcon = 3012;

const platform::DialogTemplate& mainTemplate();
const platform::DialogTemplate& serverTemplate();
const platform::DialogTemplate& securityTemplate();
const platform::DialogTemplate& libraryTemplate();
const platform::DialogTemplate& aboutTemplate();

}  // namespace lyrebox::config

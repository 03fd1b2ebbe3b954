// The general-purpose plugin interface between the player and a plugin:
// the record a plugin hands over and the name of the function that returns it.
#pragma once

#include "platform/Types.h"

namespace lyrebox {

struct PluginRecord {
    int version;                  // kPluginRecordVersion
    const char* description;
    int (*init)();
    void (*config)();
    void (*quit)();
    platform::HWND hwndParent;        // filled in by the host before init
    platform::HINSTANCE hDllInstance; // filled in by the host before init
};

inline constexpr int kPluginRecordVersion = 0x10;
inline constexpr const char* kPluginEntryName = "winampGetGeneralPurposePlugin";
using PluginEntry = PluginRecord* (*)();

}  // namespace lyrebox

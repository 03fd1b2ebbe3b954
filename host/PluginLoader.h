// Loading general-purpose plugins: dlopen a gen_*.so, look up its entry
// point, hand it the host window and its module handle, call init and quit.
#pragma once

#include "platform/player/PluginRecord.h"

#include <memory>
#include <string>
#include <vector>

namespace lyrebox::host {

class LoadedPlugin {
public:
    // Loads the module and fetches its record; on failure returns null and
    // sets error to a message naming the file and the reason.
    static std::unique_ptr<LoadedPlugin> load(const std::string& path, std::string& error);

    ~LoadedPlugin();  // calls quit if init ran and quit did not
    LoadedPlugin(const LoadedPlugin&) = delete;
    LoadedPlugin& operator=(const LoadedPlugin&) = delete;

    // Fills in the host window and module handle, then calls init. Must run on
    // the window thread.
    int init(platform::HWND hostWindow);
    void quit();

    const std::string& path() const { return path_; }
    PluginRecord* record() const { return record_; }
    platform::HINSTANCE module() const { return module_; }

private:
    LoadedPlugin(std::string path, void* handle, PluginRecord* record, platform::HINSTANCE module);

    std::string path_;
    void* handle_;
    PluginRecord* record_;
    platform::HINSTANCE module_;
    bool initialised_ = false;
};

// The gen_*.so files of a folder, in byte order of their names.
std::vector<std::string> findPlugins(const std::string& folder);

}  // namespace lyrebox::host

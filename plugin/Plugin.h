// The plugin singleton: owns the long-lived objects from init to quit and
// hooks the player's main window to add the plugin's menu item.
//
// Everything here runs on the player's window thread; other threads only
// reach the router through the server they are served by.
#pragma once

#include "platform/player/PluginRecord.h"

#include <memory>
#include <string>

namespace lyrebox {

class Settings;
class RequestRouter;
class Server;

inline constexpr unsigned kMenuCommandId = 20817;  // 0x5151
inline constexpr const char* kMenuItemText = "Lyrebox Preferences...";
inline constexpr const char* kPluginDescription = "Lyrebox Remote Control Plugin";
inline constexpr std::size_t kMaxModulePath = 260;

// The INI file beside a module: the module's file name with its extension
// replaced by "ini" ("/x/plugins/remote.so" -> "/x/plugins/remote.ini").
std::string iniPathForModule(const std::string& modulePath);

class Plugin {
public:
    static Plugin& instance();

    PluginRecord* record() { return &record_; }

    int init();
    void config();
    void quit();

    Settings* settings() { return settings_.get(); }
    RequestRouter* router() { return router_.get(); }
    Server* server() { return server_.get(); }

    static platform::LRESULT pluginWindowProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                              platform::LPARAM lParam);

    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

private:
    Plugin();
    ~Plugin();

    platform::LRESULT onInitMenuPopup(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                      platform::LPARAM lParam);
    platform::HMENU hostMenu(platform::WPARAM which) const;

    std::unique_ptr<RequestRouter> router_;
    std::unique_ptr<Settings> settings_;
    std::unique_ptr<Server> server_;
    PluginRecord record_;
    platform::WindowProc savedWindowProc_ = nullptr;
};

}  // namespace lyrebox

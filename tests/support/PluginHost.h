// An in-process player for plugin tests: a window thread with the host's main
// window and a private copy of the plugin module (so each test gets a fresh
// plugin with its INI file in its own folder).
#pragma once

#include "host/HostWindow.h"
#include "host/PluginLoader.h"
#include "host/audio/ClockEngine.h"
#include "host/player/Player.h"
#include "tests/support/LoopThread.h"
#include "tests/support/TempDir.h"

#include <filesystem>
#include <memory>
#include <stdexcept>

namespace lyrebox::test {

inline std::string builtPluginPath() { return std::string(LYREBOX_BUILD_DIR) + "/plugins/gen_lyrebox.so"; }

class PluginHost {
public:
    // Copies the plugin to <temp>/plugins/<moduleName>; iniText, when given, is
    // written beside it first.
    explicit PluginHost(const std::string& moduleName = "gen_lyrebox.so", const std::string& iniText = {}) {
        std::filesystem::create_directories(dir_.file("plugins"));
        modulePath_ = dir_.file("plugins/" + moduleName);
        std::filesystem::copy_file(builtPluginPath(), modulePath_);
        if (!iniText.empty()) dir_.write("plugins/" + iniPathStem() + "ini", iniText);
        thread_.run([this] {
            window_ = std::make_unique<host::HostWindow>();
            // The player behind the window plays silently by the clock; made-up
            // file names play with an unknown length.
            auto tags = std::make_unique<TagCache>();
            auto engine = std::make_unique<ClockEngine>(*tags);
            player_ = std::make_unique<Player>(std::move(engine), std::move(tags));
            player_->setMainWindow(window_->handle());
            window_->setDelegate([this](platform::UINT message, platform::WPARAM wParam, platform::LPARAM lParam,
                                        platform::LRESULT& result) {
                bool handled = false;
                result = player_ ? player_->handleMainMessage(message, wParam, lParam, handled) : 0;
                return handled;
            });
            plugin_ = host::LoadedPlugin::load(modulePath_, error_);
            if (plugin_) plugin_->init(window_->handle());
        });
        if (!plugin_) throw std::runtime_error(error_);
    }
    ~PluginHost() { quit(); }

    void quit() {
        thread_.run([this] {
            plugin_.reset();  // quits the plugin
            player_.reset();
            window_.reset();
        });
    }

    // Runs fn on the window thread.
    void onWindowThread(const std::function<void()>& fn) { thread_.run(fn); }

    host::HostWindow& window() { return *window_; }
    host::LoadedPlugin& plugin() { return *plugin_; }
    // The player; use it on the window thread only (onWindowThread).
    Player& player() { return *player_; }
    const std::string& modulePath() const { return modulePath_; }
    std::string iniPath() const { return dir_.file("plugins/" + iniPathStem() + "ini"); }
    const TempDir& dir() const { return dir_; }

private:
    std::string iniPathStem() const {
        auto name = std::filesystem::path(modulePath_).filename().string();
        return name.substr(0, name.rfind('.') + 1);
    }

    TempDir dir_;
    std::string modulePath_;
    LoopThread thread_;
    std::unique_ptr<host::HostWindow> window_;
    std::unique_ptr<Player> player_;
    std::unique_ptr<host::LoadedPlugin> plugin_;
    std::string error_;
};

}  // namespace lyrebox::test

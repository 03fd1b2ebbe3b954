#include "host/PluginLoader.h"

#include "platform/Module.h"

#include <algorithm>
#include <dirent.h>
#include <dlfcn.h>

namespace lyrebox::host {

std::unique_ptr<LoadedPlugin> LoadedPlugin::load(const std::string& path, std::string& error) {
    // RTLD_NODELETE: a plugin's threads and static objects may outlive quit
    // until the process ends, so its code must never be unmapped under them.
    void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!handle) {
        const char* why = ::dlerror();
        error = "cannot load plugin " + path + ": " + (why ? why : "unknown error");
        return nullptr;
    }
    auto entry = reinterpret_cast<PluginEntry>(::dlsym(handle, kPluginEntryName));
    if (!entry) {
        error = "cannot load plugin " + path + ": no " + kPluginEntryName + " entry point";
        ::dlclose(handle);
        return nullptr;
    }
    PluginRecord* record = entry();
    if (!record || record->version != kPluginRecordVersion) {
        error = "cannot load plugin " + path + ": unsupported plugin record";
        ::dlclose(handle);
        return nullptr;
    }
    platform::HINSTANCE module = platform::moduleHandle(reinterpret_cast<const void*>(entry));
    return std::unique_ptr<LoadedPlugin>(new LoadedPlugin(path, handle, record, module));
}

LoadedPlugin::LoadedPlugin(std::string path, void* handle, PluginRecord* record, platform::HINSTANCE module)
    : path_(std::move(path)), handle_(handle), record_(record), module_(module) {}

LoadedPlugin::~LoadedPlugin() {
    quit();
    ::dlclose(handle_);
}

int LoadedPlugin::init(platform::HWND hostWindow) {
    record_->hwndParent = hostWindow;
    record_->hDllInstance = module_;
    initialised_ = true;
    return record_->init ? record_->init() : 0;
}

void LoadedPlugin::quit() {
    if (!initialised_) return;
    initialised_ = false;
    if (record_->quit) record_->quit();
}

std::vector<std::string> findPlugins(const std::string& folder) {
    std::vector<std::string> found;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(dir)) {
            std::string name = e->d_name;
            if (name.size() > 7 && name.compare(0, 4, "gen_") == 0 && name.compare(name.size() - 3, 3, ".so") == 0)
                found.push_back(folder + "/" + name);
        }
        ::closedir(dir);
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace lyrebox::host

#include "platform/Resources.h"

#include "platform/Module.h"

#include <map>
#include <mutex>

namespace platform {

namespace {

struct Table {
    const Resource* entries;
    std::size_t count;
};

struct ResourceRegistry {
    std::mutex mutex;
    std::map<HINSTANCE, Table> modules;
};

ResourceRegistry& resources() {
    static ResourceRegistry r;
    return r;
}

}  // namespace

bool registerModuleResources(const void* anchor, const Resource* table, std::size_t count) {
    HINSTANCE module = moduleHandle(anchor);
    std::lock_guard lock(resources().mutex);
    resources().modules[module] = Table{table, count};
    return true;
}

void unregisterModuleResources(const void* anchor) {
    HINSTANCE module = moduleHandle(anchor);
    std::lock_guard lock(resources().mutex);
    resources().modules.erase(module);
}

std::optional<std::string_view> findResource(HINSTANCE module, std::uint16_t id, std::string_view type) {
    std::lock_guard lock(resources().mutex);
    auto it = resources().modules.find(module);
    if (it == resources().modules.end()) return std::nullopt;
    for (std::size_t i = 0; i < it->second.count; ++i) {
        const Resource& r = it->second.entries[i];
        if (r.id == id && r.type == type)
            return std::string_view(reinterpret_cast<const char*>(r.data), r.size);
    }
    return std::nullopt;
}

}  // namespace platform

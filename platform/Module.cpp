#include "platform/Module.h"

#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <climits>
#include <memory>

namespace platform {

namespace {
std::string absolute(const char* path) {
    if (!path || !*path) return {};
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path, nullptr), &std::free);
    return real ? std::string(real.get()) : std::string(path);
}
}  // namespace

std::string moduleFileName(const void* address) {
    Dl_info info{};
    if (!::dladdr(address, &info)) return {};
    if (info.dli_fname && *info.dli_fname) return absolute(info.dli_fname);
    return absolute("/proc/self/exe");
}

HINSTANCE moduleHandle(const void* address) {
    Dl_info info{};
    if (!::dladdr(address, &info)) return nullptr;
    return info.dli_fbase;
}

std::string moduleFileNameOf(HINSTANCE module) { return module ? moduleFileName(module) : std::string{}; }

}  // namespace platform

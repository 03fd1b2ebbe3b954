#include "platform/Module.h"

#include <cstdlib>
#include <dlfcn.h>
#include <link.h>
#include <climits>
#include <memory>

namespace platform {

namespace {
// The folder is made canonical, the file name kept as loaded: a module
// reached through a symbolic link (a user's plugins folder linking to an
// installed plugin) names the link, so the files kept beside the module are
// kept beside the link, in the user's folder.
std::string absolute(const char* path) {
    if (!path || !*path) return {};
    const std::string text(path);
    const auto slash = text.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : text.substr(0, slash);
    const std::string name = slash == std::string::npos ? text : text.substr(slash + 1);
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(folder.c_str(), nullptr), &std::free);
    if (!real) return text;
    const std::string canonical(real.get());
    return (canonical == "/" ? "" : canonical) + "/" + name;
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

#include "host/PluginFolder.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lyrebox::host {

namespace {

bool isFolder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool makeFolders(const std::string& path) {
    for (std::size_t at = 1; at != std::string::npos;) {
        at = path.find('/', at + 1);
        const std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    return isFolder(path);
}

bool isPluginName(const std::string& name) {
    return name.size() > 7 && name.compare(0, 4, "gen_") == 0 && name.compare(name.size() - 3, 3, ".so") == 0;
}

}  // namespace

std::string userPluginFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && data[0] == '/') return std::string(data) + "/lyrebox/plugins";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/share/lyrebox/plugins";
    return {};
}

PluginFolderChoice choosePluginFolder(const std::string& exeFolder, const std::string& installedRelative) {
    PluginFolderChoice choice;
    choice.folder = exeFolder + "/plugins";
    if (isFolder(choice.folder) || !isFolder(exeFolder + "/" + installedRelative)) return choice;
    char* real = ::realpath((exeFolder + "/" + installedRelative).c_str(), nullptr);
    if (!real) return choice;
    const std::string installed(real);
    std::free(real);

    const std::string user = userPluginFolder();
    if (user.empty() || !makeFolders(user)) {
        choice.problem = "cannot make a plugins folder for this user (" + (user.empty() ? "no home" : user) +
                         "): loading the installed plugins, whose settings cannot be saved";
        choice.folder = installed;
        return choice;
    }
    choice.folder = user;
    DIR* dir = ::opendir(installed.c_str());
    if (!dir) return choice;
    while (dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!isPluginName(name)) continue;
        const std::string link = user + "/" + name;
        struct stat info {};
        // A link left dangling by a moved installation is renewed; a file the
        // user put there is theirs and stays.
        if (::lstat(link.c_str(), &info) == 0) {
            struct stat target {};
            if (!S_ISLNK(info.st_mode) || ::stat(link.c_str(), &target) == 0) continue;
            ::unlink(link.c_str());
        }
        if (::symlink((installed + "/" + name).c_str(), link.c_str()) == 0) choice.linked.push_back(link);
    }
    ::closedir(dir);
    return choice;
}

}  // namespace lyrebox::host

#include "tools/share/SharedFolderEdit.h"

#include "config/Settings.h"
#include "platform/Profile.h"

namespace lyrebox {

namespace {

std::string withoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

bool covers(const std::string& shared, const std::string& folder) {
    const std::string base = withoutTrailingSlashes(shared);
    if (folder == base) return true;
    const std::string prefix = base == "/" ? base : base + "/";
    return folder.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

ShareResult shareFolder(const std::string& iniPath, const std::string& folder, std::string& message) {
    const std::string wanted = withoutTrailingSlashes(folder);
    if (wanted.empty() || wanted[0] != '/') {
        message = "not an absolute folder: " + folder;
        return ShareResult::Refused;
    }
    if (wanted.find_first_of(";\r\n") != std::string::npos) {
        message = "a folder whose name holds ';' or a line break cannot be shared: " + folder;
        return ShareResult::Refused;
    }
    Settings settings(iniPath);
    std::vector<std::string> dirs = *settings.sharedDirs().snapshot();
    for (const std::string& shared : dirs) {
        if (covers(shared, wanted)) {
            message = wanted + " is shared already";
            return ShareResult::AlreadyShared;
        }
    }
    dirs.push_back(wanted);
    if (joinSharedDirs(dirs).size() > Settings::kMaxSharedDirs) {
        message = "the list of shared folders is full";
        return ShareResult::Refused;
    }
    if (!platform::writePrivateProfileString(Settings::kSection, "Shared Dirs", escapeLineBreaks(joinSharedDirs(dirs)),
                                             iniPath)) {
        message = "cannot write " + iniPath;
        return ShareResult::Failed;
    }
    message = "shared " + wanted + " in " + iniPath;
    return ShareResult::Added;
}

}  // namespace lyrebox

#include "host/player/StartItems.h"

#include "host/audio/AudioEngine.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <string_view>

namespace fs = std::filesystem;

namespace lyrebox {

bool hasPlayableExtension(const std::string& path) {
    static constexpr std::array<std::string_view, 7> kExtensions = {"mp3", "wav", "ogg", "flac", "mp4", "m4a", "wma"};
    const std::size_t dot = path.find_last_of("./");
    if (dot == std::string::npos || path[dot] != '.')
        return false;
    std::string extension = path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return std::find(kExtensions.begin(), kExtensions.end(), extension) != kExtensions.end();
}

namespace {

// Every playable file below a folder. Symbolic links to folders are not
// followed, so a link cycle cannot make this run forever.
std::vector<std::string> playableFilesBelow(const fs::path& folder) {
    std::vector<std::string> files;
    std::error_code error;
    fs::recursive_directory_iterator it(folder, fs::directory_options::skip_permission_denied, error);
    for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        std::error_code statError;
        if (it->is_regular_file(statError) && hasPlayableExtension(it->path().string()))
            files.push_back(it->path().string());
    }
    std::sort(files.begin(), files.end());  // std::string compares bytes as unsigned char
    return files;
}

}  // namespace

StartItems expandStartItems(const std::vector<std::string>& arguments) {
    StartItems items;
    for (const std::string& argument : arguments) {
        if (isUrlLocation(argument)) {
            items.entries.push_back(argument);
            continue;
        }
        std::error_code error;
        const fs::path path = fs::absolute(fs::path(argument), error).lexically_normal();
        const fs::file_status status = fs::status(path, error);
        if (error || !fs::exists(status)) {
            items.missing.push_back(argument);
        } else if (fs::is_directory(status)) {
            std::vector<std::string> files = playableFilesBelow(path);
            items.entries.insert(items.entries.end(), files.begin(), files.end());
        } else {
            items.entries.push_back(path.string());
        }
    }
    return items;
}

}  // namespace lyrebox

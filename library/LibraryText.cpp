#include "library/LibraryText.h"

namespace lyrebox {

const std::set<std::string>& playableExtensions() {
    static const std::set<std::string> extensions{"mp3", "wav", "ogg", "flac", "mp4", "m4a", "wma"};
    return extensions;
}

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string fileExtension(const std::string& name) {
    const auto dot = name.rfind('.');
    std::string extension = dot == std::string::npos ? name : name.substr(dot + 1);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

std::string percentEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size() * 3);
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')) {
            out.push_back(c);
        } else {
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0x0F]);
        }
    }
    return out;
}

bool isListable(const platform::FindRecord& item) {
    if (item.name == ".") return false;
    if (isDirectory(item.attributes)) return true;
    const auto& playable = playableExtensions();
    if (item.special || playable.count(fileExtension(item.name)) == 0) return false;
    return item.targetName.empty() || playable.count(fileExtension(item.targetName)) != 0;
}

std::string stripTrailingSlashes(const std::string& path) {
    auto end = path.find_last_not_of('/');
    if (end == std::string::npos) return path.empty() ? path : std::string("/");
    return path.substr(0, end + 1);
}

std::string joinPath(const std::string& directory, const std::string& name) {
    if (!directory.empty() && directory.back() == '/') return directory + name;
    return directory + '/' + name;
}

namespace {

bool hasDotComponent(std::string_view path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        const auto part = path.substr(start, end - start);
        if (part == "." || part == "..") return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

bool isPathUnderSharedDirs(const std::string& path, const std::vector<std::string>& sharedDirs) {
    if (path.find('\0') != std::string::npos) return false;
    if (path.starts_with(kHttpPrefix) || path.starts_with(kSearchPrefix) || path.starts_with(kSearchDirsPrefix)) {
        return true;
    }
    if (hasDotComponent(path)) return false;
    const std::string copy = stripTrailingSlashes(path);
    if (copy.empty()) return false;
    for (const auto& entry : sharedDirs) {
        if (entry.empty()) continue;
        const std::string dir = stripTrailingSlashes(entry);
        if (dir == "/") {
            if (copy.front() == '/') return true;
            continue;
        }
        if (!copy.starts_with(dir)) continue;
        if (copy.size() == dir.size() || copy[dir.size()] == '/') return true;
    }
    return false;
}


std::string quotedHeaderText(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) continue;
        if (c == '"' || c == '\\') out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

}  // namespace lyrebox

#include "library/LibraryText.h"

#include <algorithm>
#include <array>
#include <vector>

namespace lyrebox {

const std::set<std::string>& playableExtensions() {
    static const std::set<std::string> extensions{"mp3", "wav", "ogg", "flac", "mp4", "m4a", "wma"};
    return extensions;
}

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string fileExtension(std::string_view name) {
    const auto dot = name.rfind('.');
    std::string extension(dot == std::string_view::npos ? name : name.substr(dot + 1));
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

std::string percentEncode(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    appendPercentEncoded(out, text);
    return out;
}

namespace {

// Letters and digits pass; every other byte is encoded.
constexpr std::array<bool, 256> kPlainByte = [] {
    std::array<bool, 256> plain{};
    for (int c = 0; c < 256; ++c)
        plain[static_cast<std::size_t>(c)] = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    return plain;
}();

template <bool kLowerCase>
void appendEncoded(std::string& out, std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    // Encoded through a buffer on the stack, a chunk at a time: one append
    // per chunk instead of a capacity check per byte.
    constexpr std::size_t kChunk = 256;
    char buffer[kChunk * 3];
    for (std::size_t start = 0; start < text.size(); start += kChunk) {
        const std::size_t end = std::min(text.size(), start + kChunk);
        char* p = buffer;
        for (std::size_t i = start; i < end; ++i) {
            auto byte = static_cast<unsigned char>(text[i]);
            if (kLowerCase && byte >= 'A' && byte <= 'Z') byte = static_cast<unsigned char>(byte - 'A' + 'a');
            if (kPlainByte[byte]) {
                *p++ = static_cast<char>(byte);
            } else {
                p[0] = '%';
                p[1] = kHex[byte >> 4];
                p[2] = kHex[byte & 0x0F];
                p += 3;
            }
        }
        out.append(buffer, static_cast<std::size_t>(p - buffer));
    }
}

// The extension of name (after its last "."; all of it without one),
// lowered, is one of the playable ones.
bool hasPlayableExtension(std::string_view name) {
    // The set's texts, kept once as views for comparisons without a string.
    static const std::vector<std::string_view> playable(playableExtensions().begin(), playableExtensions().end());
    const auto dot = name.rfind('.');
    const std::string_view extension = dot == std::string_view::npos ? name : name.substr(dot + 1);
    char lowered[16];
    if (extension.size() > sizeof lowered) return false;  // longer than any playable one
    for (std::size_t i = 0; i < extension.size(); ++i) {
        const char c = extension[i];
        lowered[i] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    const std::string_view key(lowered, extension.size());
    return std::find(playable.begin(), playable.end(), key) != playable.end();
}

}  // namespace

void appendPercentEncoded(std::string& out, std::string_view text, bool lowerCase) {
    if (lowerCase) appendEncoded<true>(out, text);
    else appendEncoded<false>(out, text);
}

bool isListable(const platform::FindRecord& item) {
    if (item.name == ".") return false;
    if (isDirectory(item.attributes)) return true;
    if (item.special || !hasPlayableExtension(item.name)) return false;
    return item.targetName.empty() || hasPlayableExtension(item.targetName);
}

std::string stripTrailingSlashes(const std::string& path) {
    auto end = path.find_last_not_of('/');
    if (end == std::string::npos) return path.empty() ? path : std::string("/");
    return path.substr(0, end + 1);
}

std::string joinPath(const std::string& directory, const std::string& name) {
    std::string path = directory;
    appendPathName(path, name);
    return path;
}

void appendPathName(std::string& directory, std::string_view name) {
    if (directory.empty() || directory.back() != '/') directory += '/';
    directory += name;
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

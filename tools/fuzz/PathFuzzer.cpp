// A library path as it arrives: percent-decoded from the request (directly,
// and as the "path" parameter of a query string), then judged by the path
// rule against fixed shared-directory lists. Every path the rule lets through
// is checked against an independent reading of what "inside a shared
// directory" means, so a rule that lets a path climb out aborts.
#include "http/HttpParse.h"
#include "library/LibraryText.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

// The non-empty "/"-separated parts of a path.
std::vector<std::string_view> components(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool isUrlOrSearch(std::string_view path) {
    return path.starts_with(lyrebox::kHttpPrefix) || path.starts_with(lyrebox::kSearchPrefix) ||
           path.starts_with(lyrebox::kSearchDirsPrefix);
}

// What an allowed file-system path must be: no NUL, no "." or "..", and the
// components of one shared directory are a leading part of its components,
// with an absolute directory only ever matching an absolute path.
bool liesUnder(std::string_view path, const std::vector<std::string>& dirs) {
    if (path.find('\0') != std::string_view::npos) return false;
    const auto parts = components(path);
    for (auto part : parts) {
        if (part == "." || part == "..") return false;
    }
    for (const auto& dir : dirs) {
        if (dir.empty()) continue;
        if ((dir.front() == '/') != (!path.empty() && path.front() == '/')) continue;
        const auto dirParts = components(dir);
        if (dirParts.size() > parts.size()) continue;
        bool prefix = true;
        for (std::size_t i = 0; i < dirParts.size() && prefix; ++i) prefix = dirParts[i] == parts[i];
        if (prefix) return true;
    }
    return false;
}

void check(const std::string& path) {
    static const std::vector<std::vector<std::string>> lists = {
        {"/srv/music", "/home/user/Shared Music/", "/data/a b", "relative/dir"},
        {"/"},
        {},
    };
    for (const auto& dirs : lists) {
        if (!lyrebox::isPathUnderSharedDirs(path, dirs)) continue;
        if (path.find('\0') != std::string::npos) std::abort();
        if (isUrlOrSearch(path)) continue;
        if (!liesUnder(path, dirs)) std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    check(lyrebox::percentDecode(text));

    // As the server reads it: "path" among the parameters of a query string.
    lyrebox::ParamMap params;
    lyrebox::parseParams(text, params);
    if (auto it = params.find("path"); it != params.end()) check(it->second);
    return 0;
}

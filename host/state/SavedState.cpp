#include "host/state/SavedState.h"

#include "host/state/StateLimits.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace lyrebox {

namespace {

constexpr const char* kHeader = "#EXTM3U";
constexpr const char* kStatePrefix = "#LYREBOX-STATE:";
constexpr const char* kInfoPrefix = "#EXTINF:";

bool startsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

template <typename T>
bool parseNumber(const std::string& text, T& value) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end;
}

std::string oneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

// "current=2,position=61500,..." into the state; false on an unknown form.
bool parseStateLine(const std::string& values, SavedState& state) {
    std::istringstream in(values);
    std::string pair;
    int seen = 0;
    while (std::getline(in, pair, ',')) {
        const auto eq = pair.find('=');
        if (eq == std::string::npos) return false;
        const std::string key = pair.substr(0, eq), value = pair.substr(eq + 1);
        std::int64_t number = 0;
        if (!parseNumber(value, number)) return false;
        if (key == "current") state.current = static_cast<int>(number), seen |= 1;
        else if (key == "position") state.positionMs = number, seen |= 2;
        else if (key == "volume") state.volume = static_cast<int>(number), seen |= 4;
        else if (key == "shuffle") state.shuffle = number != 0, seen |= 8;
        else if (key == "repeat") state.repeat = number != 0, seen |= 16;
        // Keys of a later version are skipped.
        if ((key == "shuffle" || key == "repeat") && number != 0 && number != 1) return false;
        if (key == "current" && (number < 0 || number > static_cast<std::int64_t>(state::kMaxEntries))) return false;
        if (key == "position" && number < 0) return false;
        if (key == "volume" && (number < 0 || number > 255)) return false;
    }
    return seen == 31;
}

}  // namespace

std::string stateFolder() {
    const char* xdg = std::getenv("XDG_STATE_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/lyrebox";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.local/state/lyrebox";
    return {};
}

std::string stateFile(const std::string& folder) { return folder + "/playlist.m3u8"; }

std::string formatState(const SavedState& state, std::size_t* skipped) {
    std::string out = std::string(kHeader) + "\n";
    out += std::string(kStatePrefix) + "current=" + std::to_string(state.current) +
           ",position=" + std::to_string(state.positionMs) + ",volume=" + std::to_string(state.volume) +
           ",shuffle=" + (state.shuffle ? "1" : "0") + ",repeat=" + (state.repeat ? "1" : "0") + "\n";
    std::size_t left = 0;
    for (const PlayListItem& item : state.entries) {
        if (item.fileName.empty() || item.fileName.find_first_of("\r\n") != std::string::npos) {
            ++left;
            continue;
        }
        const int length = item.lengthSeconds > 0 ? item.lengthSeconds : -1;
        out += std::string(kInfoPrefix) + std::to_string(length) + "," + oneLine(item.title) + "\n";
        out += item.fileName + "\n";
    }
    if (skipped) *skipped = left;
    return out;
}

LoadResult parseState(const std::string& text, SavedState& state) {
    state = SavedState{};
    std::istringstream in(text);
    std::string line;
    auto next = [&]() -> bool {
        if (!std::getline(in, line)) return false;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return true;
    };
    if (!next() || line != kHeader) return LoadResult::Damaged;
    if (!next() || !startsWith(line, kStatePrefix) ||
        !parseStateLine(line.substr(std::char_traits<char>::length(kStatePrefix)), state))
        return LoadResult::Damaged;
    PlayListItem pending;
    bool info = false;
    while (next()) {
        if (line.empty()) continue;
        if (startsWith(line, kInfoPrefix)) {
            const std::string rest = line.substr(std::char_traits<char>::length(kInfoPrefix));
            const auto comma = rest.find(',');
            int length = 0;
            if (comma == std::string::npos || !parseNumber(rest.substr(0, comma), length)) return LoadResult::Damaged;
            pending = PlayListItem{{}, rest.substr(comma + 1), length > 0 ? length : 0};
            info = true;
            continue;
        }
        if (line[0] == '#') continue;  // other directives and comments
        if (line.find('\0') != std::string::npos) return LoadResult::Damaged;
        if (state.entries.size() >= state::kMaxEntries) break;
        if (!info) pending = PlayListItem{};
        pending.fileName = line;
        state.entries.push_back(std::move(pending));
        info = false;
    }
    if (state.entries.empty())
        state.current = 0;
    else if (state.current >= static_cast<int>(state.entries.size()))
        return LoadResult::Damaged;
    return LoadResult::Loaded;
}

bool writeStateFile(const std::string& path, const std::string& text) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos || slash == 0) return false;
    // Creates the folder and its missing parents (~/.local/state may not exist yet).
    const std::string folder = path.substr(0, slash);
    for (std::size_t at = 1; at != std::string::npos;) {
        at = folder.find('/', at + 1);
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    }
    const std::string temporary = path + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = true;
    for (std::size_t done = 0; ok && done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += static_cast<std::size_t>(n);
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok) ok = ::rename(temporary.c_str(), path.c_str()) == 0;
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

LoadResult loadStateFile(const std::string& path, SavedState& state) {
    state = SavedState{};
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return errno == ENOENT ? LoadResult::Missing : LoadResult::Damaged;
    if (!S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) > state::kMaxFileBytes)
        return LoadResult::Damaged;
    std::ifstream in(path, std::ios::binary);
    if (!in) return LoadResult::Damaged;
    std::string text;
    char buffer[65536];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<std::size_t>(in.gcount()));
        if (text.size() > state::kMaxFileBytes) return LoadResult::Damaged;
    }
    return parseState(text, state);
}

}  // namespace lyrebox

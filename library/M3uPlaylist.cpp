#include "library/M3uPlaylist.h"

#include "library/LibraryText.h"

namespace lyrebox {

namespace {

void appendWithoutControlBytes(std::string& out, std::string_view text) {
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) continue;
        out.push_back(c);
    }
}

}  // namespace

void M3uPlaylist::add(std::string url, std::string title) {
    entries_.push_back({std::move(url), std::move(title)});
}

std::string M3uPlaylist::write() const {
    std::string out = "#EXTM3U\n";
    for (const auto& entry : entries_) {
        out += "#EXTINF:0,";
        appendWithoutControlBytes(out, entry.title);
        out += '\n';
        appendWithoutControlBytes(out, entry.url);
        out += '\n';
    }
    return out;
}

std::string_view wholeLines(std::string_view body) {
    const auto lineFeed = body.rfind('\n');
    return lineFeed == std::string_view::npos ? std::string_view() : body.substr(0, lineFeed + 1);
}

bool parseStreamPlaylist(std::string_view body, std::vector<std::string>& items, std::size_t maxItems) {
    constexpr std::string_view kMarker = "#EXTINF:";
    auto at = body.find(kMarker);
    while (at != std::string_view::npos) {
        const auto lineFeed = body.find('\n', at);
        if (lineFeed == std::string_view::npos) break;
        const auto next = body.find('\n', lineFeed + 1);
        std::string_view line = body.substr(lineFeed + 1, next == std::string_view::npos ? std::string_view::npos
                                                                                          : next - lineFeed - 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.starts_with(kHttpPrefix) && line.find('\0') == std::string_view::npos) {
            if (items.size() >= maxItems) return false;
            items.emplace_back(line);
        }
        at = body.find(kMarker, at + 1);
    }
    return true;
}

}  // namespace lyrebox

// An extended M3U play list: filled by appending, written once. Single thread.
#pragma once

#include "platform/player/PlaylistLimits.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lyrebox {

class M3uPlaylist {
public:
    void add(std::string url, std::string title);
    bool empty() const { return entries_.empty(); }
    // "#EXTM3U\n", then "#EXTINF:0,<title>\n<url>\n" per entry. Control bytes
    // are dropped from titles and URLs, so no name can add or split lines.
    std::string write() const;

private:
    struct Entry {
        std::string url;
        std::string title;
    };
    std::vector<Entry> entries_;
};

// The items of a stream play list: the line after each "#EXTINF:" line, with
// a trailing CR removed; only "http://" URLs are taken, so another server
// cannot slip local paths into what is played here. Items are added until
// items holds maxItems; false when the list had more.
bool parseStreamPlaylist(std::string_view body, std::vector<std::string>& items, std::size_t maxItems = limits::kMaxExpansionEntries);

// body up to and including its last LF (empty when it has none): the
// complete lines of a text that was cut off.
std::string_view wholeLines(std::string_view body);

}  // namespace lyrebox

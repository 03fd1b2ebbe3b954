// Tags, length and stream properties of media files, read with TagLib (or,
// for http:// locations, GStreamer's discoverer) and cached per path and
// modification time, so that status polls do not reopen files.
//
// Thread contract: any thread; one mutex guards the cache. A look-up of an
// http:// location may block for the discoverer's time-out on first use.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace lyrebox {

struct TrackTags {
    bool readable = false;     // the file (or stream) could be opened and parsed
    std::string title, artist, album, genre, comment;
    unsigned year = 0, track = 0;
    std::int64_t lengthMs = 0; // 0 means unknown
    int bitrateKbps = 0;
    int sampleRate = 0;
    int channels = 0;
};

// Reads a local file's tags without caching (TagLib, WAV INFO fallback).
TrackTags readFileTags(const std::string& path);

class TagCache {
public:
    TrackTags lookup(const std::string& location);
    void clear();

    // Bound on cached locations; the cache is emptied when it would grow past it.
    static constexpr std::size_t kMaxEntries = 20000;

private:
    struct Slot {
        std::int64_t mtimeNs = 0;
        std::int64_t size = -1;
        TrackTags tags;
    };
    std::mutex mutex_;
    std::unordered_map<std::string, Slot> slots_;
};

}  // namespace lyrebox

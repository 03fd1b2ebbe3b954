// documents_bench WORKDIR [ROUNDS]
//
// Writes playlist.xml (1,000 entries), consolestatus.xml and the library.js
// listing of a 10,000-file directory (built once in WORKDIR/flat) ROUNDS
// times each (the first listing of the directory once, apart) and prints the
// time per document and its size. Meant to be run
// also under `valgrind --tool=callgrind --toggle-collect=...` (see run-all),
// whose instruction counts stay put on a busy machine where times do not.
#include "api/LibraryHandlers.h"
#include "api/RequestRouter.h"
#include "api/StatusDocuments.h"
#include "config/Settings.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "library/MediaLibrary.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace lyrebox;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

void buildFlat(const fs::path& flat) {
    if (fs::exists(flat / "done")) return;
    fs::create_directories(flat);
    for (int i = 0; i < 10000; ++i) {
        const fs::path path = flat / ("Track " + std::to_string((i * 7919) % 10000) + ".mp3");
        std::ofstream(path, std::ios::binary) << std::string(static_cast<std::size_t>(i % 97), 'x');
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds((i * 31) % 100000));
    }
    std::ofstream(flat / "done");
}

std::vector<PlaylistEntry> playlistOf(int length) {
    std::vector<PlaylistEntry> tracks;
    for (int i = 0; i < length; ++i) {
        PlaylistEntry entry;
        entry.title = "Artist " + std::to_string(i % 37) + " - Song number " + std::to_string(i) + " (Live & Loud)";
        entry.fileName = "/music/Artist " + std::to_string(i % 37) + "/Album/" + std::to_string(i) + " Song.mp3";
        tracks.push_back(std::move(entry));
    }
    return tracks;
}

// Kept out of line so callgrind can count each by name.
__attribute__((noinline)) std::size_t writePlaylists(const std::vector<PlaylistEntry>& tracks, int rounds) {
    std::size_t bytes = 0;
    for (int i = 0; i < rounds; ++i) bytes = writePlaylistDocument(3, true, tracks).size();
    return bytes;
}

__attribute__((noinline)) std::size_t writeConsoles(const ConsoleStatus& status, int rounds) {
    std::size_t bytes = 0;
    for (int i = 0; i < rounds; ++i) bytes = writeConsoleStatus(status).size();
    return bytes;
}

__attribute__((noinline)) std::size_t browseListings(MediaLibrary& library, const std::string& flat, const char* sortBy,
                                                     int rounds) {
    std::size_t bytes = 0;
    for (int i = 0; i < rounds; ++i) {
        HttpRequest request;
        request.setHeader("Host", "bench:5151");
        HttpResponse response;
        request.setParams({{"path", flat}, {"sortby", sortBy}, {"callback", "cb"}});
        serveBrowse(library, request, response);
        bytes = response.body().size();
    }
    return bytes;
}

template <typename F>
void report(const char* what, int rounds, F f) {
    const auto start = Clock::now();
    const std::size_t bytes = f();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    std::printf("%-34s %9.3f ms per document  (%zu bytes)\n", what, ms / rounds, bytes);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: documents_bench WORKDIR [ROUNDS]\n");
        return 2;
    }
    const fs::path root = fs::absolute(argv[1]);
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    buildFlat(root / "flat");

    const auto tracks = playlistOf(1000);
    report("playlist.xml, 1,000 entries", rounds * 10, [&] { return writePlaylists(tracks, rounds * 10); });

    ConsoleStatus status;
    status.volume = 200;
    status.track = TrackInfo{};
    status.track.title = "Song ]]> with <angle> & ampersand";
    status.track.artist = "Artist";
    status.track.album = "Album";
    status.track.fileName = "/music/Artist/Album/01 Song.mp3";
    status.track.length = "3:45";
    status.track.lengthMs = 225000;
    status.track.bitrate = 320;
    status.position = 0.25;
    report("consolestatus.xml", rounds * 100, [&] { return writeConsoles(status, rounds * 100); });

    Settings settings((root / "bench.ini").string());
    settings.setSharedDirs({root.string()});
    RequestRouter router(nullptr, nullptr, settings);
    const std::string flat = (root / "flat").string();
    // The first listing of the folder in this process, then repeated ones:
    // the library keeps listings of big folders until they change.
    report("library.js, 10,000 files, first", 1, [&] { return browseListings(router.library(), flat, "0", 1); });
    for (const auto& [label, sortBy] : {std::pair{"name", "0"}, std::pair{"date", "1"}, std::pair{"size", "2"}}) {
        const std::string what = std::string("library.js, 10,000 files, by ") + label;
        report(what.c_str(), rounds, [&] { return browseListings(router.library(), flat, sortBy, rounds); });
    }
    return 0;
}

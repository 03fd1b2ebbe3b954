// listing_bench WORKDIR
//
// CPU time (of the process, so a busy machine stretches it less than the
// wall clock) of one directory listing: a fresh listDirectoryItems, the
// first listing through a new ListingCache, and a repeated one, of a
// 10,000-file folder (WORKDIR/flat, the documents bench's, made here when
// missing) and of a 20-file one (WORKDIR/small).
#include "platform/ListingCache.h"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

namespace fs = std::filesystem;

namespace {

double cpuMicroseconds() {
    timespec now {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

void makeFolder(const fs::path& folder, int files) {
    if (fs::exists(folder / "done")) return;
    fs::create_directories(folder);
    for (int i = 0; i < files; ++i) {
        std::ofstream(folder / ("Track " + std::to_string((i * 7919) % files) + ".mp3")) << std::string(i % 97, 'x');
    }
    std::ofstream(folder / "done");
}

template <typename F>
void report(const char* what, int rounds, F list) {
    std::size_t items = 0;
    const double start = cpuMicroseconds();
    for (int i = 0; i < rounds; ++i) items = list().size();
    std::printf("%-40s %9.1f us cpu per listing  (%zu items)\n", what, (cpuMicroseconds() - start) / rounds, items);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: listing_bench WORKDIR\n");
        return 2;
    }
    const fs::path root = fs::absolute(argv[1]);
    makeFolder(root / "flat", 10000);
    makeFolder(root / "small", 20);
    for (const auto& [label, folder, rounds] : {std::tuple{"10,000 files", root / "flat", 10},
                                                std::tuple{"20 files", root / "small", 2000}}) {
        const std::string path = folder.string();
        report((std::string(label) + ", listDirectoryItems").c_str(), rounds,
               [&] { return platform::listDirectoryItems(path); });
        report((std::string(label) + ", first through a new cache").c_str(), rounds, [&] {
            platform::ListingCache cache;
            return cache.list(path);
        });
        platform::ListingCache cache;
        cache.list(path);
        report((std::string(label) + ", repeated through the cache").c_str(), rounds * 5,
               [&] { return cache.list(path); });
    }
    return 0;
}

// Library index and search benchmark.
//
// Builds a synthetic tree of music files ("NN - Artist - Title.ext" in
// artist/album folders), runs one indexing pass through the media library and
// compares it with a bare walk of the same tree by find(1), with the pass's
// own walk alone (every kept item looked up, nothing indexed) and with a pass as
// it was before the folded words and the writer's settings, in the same run;
// then times one- and two-word searches through the searcher and through
// "library.js" on a loopback server, queries typed letter by letter, and the
// time from a new file appearing in the share to a search finding it (with
// automatic indexing). Prints figures; asserts nothing.
//
//   search-bench [--files N] [--searches N] [--dir PATH] [--keep 1] [--appear N]
//                [--index PATH] [--reuse-index 1]
// --appear N: how many times a new file's time to be found is measured (3;
// 0 skips it). With --keep 1 the tree under --dir is kept, and reused when it
// exists. --index puts the index elsewhere than inside --dir (a shared tree
// stays untouched but for the files --appear adds and removes); with
// --reuse-index 1 the index is kept at the end, and one already there is
// searched without the passes and the walk, to time searches alone.
#include "api/LibraryHandlers.h"
#include "config/Settings.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "http/Server.h"
#include "library/AutoIndexer.h"
#include "library/IndexPass.h"
#include "library/IndexWalk.h"
#include "library/Indexer.h"
#include "library/LibrarySearcher.h"
#include "library/LibraryText.h"
#include "library/MediaLibrary.h"
#include "platform/Socket.h"

#include <arpa/inet.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// A vocabulary of made-up words from syllables, so that word frequencies look
// like a music collection's rather than a handful of words everywhere.
std::vector<std::string> makeVocabulary(std::size_t count, std::mt19937& random) {
    static const char* const kSyllables[] = {"ka", "lo", "mi", "ra", "ven", "sol", "tor", "bel", "do", "na",
                                             "ri", "sa", "mon", "ti", "vel", "zar", "qui", "po", "len", "da",
                                             "ster", "glo", "ne", "fa", "lu", "cor", "ba", "ish", "um", "et"};
    std::uniform_int_distribution<std::size_t> syllable(0, std::size(kSyllables) - 1);
    std::uniform_int_distribution<int> length(2, 3);
    std::set<std::string> words;
    while (words.size() < count) {
        std::string word;
        for (int i = length(random); i > 0; --i) word += kSyllables[syllable(random)];
        words.insert(word);
    }
    std::vector<std::string> out(words.begin(), words.end());
    std::shuffle(out.begin(), out.end(), random);
    return out;
}

std::vector<std::string> kWords;
// The words of some generated track names, for queries that find something.
std::vector<std::pair<std::string, std::string>> gNameWords;
const std::vector<std::string> kExtensions = {"mp3", "mp3", "mp3", "flac", "ogg", "m4a"};

std::string capital(std::string word) {
    word[0] = static_cast<char>(word[0] - 'a' + 'A');
    return word;
}

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

double cpuMs() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
           usage.ru_stime.tv_usec / 1e3;
}

// The pass's own walk with nothing indexed: every kept item looked up, the
// batches handed straight back. The part of a pass no writer can shorten.
std::pair<double, double> timeWalkAlone(const fs::path& music) {
    lyrebox::EntryChannel channel;
    const std::atomic<bool> stop{false};
    const double cpuBefore = cpuMs();
    const auto start = Clock::now();
    std::thread walk([&] { lyrebox::walkSharedEntries({music.string()}, lyrebox::playableExtensions(), stop, channel); });
    while (auto batch = channel.pop()) channel.recycle(std::move(*batch));
    walk.join();
    return {std::chrono::duration<double, std::milli>(Clock::now() - start).count(), cpuMs() - cpuBefore};
}

double childCpuMs() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
           usage.ru_stime.tv_usec / 1e3;
}

long peakRssKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

std::uint64_t directoryBytes(const fs::path& dir) {
    std::uint64_t total = 0;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(dir, error)) {
        if (entry.is_regular_file(error)) total += entry.file_size(error);
    }
    return total;
}

// 20 tracks per album, 10 albums per artist.
std::size_t buildTree(const fs::path& root, std::size_t files, std::mt19937& random, bool create = true) {
    std::uniform_int_distribution<std::size_t> word(0, kWords.size() - 1);
    std::uniform_int_distribution<std::size_t> ext(0, kExtensions.size() - 1);
    std::size_t made = 0;
    for (std::size_t artist = 0; made < files; ++artist) {
        const std::string artistName = capital(kWords[word(random)]) + " " + capital(kWords[word(random)]);
        const fs::path artistDir = root / (artistName + " " + std::to_string(artist));
        for (int album = 0; album < 10 && made < files; ++album) {
            const fs::path albumDir = artistDir / (capital(kWords[word(random)]) + " " +
                                                   capital(kWords[word(random)]) + " (" +
                                                   std::to_string(1970 + (artist + album) % 50) + ")");
            if (create) fs::create_directories(albumDir);
            for (int track = 1; track <= 20 && made < files; ++track, ++made) {
                char number[8];
                std::snprintf(number, sizeof number, "%02d", track);
                const std::string titleWord = kWords[word(random)];
                const std::string name = std::string(number) + " - " + artistName + " - " +
                                         capital(titleWord) + " " + kWords[word(random)] + "." +
                                         kExtensions[ext(random)];
                if (made % 97 == 0) gNameWords.emplace_back(artistName.substr(0, artistName.find(' ')), titleWord);
                if (create) std::ofstream(albumDir / name).put('x');
            }
        }
    }
    return made;
}

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<std::size_t>(p * static_cast<double>(values.size())))];
}

// cpu: the process's CPU time over the whole series (ms), shown per search:
// on a loaded machine it varies less than the wall times.
void printTimes(const char* label, const std::vector<double>& times, std::size_t hits, double cpu) {
    const double n = times.empty() ? 1.0 : static_cast<double>(times.size());
    std::printf("%-28s n=%zu p50 %.3f ms  p90 %.3f ms  p99 %.3f ms  max %.3f ms  cpu %.3f ms/search  (mean results %.1f)\n",
                label, times.size(), percentile(times, 0.50), percentile(times, 0.90), percentile(times, 0.99),
                percentile(times, 1.0), cpu / n, static_cast<double>(hits) / n);
}

// A digest of every answer (FNV-1a), printed at the end: two builds that
// answer alike print the same one.
std::uint64_t gDigest = 14695981039346656037u;
void digest(const std::string& bytes) {
    for (unsigned char c : bytes) gDigest = (gDigest ^ c) * 1099511628211u;
}

// One keep-alive connection; reads answers by Content-Length.
class Client {
public:
    explicit Client(std::uint16_t port)
        : socket_(platform::Socket::connectTcp("127.0.0.1", port, std::chrono::seconds(5))) {}
    bool get(const std::string& target) {
        const std::string request = "GET " + target + " HTTP/1.1\r\nHost: localhost\r\n\r\n";
        if (socket_.sendAll(request.data(), request.size()) != request.size()) return false;
        std::string data;
        char buffer[65536];
        for (;;) {
            const auto headEnd = data.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                const auto at = data.find("Content-Length: ");
                if (at != std::string::npos && at < headEnd) {
                    const std::size_t need = headEnd + 4 + std::strtoul(data.c_str() + at + 16, nullptr, 10);
                    if (data.size() >= need) {
                        digest(data.substr(headEnd + 4));
                        return true;
                    }
                }
            }
            const long n = socket_.recvSome(buffer, sizeof buffer);
            if (n <= 0) return false;
            data.append(buffer, static_cast<std::size_t>(n));
        }
    }

private:
    platform::Socket socket_;
};

}  // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is known
    std::size_t files = 100000, searches = 1000;
    int appearRounds = 3;
    bool keep = false;
    bool reuseIndex = false;
    fs::path index;
    fs::path base = fs::temp_directory_path() / ("lyrebox-search-bench-" + std::to_string(::getpid()));
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--files") files = std::strtoul(argv[i + 1], nullptr, 10);
        if (arg == "--searches") searches = std::strtoul(argv[i + 1], nullptr, 10);
        if (arg == "--dir") base = argv[i + 1];
        if (arg == "--keep") keep = std::string(argv[i + 1]) == "1";
        if (arg == "--appear") appearRounds = std::max(0, std::atoi(argv[i + 1]));
        if (arg == "--index") index = argv[i + 1];
        if (arg == "--reuse-index") reuseIndex = std::string(argv[i + 1]) == "1";
    }
    const fs::path music = base / "music";
    const bool ownIndexPlace = !index.empty();
    if (!ownIndexPlace) index = base / "index";
    const bool keepIndex = reuseIndex;  // built now or found: kept for the next run
    reuseIndex = reuseIndex && fs::exists(index / "current");
    std::mt19937 random(20261208);
    kWords = makeVocabulary(4000, random);

    auto t0 = Clock::now();
    if (keep && fs::exists(music)) {
        std::printf("tree: reusing %s\n", music.c_str());
        buildTree(music, files, random, false);  // the same names, for the queries
    } else {
        const std::size_t made = buildTree(music, files, random);
        std::printf("tree: %zu files under %s (built in %.0f ms)\n", made, music.c_str(), ms(Clock::now() - t0));
    }

    // Baseline: a bare walk of the same tree, page cache warm (second run counts).
    const std::string find = "find '" + music.string() + "' > /dev/null";
    double walk = 0, walkCpu = 0;
    for (int run = 0; run < 2 && !reuseIndex; ++run) {
        const double childBefore = childCpuMs();
        t0 = Clock::now();
        if (std::system(find.c_str()) != 0) std::printf("find failed\n");
        walk = ms(Clock::now() - t0);
        walkCpu = childCpuMs() - childBefore;
    }

    double walkAlone = 0, walkAloneCpu = 0;
    for (int run = 0; run < 2 && !reuseIndex; ++run) std::tie(walkAlone, walkAloneCpu) = timeWalkAlone(music);

    // The pass as it was: no folded words, CLucene's default writer settings.
    double plainPass = 0, plainPassCpu = 0;
    if (!reuseIndex) {
        lyrebox::PassInput input;
        input.dirs = {music.string()};
        input.extensions = lyrebox::playableExtensions();
        input.foldedWords = false;
        input.tunedWriter = false;
        lucene::analysis::filename::FilenameAnalyzer analyzer;
        std::atomic<bool> stop{false};
        const fs::path plainIndex = base / "index-plain";
        const double plainCpuBefore = cpuMs();
        t0 = Clock::now();
        if (lyrebox::runIndexPass(lyrebox::IndexStore(plainIndex.string()), input, analyzer, stop) !=
            lyrebox::PassResult::Published)
            std::printf("plain pass failed\n");
        plainPass = ms(Clock::now() - t0);
        plainPassCpu = cpuMs() - plainCpuBefore;
        std::error_code ignored;
        fs::remove_all(plainIndex, ignored);
    }

    const long rssBefore = peakRssKiB();
    lyrebox::Settings settings((ownIndexPlace ? fs::path(index.string() + ".ini") : base / "bench.ini").string());
    settings.setSharedDirs({music.string()});
    lyrebox::MediaLibrary library(settings, index.string());
    const double cpuBefore = cpuMs();
    t0 = Clock::now();
    if (reuseIndex) {
        std::printf("index: reusing %s (no passes, no walk)\n", index.c_str());
    } else {
        if (!library.startIndexer()) std::printf("indexer did not start\n");
        library.waitIndexerIdle();
    }
    const double pass = ms(Clock::now() - t0);
    const double passCpu = cpuMs() - cpuBefore;
    const long rssAfterPass = peakRssKiB();
    if (!reuseIndex) std::printf("pass: %.0f ms (cpu %.0f ms)   find walk: %.0f ms (cpu %.0f ms)   ratio %.2f, cpu %.2f (target <= 2.5)\n",
                pass, passCpu, walk, walkCpu, pass / walk, passCpu / walkCpu);
    if (!reuseIndex) std::printf("walk alone (kept items looked up, nothing indexed): %.0f ms (cpu %.0f ms)   "
                "ratio to the find walk %.2f; pass/walk alone %.2f\n", walkAlone, walkAloneCpu, walkAlone / walk, pass / walkAlone);
    if (!reuseIndex) std::printf("plain pass (no folded words, default writer): %.0f ms (cpu %.0f ms)   new/plain %.2f, cpu %.2f "
                "(target <= 1)\n", plainPass, plainPassCpu, pass / plainPass, passCpu / plainPassCpu);
    std::printf("index size: %.2f MiB\n", directoryBytes(index) / 1048576.0);

    // Queries: one or two words from the names, plus a few that match nothing.
    std::uniform_int_distribution<std::size_t> word(0, kWords.size() - 1);
    std::uniform_int_distribution<int> shape(0, 99);
    std::uniform_int_distribution<std::size_t> named(0, gNameWords.empty() ? 0 : gNameWords.size() - 1);
    std::vector<std::string> queries;
    for (std::size_t i = 0; i < searches; ++i) {
        const int s = shape(random);
        if (s < 5 || gNameWords.empty()) {
            queries.push_back("nomatch" + std::to_string(i));
        } else {
            const auto& [artist, title] = gNameWords[named(random)];
            if (s < 30) queries.push_back(artist);
            else if (s < 55) queries.push_back(title);
            else if (s < 80) queries.push_back(artist + " " + title);
            else queries.push_back(kWords[word(random)] + " " + title);
        }
    }

    // Warm-up, not counted: the first searches load the term index.
    for (std::size_t i = 0; i < std::min<std::size_t>(100, queries.size()); ++i) {
        std::vector<lyrebox::FileEntry> results;
        library.search(queries[i], results, false);
    }
    std::vector<double> direct;
    std::size_t hits = 0;
    double seriesCpu = cpuMs();
    for (const auto& query : queries) {
        std::vector<lyrebox::FileEntry> results;
        t0 = Clock::now();
        library.search(query, results, false);
        direct.push_back(ms(Clock::now() - t0));
        hits += results.size();
        for (const auto& entry : results) digest(entry.path + ' ' + std::to_string(entry.size) + '\n');
    }
    printTimes("search (LibrarySearcher):", direct, hits, cpuMs() - seriesCpu);

    std::vector<double> dirs;
    hits = 0;
    seriesCpu = cpuMs();
    for (std::size_t i = 0; i < queries.size() / 10; ++i) {
        std::vector<lyrebox::FileEntry> results;
        t0 = Clock::now();
        library.search(queries[i], results, true);
        dirs.push_back(ms(Clock::now() - t0));
        hits += results.size();
        for (const auto& entry : results) digest(entry.path + '\n');
    }
    printTimes("search dirsOnly:", dirs, hits, cpuMs() - seriesCpu);

    lyrebox::Server server(htonl(INADDR_LOOPBACK), 0);
    server.setDispatcher([&](lyrebox::HttpRequest& request, lyrebox::HttpResponse& response) {
        if (request.name() == "library.js") {
            response.setHeader("Content-Type", "text/javascript");
            lyrebox::serveBrowse(library, request, response);
        } else {
            response.setStatus(404, "Not Found");
            response.send();
        }
    });
    if (server.start() && server.waitStarted()) {
        Client client(server.boundPort());
        std::vector<double> http;
        seriesCpu = cpuMs();
        for (const auto& query : queries) {
            const std::string target = "/library.js?callback=cb&path=" + lyrebox::percentEncode("search://" + query);
            t0 = Clock::now();
            if (!client.get(target)) {
                std::printf("library.js request failed\n");
                break;
            }
            http.push_back(ms(Clock::now() - t0));
        }
        printTimes("search via library.js:", http, 0, cpuMs() - seriesCpu);  // (result counts not parsed)

        // As typed: every prefix of "artist title", one request per letter.
        std::vector<double> typed;
        seriesCpu = cpuMs();
        for (std::size_t i = 0; i < std::min<std::size_t>(queries.size() / 10, gNameWords.size()); ++i) {
            const auto& [artist, title] = gNameWords[named(random)];
            const std::string full = artist + " " + title;
            for (std::size_t n = 1; n <= full.size(); ++n) {
                if (full[n - 1] == ' ') continue;
                const std::string target =
                    "/library.js?callback=cb&path=" + lyrebox::percentEncode("search://" + full.substr(0, n));
                t0 = Clock::now();
                if (!client.get(target)) break;
                typed.push_back(ms(Clock::now() - t0));
            }
        }
        printTimes("prefix search as typed via library.js:", typed, 0, cpuMs() - seriesCpu);
        server.shutdown();
    } else {
        std::printf("server did not start\n");
    }

    // From a file appearing in the share to a search finding it.
    if (appearRounds > 0) {
        lyrebox::AutoIndexTiming timing;  // the real quiet time
        library.setAutoIndex(true, timing);
        // The folders are watched from when the watches are in place.
        const auto ready = Clock::now() + std::chrono::seconds(300);
        while (library.autoWatchedFolders() == 0 && Clock::now() < ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        std::vector<double> appear;
        for (int round = 0; round < appearRounds; ++round) {
            const std::string word = "appearing" + std::to_string(round);
            const fs::path file = music / ("Fresh " + word + ".mp3");
            t0 = Clock::now();
            std::ofstream(file).put('x');
            for (;;) {
                std::vector<lyrebox::FileEntry> results;
                library.search(word, results, false);
                if (!results.empty() || Clock::now() - t0 > std::chrono::seconds(120)) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            appear.push_back(ms(Clock::now() - t0));
            while (library.isIndexing() || library.autoPassPending())
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        library.setAutoIndex(false);
        std::string runs;
        for (double t : appear) runs += (runs.empty() ? "" : ", ") + std::to_string(static_cast<long>(t));
        std::printf("new file found after: p50 %.0f ms (runs %s ms; 3000 ms of it is the quiet time)\n",
                    percentile(appear, 0.5), runs.c_str());
        for (int round = 0; round < appearRounds; ++round) {
            std::error_code ignored;
            fs::remove(music / ("Fresh appearing" + std::to_string(round) + ".mp3"), ignored);
        }
    }

    std::printf("answers digest: %016llx\n", static_cast<unsigned long long>(gDigest));
    const long rssEnd = peakRssKiB();
    std::printf("peak RSS: before pass %.1f MiB, after pass %.1f MiB, at end %.1f MiB; growth %.1f MiB (target < 64)\n",
                rssBefore / 1024.0, rssAfterPass / 1024.0, rssEnd / 1024.0, (rssEnd - rssBefore) / 1024.0);
    std::printf("peak RSS of the process: %.1f MiB (target < 256)\n", rssEnd / 1024.0);

    std::error_code ignored;
    if (!keep) fs::remove_all(base, ignored);
    if (!keepIndex && (keep || ownIndexPlace)) fs::remove_all(index, ignored);
    if (!keepIndex && ownIndexPlace) fs::remove(index.string() + ".ini", ignored);
    return 0;
}

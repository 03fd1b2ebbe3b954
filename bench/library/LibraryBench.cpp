// library_bench WORKDIR [NGINX_PORT]
//
// Builds in WORKDIR (once; kept for later runs) a directory of 10,000 files, a
// tree of 50,000 files in 1,000 directories and a 1 GiB file, serves them from
// an in-process server on a loopback port, and prints:
//   - "library.js" server time (handler alone) for the 10,000-file directory
//     sorted by name, date and size: p50 and p90 of 30 runs;
//   - "stream" of the 50,000-file tree: handler time and round trip;
//   - download throughput of the 1 GiB file, whole and with a range, against
//     reading the file to /dev/null (what cat does) and, with NGINX_PORT, nginx
//     serving the same file in the same run.
#include "api/LibraryHandlers.h"
#include "api/RequestRouter.h"
#include "config/Settings.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "http/Server.h"
#include "library/LibraryText.h"
#include "library/MediaLibrary.h"
#include "platform/Socket.h"

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

using namespace lyrebox;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

std::pair<double, double> p50p90(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return {samples[samples.size() / 2], samples[samples.size() * 9 / 10]};
}

void makeFile(const fs::path& path, std::size_t size, int ageSeconds) {
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::seconds(ageSeconds));
}

void buildTrees(const fs::path& root) {
    const fs::path flat = root / "flat";
    if (!fs::exists(flat / "done")) {
        fs::create_directories(flat);
        for (int i = 0; i < 10000; ++i) {
            makeFile(flat / ("Track " + std::to_string((i * 7919) % 10000) + ".mp3"), static_cast<std::size_t>(i % 97),
                     (i * 31) % 100000);
        }
        std::ofstream(flat / "done");
    }
    const fs::path tree = root / "tree";
    if (!fs::exists(tree / "done")) {
        for (int d = 0; d < 1000; ++d) {
            const fs::path dir = tree / ("Artist " + std::to_string(d / 20)) / ("Album " + std::to_string(d));
            fs::create_directories(dir);
            for (int f = 0; f < 50; ++f) makeFile(dir / (std::to_string(f) + " Song.mp3"), 0, 0);
        }
        std::ofstream(tree / "done");
    }
    const fs::path big = root / "big.mp3";
    if (!fs::exists(big) || fs::file_size(big) != (1ULL << 30)) {
        std::ofstream out(big, std::ios::binary);
        std::string block(1 << 20, '\0');
        for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 % 251);
        for (int i = 0; i < 1024; ++i) out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
}

double threadCpuMs() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

// Wall time of one handler call; its CPU time is added to *cpuMs (the machine
// may be shared, and CPU time is what the server spends regardless).
double handlerMs(const std::function<void(HttpRequest&, HttpResponse&)>& handler, ParamMap params,
                 std::size_t* bodySize = nullptr, double* cpuMs = nullptr) {
    HttpRequest request;
    request.setHeader("Host", "bench:5151");
    request.setParams(std::move(params));
    HttpResponse response;
    const double cpuStart = threadCpuMs();
    const auto start = Clock::now();
    handler(request, response);
    const double ms = msSince(start);
    if (cpuMs) *cpuMs = threadCpuMs() - cpuStart;
    if (bodySize) *bodySize = response.body().size();
    return ms;
}

// GET on a new connection; returns the body bytes received (discarded).
std::uint64_t fetch(std::uint16_t port, const std::string& target, const std::string& extraHeaders) {
    auto socket = platform::Socket::connectTcp("127.0.0.1", port, std::chrono::seconds(10));
    if (!socket.valid()) return 0;
    const std::string request =
        "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + extraHeaders + "Connection: close\r\n\r\n";
    socket.sendAll(request.data(), request.size());
    auto buffer = std::make_unique<char[]>(1 << 20);
    std::uint64_t total = 0;
    std::size_t headEnd = std::string::npos;
    std::string head;
    for (;;) {
        const long n = socket.recvSome(buffer.get(), 1 << 20);
        if (n <= 0) break;
        if (headEnd == std::string::npos) {
            head.append(buffer.get(), static_cast<std::size_t>(n));
            headEnd = head.find("\r\n\r\n");
            if (headEnd != std::string::npos) total += head.size() - headEnd - 4;
        } else {
            total += static_cast<std::uint64_t>(n);
        }
    }
    return total;
}

double mibPerSecond(std::uint64_t bytes, double ms) { return bytes / 1048576.0 / (ms / 1000.0); }

double bestThroughput(const std::function<std::uint64_t()>& transfer, std::uint64_t expected, int runs = 3) {
    double best = 0;
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        const std::uint64_t bytes = transfer();
        const double ms = msSince(start);
        if (bytes != expected) std::printf("  (short transfer: %llu of %llu bytes)\n", (unsigned long long)bytes,
                                           (unsigned long long)expected);
        best = std::max(best, mibPerSecond(bytes, ms));
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: library_bench WORKDIR [NGINX_PORT]\n");
        return 2;
    }
    const fs::path root = fs::absolute(argv[1]);
    const int nginxPort = argc > 2 ? std::atoi(argv[2]) : 0;
    std::printf("building the trees in %s ...\n", root.c_str());
    buildTrees(root);

    Settings settings((root / "bench.ini").string());
    settings.setSharedDirs({root.string()});
    RequestRouter router(nullptr, nullptr, settings);
    MediaLibrary& library = router.library();
    Server server(htonl(INADDR_LOOPBACK), 0);
    server.setDispatcher([&](HttpRequest& request, HttpResponse& response) {
        router.handle(request, response);
    });
    if (!server.start() || !server.waitStarted()) {
        std::fprintf(stderr, "server did not start\n");
        return 1;
    }
    const std::uint16_t port = server.boundPort();

    const auto browse = [&](HttpRequest& q, HttpResponse& r) { serveBrowse(library, q, r); };
    const auto stream = [&](HttpRequest& q, HttpResponse& r) { serveStream(library, q, r); };
    const std::string flat = (root / "flat").string();
    std::printf("\nlibrary.js, 10,000-file directory (handler time, 30 runs; target p50 < 30 ms)\n");
    for (const auto& [label, sortBy] : {std::pair{"name", "0"}, std::pair{"date", "1"}, std::pair{"size", "2"}}) {
        std::vector<double> samples, cpu;
        std::size_t bytes = 0;
        for (int i = 0; i < 30; ++i) {
            double cpuMs = 0;
            samples.push_back(handlerMs(browse, {{"path", flat}, {"sortby", sortBy}}, &bytes, &cpuMs));
            cpu.push_back(cpuMs);
        }
        const auto [p50, p90] = p50p90(samples);
        std::printf("  sorted by %-4s  p50 %7.2f ms  p90 %7.2f ms  cpu p50 %7.2f ms  (%zu bytes)\n", label, p50, p90,
                    p50p90(cpu).first, bytes);
    }
    {
        std::vector<double> samples;
        const std::string target = "/library.js?path=" + percentEncode(flat) + "&sortby=0";
        for (int i = 0; i < 10; ++i) {
            const auto start = Clock::now();
            fetch(port, target, "");
            samples.push_back(msSince(start));
        }
        std::printf("  by name over loopback (round trip)  p50 %7.2f ms\n", p50p90(samples).first);
    }

    const std::string tree = (root / "tree").string();
    std::printf("\nstream, 50,000 files in 1,000 directories (5 runs; target < 500 ms)\n");
    {
        std::vector<double> samples, cpu;
        std::size_t bytes = 0;
        for (int i = 0; i < 5; ++i) {
            double cpuMs = 0;
            samples.push_back(handlerMs(stream, {{"path", tree}}, &bytes, &cpuMs));
            cpu.push_back(cpuMs);
        }
        std::printf("  handler        p50 %7.1f ms  max %7.1f ms  cpu p50 %7.1f ms  (%zu bytes)\n",
                    p50p90(samples).first, *std::max_element(samples.begin(), samples.end()), p50p90(cpu).first,
                    bytes);
        samples.clear();
        for (int i = 0; i < 5; ++i) {
            const auto start = Clock::now();
            fetch(port, "/stream?path=" + percentEncode(tree), "");
            samples.push_back(msSince(start));
        }
        std::printf("  round trip     p50 %7.1f ms\n", p50p90(samples).first);
    }

    const std::string big = (root / "big.mp3").string();
    const std::uint64_t size = 1ULL << 30;
    std::printf("\ndownload of a 1 GiB file over loopback (best of 5 interleaved rounds; target >= 80%% of nginx)\n");
    const double cat = bestThroughput(
        [&] {
            const int fd = ::open(big.c_str(), O_RDONLY);
            auto buffer = std::make_unique<char[]>(128 * 1024);
            std::uint64_t total = 0;
            for (ssize_t n; (n = ::read(fd, buffer.get(), 128 * 1024)) > 0;) total += static_cast<std::uint64_t>(n);
            ::close(fd);
            return total;
        },
        size);
    std::printf("  cat to /dev/null          %8.0f MiB/s\n", cat);
    const std::string target = "/download?path=" + percentEncode(big);
    const auto nginx = static_cast<std::uint16_t>(nginxPort);
    // Interleaved rounds, best of each, so a busy moment of a shared machine
    // does not fall on one side only.
    double whole = 0, ranged = 0, ngWhole = 0, ngRanged = 0;
    const auto once = [](double& best, const std::function<std::uint64_t()>& transfer, std::uint64_t expected) {
        best = std::max(best, bestThroughput(transfer, expected, 1));
    };
    for (int round = 0; round < 5; ++round) {
        once(whole, [&] { return fetch(port, target, ""); }, size);
        if (nginxPort > 0) once(ngWhole, [&] { return fetch(nginx, "/big.mp3", ""); }, size);
        once(ranged, [&] { return fetch(port, target, "Range: bytes=1024-\r\n"); }, size - 1024);
        if (nginxPort > 0) once(ngRanged, [&] { return fetch(nginx, "/big.mp3", "Range: bytes=1024-\r\n"); }, size - 1024);
    }
    std::printf("  lyrebox, whole file       %8.0f MiB/s  (%.0f%% of cat)\n", whole, 100 * whole / cat);
    std::printf("  lyrebox, bytes=1024-      %8.0f MiB/s  (%.0f%% of cat)\n", ranged, 100 * ranged / cat);
    if (nginxPort > 0) {
        std::printf("  nginx, whole file         %8.0f MiB/s  -> lyrebox at %.0f%%\n", ngWhole, 100 * whole / ngWhole);
        std::printf("  nginx, bytes=1024-        %8.0f MiB/s  -> lyrebox at %.0f%%\n", ngRanged,
                    100 * ranged / ngRanged);
    }
    server.shutdown();
    return 0;
}

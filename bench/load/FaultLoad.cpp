// Faults on connections: downloads cut off mid-file while others complete
// with exact bytes, and quit while 100 connections are busy.
#include "bench/load/LoadServer.h"
#include "library/LibraryText.h"
#include "tests/support/TempDir.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <thread>

namespace lyrebox::load {
namespace {

constexpr std::size_t kDownloadSize = 8 * 1024 * 1024;

char patternByte(std::uint64_t i) { return static_cast<char>((i * 7 + 3) % 251); }

std::string writePatternFile(const test::TempDir& dir, const std::string& name, std::size_t size) {
    std::string content(size, '\0');
    for (std::size_t i = 0; i < size; ++i) content[i] = patternByte(i);
    return dir.write(name, content);
}

enum class Outcome { Exact, Wrong, Cut };

// Downloads from offset; stops after keep bytes (cut) or reads to the end
// and checks every byte.
Outcome download(std::uint16_t port, const std::string& path, std::size_t offset, std::size_t keep) {
    auto socket = test::connectLoopback(port);
    if (!socket.valid()) return Outcome::Wrong;
    std::string request = "GET /download?path=" + percentEncode(path) + " HTTP/1.1\r\nHost: h\r\n";
    if (offset > 0) request += "Range: bytes=" + std::to_string(offset) + "-\r\n";
    request += "Connection: close\r\n\r\n";
    socket.sendAll(request.data(), request.size());
    std::string data;
    char buffer[65536];
    std::size_t headEnd;
    while ((headEnd = data.find("\r\n\r\n")) == std::string::npos) {
        const long n = socket.recvSome(buffer, sizeof buffer);
        if (n <= 0) return Outcome::Wrong;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    const int status = std::atoi(data.c_str() + 9);
    if (status != (offset > 0 ? 206 : 200)) return Outcome::Wrong;
    std::uint64_t at = offset;
    auto check = [&](const char* bytes, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i)
            if (bytes[i] != patternByte(at + i)) return false;
        at += size;
        return true;
    };
    if (!check(data.data() + headEnd + 4, data.size() - headEnd - 4)) return Outcome::Wrong;
    while (at < kDownloadSize) {
        if (at - offset >= keep) return Outcome::Cut;  // the socket closes unread
        const long n = socket.recvSome(buffer, sizeof buffer);
        if (n <= 0) return Outcome::Wrong;
        if (!check(buffer, static_cast<std::size_t>(n))) return Outcome::Wrong;
    }
    return at == kDownloadSize ? Outcome::Exact : Outcome::Wrong;
}

}  // namespace

int runDownloads(double seconds) {
    test::TempDir dir;
    const std::string file = writePatternFile(dir, "music/big.mp3", kDownloadSize);
    LoadServer server(dir.file("load.ini"), {dir.file("music")});
    if (!server.started()) return 1;
    std::atomic<long> exact{0}, wrong{0}, cut{0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::vector<std::thread> clients;
    for (unsigned c = 0; c < 8; ++c) {
        clients.emplace_back([&, c] {
            std::mt19937 random(c + 1);
            while (std::chrono::steady_clock::now() < deadline) {
                const std::size_t offset = random() % 2 ? random() % kDownloadSize : 0;
                // Half the clients leave mid-file; the others read everything.
                const std::size_t keep = c % 2 ? random() % (kDownloadSize - offset) : kDownloadSize;
                switch (download(server.port(), file, offset, keep)) {
                    case Outcome::Exact: ++exact; break;
                    case Outcome::Cut: ++cut; break;
                    case Outcome::Wrong: ++wrong; break;
                }
            }
        });
    }
    for (auto& t : clients) t.join();
    // The server still serves after all that.
    const bool alive = download(server.port(), file, 0, kDownloadSize) == Outcome::Exact;
    std::printf("downloads: %.0f s, 8 clients: %ld complete and exact, %ld cut off mid-file, %ld wrong; server %s\n",
                seconds, exact.load(), cut.load(), wrong.load(), alive ? "still serves" : "DOES NOT SERVE");
    return wrong == 0 && exact > 0 && cut > 0 && alive ? 0 : 1;
}

int runQuit(int rounds) {
    test::TempDir dir;
    // A large sparse file: the downloads stall in send once the client's buffers fill.
    const std::string big = dir.write("music/big.mp3");
    if (::truncate(big.c_str(), 256ll * 1024 * 1024) != 0) return 1;
    long worst = 0;
    for (int round = 0; round < rounds; ++round) {
        LoadServer server(dir.file("load.ini"), {dir.file("music")});
        if (!server.started()) return 1;
        std::vector<platform::Socket> clients;
        const std::string download = "GET /download?path=" + percentEncode(big) + " HTTP/1.1\r\nHost: h\r\n\r\n";
        for (int i = 0; i < 100; ++i) {
            auto socket = test::connectLoopback(server.port());
            if (!socket.valid()) return 1;
            std::string text;
            switch (i % 4) {
                case 0: case 1: text = download; break;                        // stalled download
                case 2: text = "GET /consolestatus.xml HTTP/1.1\r\nX-Half: "; break;  // head under way
                default: text = "GET /playlist.xml?id=q" + std::to_string(i) + " HTTP/1.1\r\n\r\n"; break;  // idle keep-alive
            }
            socket.sendAll(text.data(), text.size());
            clients.push_back(std::move(socket));
        }
        // Every connection has a thread before quit begins.
        for (int wait = 0; wait < 1000 && server.connectionCount() < 100; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const std::size_t busy = server.connectionCount();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));  // the downloads fill their buffers
        const auto took = server.quit();
        worst = std::max<long>(worst, took.count());
        std::printf("quit: round %d, %zu open connections (50 stalled downloads, 25 half heads, 25 idle): %lld ms\n",
                    round + 1, busy, static_cast<long long>(took.count()));
    }
    std::printf("quit: worst %ld ms (target 2000 ms)%s\n", worst, worst > 2000 ? " OVER THE TARGET" : "");
    return 0;
}

}  // namespace lyrebox::load

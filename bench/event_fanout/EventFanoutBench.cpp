// Event fan-out benchmark. A child process runs the player (the host's model
// with the silent clock engine, playing a ten-minute track) with the router
// and the HTTP server, as the plugin does; the parent opens the event
// streams, makes changes through commands and reads the child's CPU time
// from /proc. Figures:
//  - delay from a command's answer to each client's status event, p50 and
//    p99 over clients x changes (target p99 < 100 ms);
//  - the player's CPU with the idle subscribers, and with none (baseline,
//    same run), over the same number of seconds (target < 2% of one core).
// Usage: event_fanout_bench [CLIENTS=200] [CHANGES=50] [IDLE_SECONDS=5]
#include "FanoutClients.h"

#include "tests/support/HostPlayer.h"
#include "tests/support/TestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

using namespace lyrebox;
using bench::Clock;
using namespace std::chrono;

namespace {

// A silent 8 kHz mono 8-bit WAV.
void writeSilentWav(const std::string& path, int seconds) {
    const std::uint32_t data = 8000u * static_cast<std::uint32_t>(seconds);
    std::ofstream out(path, std::ios::binary);
    const auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    const auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out << "RIFF";
    u32(36 + data);
    out << "WAVEfmt ";
    u32(16), u16(1), u16(1), u32(8000), u32(8000), u16(1), u16(8);
    out << "data";
    u32(data);
    const std::string silence(data, '\x80');
    out.write(silence.data(), static_cast<std::streamsize>(silence.size()));
}

// The child: serves until the control pipe closes.
int runServer(const std::string& track, const std::string& ini, int portFd, int controlFd) {
    test::HostPlayer player;
    player.with([&](Player& p) {
        p.enqueue(track, "", 0);
        for (int i = 1; i < 100; ++i) p.enqueue("/music/" + std::to_string(i) + ".mp3", "Song " + std::to_string(i), 0);
        p.setCurrent(0);
        p.play();
    });
    test::TestServer server(player.mainWindow(), {.iniPath = ini, .onPlayerThread = player.onThread()});
    if (!server.started()) return 1;
    const std::uint16_t port = server.port();
    if (::write(portFd, &port, sizeof port) != sizeof port) return 1;
    char byte;
    while (::read(controlFd, &byte, 1) > 0) {
    }
    return 0;
}

double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    std::istringstream fields(text.substr(close + 2));
    std::string skip;
    for (int i = 3; i < 14; ++i) fields >> skip;  // state .. cmajflt
    unsigned long long utime = 0, stime = 0;
    fields >> utime >> stime;
    return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double cpuPercentOver(pid_t pid, int seconds) {
    const double before = cpuSeconds(pid);
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double wall = duration<double>(Clock::now() - start).count();
    return 100.0 * (cpuSeconds(pid) - before) / wall;
}

// One keep-alive connection for the commands.
class CommandClient {
public:
    explicit CommandClient(std::uint16_t port) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fd_ = -1;
    }
    ~CommandClient() {
        if (fd_ >= 0) ::close(fd_);
    }
    // Sends the request and returns when its whole answer has arrived.
    bool get(const std::string& target) {
        const std::string request = "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        if (::send(fd_, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) return false;
        std::string data;
        char chunk[4096];
        for (;;) {
            const auto head = data.find("\r\n\r\n");
            if (head != std::string::npos) {
                const auto length = data.find("Content-Length: ");
                if (length != std::string::npos && data.size() >= head + 4 + std::stoul(data.substr(length + 16))) return true;
            }
            const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
            if (n <= 0) return false;
            data.append(chunk, static_cast<std::size_t>(n));
        }
    }

private:
    int fd_ = -1;
};

double percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

const char* verdict(bool ok) { return ok ? "PASS" : "FAIL"; }

}  // namespace

int main(int argc, char** argv) {
    const int clients = argc > 1 ? std::atoi(argv[1]) : 200;
    const int changes = argc > 2 ? std::atoi(argv[2]) : 50;
    const int idleSeconds = argc > 3 ? std::atoi(argv[3]) : 5;

    char pattern[] = "/tmp/lyrebox-fanout-XXXXXX";
    if (::mkdtemp(pattern) == nullptr) return 1;
    const std::string work = pattern;
    writeSilentWav(work + "/track.wav", 600);

    int portPipe[2], controlPipe[2];
    if (::pipe(portPipe) != 0 || ::pipe(controlPipe) != 0) return 1;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(portPipe[0]);
        ::close(controlPipe[1]);
        ::_exit(runServer(work + "/track.wav", work + "/bench.ini", portPipe[1], controlPipe[0]));
    }
    ::close(portPipe[1]);
    ::close(controlPipe[0]);
    std::uint16_t port = 0;
    if (::read(portPipe[0], &port, sizeof port) != sizeof port) {
        std::cerr << "the server did not start\n";
        return 1;
    }

    int failures = 0;
    std::printf("event fan-out: %d clients, %d changes, idle %d s, player pid %d\n", clients, changes, idleSeconds,
                static_cast<int>(child));
    const double baseline = cpuPercentOver(child, idleSeconds);
    {
        bench::FanoutClients streams(port, clients);
        // Every stream has its first status event: all are subscribed.
        const auto deadline = Clock::now() + seconds(30);
        for (;;) {
            const auto counts = streams.statusCounts();
            if (std::all_of(counts.begin(), counts.end(), [](std::size_t c) { return c > 0; })) break;
            if (Clock::now() > deadline) {
                std::cerr << "not every stream got its first event\n";
                return 1;
            }
            std::this_thread::sleep_for(milliseconds(5));
        }
        std::printf("streams open: %d\n", streams.connected());

        const std::uint64_t bytesBefore = streams.bytesReceived();
        const double idle = cpuPercentOver(child, idleSeconds);
        const std::uint64_t idleBytes = streams.bytesReceived() - bytesBefore;

        CommandClient commands(port);
        std::vector<double> delays;
        int missed = 0;
        for (int i = 0; i < changes; ++i) {
            const auto before = streams.statusCounts();
            if (!commands.get("/setvolume?level=" + std::to_string(20 + i))) {
                std::cerr << "command failed\n";
                return 1;
            }
            const auto answered = Clock::now();
            const auto until = answered + seconds(2);
            std::vector<std::size_t> now;
            for (;;) {
                now = streams.statusCounts();
                bool all = true;
                for (std::size_t c = 0; c < now.size(); ++c) all = all && now[c] > before[c];
                if (all || Clock::now() > until) break;
                std::this_thread::sleep_for(microseconds(200));
            }
            for (std::size_t c = 0; c < now.size(); ++c) {
                if (now[c] <= before[c]) {
                    ++missed;
                    continue;
                }
                const auto at = streams.arrival(static_cast<int>(c), before[c]);
                delays.push_back(at < answered ? 0.0 : duration<double, std::milli>(at - answered).count());
            }
            std::this_thread::sleep_for(milliseconds(30));
        }
        const double p50 = percentile(delays, 0.50), p99 = percentile(delays, 0.99);
        const double worst = delays.empty() ? 0.0 : *std::max_element(delays.begin(), delays.end());
        std::printf("events received: %zu of %d (missed %d)\n", delays.size(), clients * changes, missed);
        std::printf("delay command answer -> event: p50 %.2f ms, p99 %.2f ms, max %.2f ms (target p99 < 100 ms): %s\n",
                    p50, p99, worst, verdict(p99 < 100.0 && missed == 0));
        std::printf("player CPU, %d idle subscribers: %.2f%% of one core (target < 2%%): %s\n", streams.connected(),
                    idle, verdict(idle < 2.0));
        std::printf("player CPU, no subscribers (baseline, same run): %.2f%% of one core; difference %.2f points\n",
                    baseline, idle - baseline);
        std::printf("bytes to all idle subscribers in %d s: %llu\n", idleSeconds, static_cast<unsigned long long>(idleBytes));
        failures += (p99 < 100.0 && missed == 0) ? 0 : 1;
        failures += idle < 2.0 ? 0 : 1;
    }
    ::close(controlPipe[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    std::filesystem::remove_all(work);
    return failures == 0 ? 0 : 3;
}

// parking_bench [CONNECTIONS] [SECONDS] [IDLE]
//
// Would parking idle keep-alive connections in one epoll thread pay? Two
// ways of serving CONNECTIONS busy keep-alive clients on loopback, each
// client sending a small request and waiting for a small answer, as a
// polling page does:
//
//   thread: each connection has its own thread blocked in recv (the server's
//           model: a connection thread serves its connection until it ends);
//   parked: every connection waits in one epoll thread (EPOLLONESHOT); a
//           readable one is handed to one of a pool of worker threads, which
//           reads, answers and gives it back to epoll.
//
// For each it prints requests per second, the process's CPU time per request
// (user + system, from getrusage) and the ratio to the thread model, medians
// of three alternating rounds. Then it opens IDLE idle connections under the
// thread model and prints the resident memory each costs, the memory the
// parked model would save.
#include <sys/epoll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <arpa/inet.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kRequest[] = "GET /getvolume HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
constexpr char kAnswer[] =
    "HTTP/1.1 200 OK\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: 3\r\n\r\n128";

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

private:
    int fd_;
};

Fd listenOnLoopback(std::uint16_t& port) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd.get() < 0 || ::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.get(), 4096) != 0 || ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        std::perror("listen");
        std::exit(1);
    }
    port = ntohs(address.sin_port);
    return fd;
}

Fd connectTo(std::uint16_t port) {
    Fd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (fd.get() < 0 || ::connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        std::perror("connect");
        std::exit(1);
    }
    const int on = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

// Reads one request and answers it; false when the peer has gone.
bool serveOne(int fd) {
    char buffer[512];
    const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
    if (got <= 0) return false;
    return ::send(fd, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL) == static_cast<ssize_t>(sizeof kAnswer - 1);
}

double cpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

struct Figures {
    double requestsPerSecond = 0;
    double cpuMicrosPerRequest = 0;
};

// Clients: one thread per connection, request and answer in turn until the
// time is up. Counts answers.
Figures runClients(std::vector<Fd>& clients, double seconds) {
    std::atomic<bool> stop{false};
    std::atomic<long> answers{0};
    std::vector<std::thread> threads;
    const double cpuBefore = cpuSeconds();
    const auto start = Clock::now();
    for (Fd& client : clients) {
        threads.emplace_back([&, fd = client.get()] {
            char buffer[512];
            long mine = 0;
            while (!stop.load(std::memory_order_relaxed)) {
                if (::send(fd, kRequest, sizeof kRequest - 1, MSG_NOSIGNAL) <= 0) break;
                if (::recv(fd, buffer, sizeof buffer, 0) <= 0) break;
                ++mine;
            }
            answers += mine;
        });
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    stop = true;
    for (auto& thread : threads) thread.join();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = cpuSeconds() - cpuBefore;
    const long count = std::max(1L, answers.load());
    // The clients' own CPU is in the figure too; it is the same for both
    // models, so the difference between them is the server's.
    return {static_cast<double>(count) / elapsed, cpu * 1e6 / static_cast<double>(count)};
}

// Accepts n connections on listener and returns the server ends.
std::vector<Fd> acceptAll(int listener, int n) {
    std::vector<Fd> accepted;
    for (int i = 0; i < n; ++i) accepted.emplace_back(::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
    return accepted;
}

Figures threadModel(int connections, double seconds) {
    std::uint16_t port = 0;
    Fd listener = listenOnLoopback(port);
    std::vector<Fd> clients;
    for (int i = 0; i < connections; ++i) clients.push_back(connectTo(port));
    std::vector<Fd> served = acceptAll(listener.get(), connections);
    std::vector<std::thread> threads;
    for (Fd& fd : served) threads.emplace_back([fd = fd.get()] { while (serveOne(fd)) {} });
    const Figures figures = runClients(clients, seconds);
    for (Fd& client : clients) ::shutdown(client.get(), SHUT_RDWR);
    for (auto& thread : threads) thread.join();
    return figures;
}

// One epoll thread holds every idle connection; workers serve the readable
// ones and re-arm them.
class ParkedServer {
public:
    ParkedServer(std::vector<Fd> connections, int workers) : connections_(std::move(connections)) {
        epoll_ = Fd(::epoll_create1(EPOLL_CLOEXEC));
        for (Fd& fd : connections_) arm(fd.get(), EPOLL_CTL_ADD);
        poller_ = std::thread([this] { poll(); });
        for (int i = 0; i < workers; ++i) workers_.emplace_back([this] { work(); });
    }
    ~ParkedServer() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        ready_.notify_all();
        for (Fd& fd : connections_) ::shutdown(fd.get(), SHUT_RDWR);
        poller_.join();
        for (auto& worker : workers_) worker.join();
    }

private:
    void arm(int fd, int op) {
        epoll_event event{};
        event.events = EPOLLIN | EPOLLRDHUP | EPOLLONESHOT;
        event.data.fd = fd;
        ::epoll_ctl(epoll_.get(), op, fd, &event);
    }

    void poll() {
        epoll_event events[64];
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (stopping_) return;
            }
            const int n = ::epoll_wait(epoll_.get(), events, 64, 100);
            if (n <= 0) continue;
            {
                std::lock_guard lock(mutex_);
                for (int i = 0; i < n; ++i) readyFds_.push_back(events[i].data.fd);
            }
            // One worker per ready connection, not a stampede of all of them.
            for (int i = 0; i < n; ++i) ready_.notify_one();
        }
    }

    void work() {
        for (;;) {
            int fd;
            {
                std::unique_lock lock(mutex_);
                ready_.wait(lock, [this] { return stopping_ || !readyFds_.empty(); });
                if (stopping_) return;
                fd = readyFds_.front();
                readyFds_.pop_front();
            }
            if (serveOne(fd)) arm(fd, EPOLL_CTL_MOD);
        }
    }

    std::vector<Fd> connections_;
    Fd epoll_;
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<int> readyFds_;
    bool stopping_ = false;
    std::thread poller_;
    std::vector<std::thread> workers_;
};

Figures parkedModel(int connections, double seconds) {
    std::uint16_t port = 0;
    Fd listener = listenOnLoopback(port);
    std::vector<Fd> clients;
    for (int i = 0; i < connections; ++i) clients.push_back(connectTo(port));
    // As many workers as connections: the same number of threads able to
    // serve at once as the thread model, so only the hand-off differs.
    ParkedServer server(acceptAll(listener.get(), connections), connections);
    return runClients(clients, seconds);
}

// Resident memory per idle connection thread (each blocked in recv with the
// server's 256 KiB stack), measured over idle connections.
double residentKiBPerIdleThread(int idle) {
    std::uint16_t port = 0;
    Fd listener = listenOnLoopback(port);
    std::vector<Fd> clients;
    for (int i = 0; i < idle; ++i) clients.push_back(connectTo(port));
    std::vector<Fd> served = acceptAll(listener.get(), idle);
    const long before = residentKiB();
    std::vector<pthread_t> threads;
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 256 * 1024);
    for (Fd& fd : served) {
        pthread_t thread;
        auto body = [](void* arg) -> void* {
            while (serveOne(static_cast<int>(reinterpret_cast<std::intptr_t>(arg)))) {}
            return nullptr;
        };
        if (pthread_create(&thread, &attributes, body, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd.get()))) == 0)
            threads.push_back(thread);
    }
    pthread_attr_destroy(&attributes);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const long after = residentKiB();
    for (Fd& client : clients) ::shutdown(client.get(), SHUT_RDWR);
    for (pthread_t thread : threads) pthread_join(thread, nullptr);
    return static_cast<double>(after - before) / std::max<std::size_t>(1, threads.size());
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int connections = argc > 1 ? std::atoi(argv[1]) : 16;
    const double seconds = argc > 2 ? std::atof(argv[2]) : 3.0;
    const int idle = argc > 3 ? std::atoi(argv[3]) : 1000;
    if (connections < 1 || connections > 1024 || seconds <= 0 || idle < 0 || idle > 20000) {
        std::fprintf(stderr, "usage: parking_bench [CONNECTIONS 1..1024] [SECONDS] [IDLE 0..20000]\n");
        return 2;
    }
    std::vector<double> threadRate, threadCpu, parkedRate, parkedCpu;
    for (int round = 0; round < 3; ++round) {
        const Figures t = threadModel(connections, seconds);
        const Figures p = parkedModel(connections, seconds);
        threadRate.push_back(t.requestsPerSecond);
        threadCpu.push_back(t.cpuMicrosPerRequest);
        parkedRate.push_back(p.requestsPerSecond);
        parkedCpu.push_back(p.cpuMicrosPerRequest);
        std::printf("round %d: thread %.0f req/s %.2f us cpu/req, parked %.0f req/s %.2f us cpu/req\n", round + 1,
                    t.requestsPerSecond, t.cpuMicrosPerRequest, p.requestsPerSecond, p.cpuMicrosPerRequest);
    }
    const double tr = median(threadRate), pr = median(parkedRate);
    std::printf("thread_model_rps=%.0f thread_model_cpu_us=%.2f\n", tr, median(threadCpu));
    std::printf("parked_model_rps=%.0f parked_model_cpu_us=%.2f parked_ratio=%.2f\n", pr, median(parkedCpu), pr / tr);
    if (idle > 0) std::printf("idle_thread_rss_kib=%.1f (per idle connection, %d idle)\n", residentKiBPerIdleThread(idle), idle);
    return 0;
}

#include "FanoutClients.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace bench {

namespace {

int connectLoopback(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

FanoutClients::FanoutClients(std::uint16_t port, int count) {
    epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
    wake_ = ::eventfd(0, EFD_CLOEXEC);
    epoll_event wakeEvent{};
    wakeEvent.events = EPOLLIN;
    wakeEvent.data.u32 = UINT32_MAX;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, wake_, &wakeEvent);
    const std::string request = "GET /events HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
    for (int i = 0; i < count; ++i) {
        const int fd = connectLoopback(port);
        if (fd < 0) break;
        if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) {
            ::close(fd);
            break;
        }
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.u32 = static_cast<std::uint32_t>(fds_.size());
        fds_.push_back(fd);
        ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &event);
    }
    buffers_.resize(fds_.size());
    arrivals_.resize(fds_.size());
    reader_ = std::thread([this] { readLoop(); });
}

FanoutClients::~FanoutClients() {
    const std::uint64_t one = 1;
    [[maybe_unused]] auto ignored = ::write(wake_, &one, sizeof one);
    reader_.join();
    for (int fd : fds_) ::close(fd);
    ::close(wake_);
    ::close(epoll_);
}

void FanoutClients::readLoop() {
    epoll_event events[64];
    char chunk[8192];
    for (;;) {
        const int n = ::epoll_wait(epoll_, events, 64, -1);
        if (n < 0) continue;
        const auto now = Clock::now();
        for (int i = 0; i < n; ++i) {
            const std::uint32_t client = events[i].data.u32;
            if (client == UINT32_MAX) return;
            const ssize_t got = ::recv(fds_[client], chunk, sizeof chunk, 0);
            if (got <= 0) {
                ::epoll_ctl(epoll_, EPOLL_CTL_DEL, fds_[client], nullptr);
                continue;
            }
            bytes_ += static_cast<std::uint64_t>(got);
            std::string& buffer = buffers_[client];
            buffer.append(chunk, static_cast<std::size_t>(got));
            std::size_t at;
            while ((at = buffer.find("\n\n")) != std::string::npos) {
                if (buffer.compare(0, 14, "event: status\n") == 0 || buffer.find("\nevent: status\n") < at) {
                    std::lock_guard lock(mutex_);
                    arrivals_[client].push_back(now);
                }
                buffer.erase(0, at + 2);
            }
        }
    }
}

std::vector<std::size_t> FanoutClients::statusCounts() {
    std::lock_guard lock(mutex_);
    std::vector<std::size_t> counts;
    for (const auto& a : arrivals_) counts.push_back(a.size());
    return counts;
}

Clock::time_point FanoutClients::arrival(int client, std::size_t n) {
    std::lock_guard lock(mutex_);
    return arrivals_[static_cast<std::size_t>(client)][n];
}

}  // namespace bench

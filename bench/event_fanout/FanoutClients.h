// The client side of the fan-out benchmark: many open "events" streams read
// by one epoll thread, which notes when each stream receives a status event.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

class FanoutClients {
public:
    FanoutClients(std::uint16_t port, int count);
    ~FanoutClients();
    FanoutClients(const FanoutClients&) = delete;
    FanoutClients& operator=(const FanoutClients&) = delete;

    int connected() const { return static_cast<int>(fds_.size()); }
    // Status events received by each client so far.
    std::vector<std::size_t> statusCounts();
    // When client c received its status event number n (counting from 0).
    Clock::time_point arrival(int client, std::size_t n);
    std::uint64_t bytesReceived() const { return bytes_.load(); }

private:
    void readLoop();

    std::vector<int> fds_;
    int epoll_ = -1;
    int wake_ = -1;
    std::mutex mutex_;
    std::vector<std::string> buffers_;
    std::vector<std::vector<Clock::time_point>> arrivals_;  // guarded by mutex_
    std::atomic<std::uint64_t> bytes_{0};
    std::thread reader_;
};

}  // namespace bench

// Another server on a loopback port that the player fetches stream play lists
// from: it records the bytes of every request, can hold its answers until the
// test releases them (a server that does not answer yet), and then answers
// each request with one fixed body. Each connection is served on a thread of
// its own, so several held fetches wait at once.
#pragma once

#include "platform/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lyrebox::attack {

class ListServer {
public:
    explicit ListServer(std::string body, bool hold = false)
        : body_(std::move(body)), hold_(hold), listening_(platform::Socket::listenTcp(htonl(INADDR_LOOPBACK), 0)) {
        // The listening socket comes non-blocking; this server blocks in accept.
        ::fcntl(listening_.fd(), F_SETFL, ::fcntl(listening_.fd(), F_GETFL) & ~O_NONBLOCK);
        acceptor_ = std::thread([this] { acceptLoop(); });
    }
    ~ListServer() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
            hold_ = false;
        }
        changed_.notify_all();
        listening_.shutdownBoth();
        platform::Socket::connectTcp("127.0.0.1", port(), std::chrono::seconds(1));  // wakes accept
        acceptor_.join();
        for (auto& worker : workers_) worker.join();
    }
    ListServer(const ListServer&) = delete;
    ListServer& operator=(const ListServer&) = delete;

    std::uint16_t port() const { return listening_.localPort(); }
    std::string url(const std::string& target = "/stream?path=x") const {
        return "http://127.0.0.1:" + std::to_string(port()) + target;
    }

    // Lets every held and later request be answered.
    void release() {
        {
            std::lock_guard lock(mutex_);
            hold_ = false;
        }
        changed_.notify_all();
    }
    // Waits until count requests have arrived whole; false when they did not
    // within a generous time (a broken player fails the test, not hangs it).
    bool waitForRequests(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return requests_.size() >= count; });
    }
    std::size_t accepted() {
        std::lock_guard lock(mutex_);
        return accepted_;
    }
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    void acceptLoop() {
        for (;;) {
            platform::Socket client(::accept(listening_.fd(), nullptr, nullptr));
            std::lock_guard lock(mutex_);
            if (stop_ || !client.valid()) return;
            ++accepted_;
            workers_.emplace_back([this, socket = std::move(client)]() mutable { serve(socket); });
        }
    }

    void serve(platform::Socket& socket) {
        socket.setRecvTimeout(std::chrono::seconds(10));
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos) {
            const long n = socket.recvSome(buffer, sizeof buffer);
            if (n <= 0) break;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        {
            std::unique_lock lock(mutex_);
            requests_.push_back(request);
            changed_.notify_all();
            changed_.wait(lock, [this] { return !hold_; });
            if (stop_) return;
        }
        const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: audio/x-mpegurl\r\nContent-Length: " +
                                 std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n";
        socket.sendAll(head.data(), head.size());
        socket.sendAll(body_.data(), body_.size());
    }

    std::string body_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool hold_;
    bool stop_ = false;
    std::size_t accepted_ = 0;
    std::vector<std::string> requests_;
    platform::Socket listening_;
    std::thread acceptor_;
    std::vector<std::thread> workers_;
};

// A stream play list of count entries whose titles come from their "path=".
inline std::string streamList(std::size_t count) {
    std::string body = "#EXTM3U\n";
    body.reserve(count * 36);
    for (std::size_t i = 0; i < count; ++i) {
        body += "#EXTINF:\nhttp://h/d?path=";
        body += std::to_string(i);
        body += ".mp3\n";
    }
    return body;
}

}  // namespace lyrebox::attack

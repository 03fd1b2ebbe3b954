#include "http/Server.h"

#include "http/HttpLimits.h"
#include "http/HttpResponse.h"
#include "http/RequestThread.h"

#include <algorithm>
#include <cerrno>

namespace lyrebox {

using namespace std::chrono;

Server::Server(std::uint32_t address, std::uint16_t port)
    : address_(address), port_(port), headTimeout_(duration_cast<milliseconds>(http::kHeadTimeout).count()) {
    contentTypes();  // built here, before any connection can read it
}

Server::~Server() { shutdown(); }

bool Server::prepare() {
    int error = 0;
    listening_ = platform::Socket::listenTcp(address_.load(), port_.load(), &error);
    if (!listening_.valid() || !stop_.valid()) {
        listening_.close();
        tellStatus(false, error ? error : EMFILE);
        return false;
    }
    boundPort_ = listening_.localPort();
    {
        std::lock_guard lock(mutex_);
        accepting_ = true;
    }
    tellStatus(false, 0);
    return true;
}

int Server::run() {
    for (;;) {
        auto woke = platform::waitReadableOrSignal(listening_, stop_, milliseconds(-1));
        if (woke == platform::WaitResult::Signalled) {
            stop_.clear();
            break;
        }
        if (woke != platform::WaitResult::Readable) break;
        acceptPending();
        reapFinished();
    }
    listening_.close();
    {
        // Nothing more will be handed over: parked threads end now.
        std::lock_guard lock(mutex_);
        accepting_ = false;
        retireParkedLocked();
    }
    reapFinished();
    tellStatus(true, 0);
    return 0;
}

void Server::tellStatus(bool stopped, int error) {
    StatusListener listener;
    {
        std::lock_guard lock(mutex_);
        listener = statusListener_;
    }
    if (listener) listener(stopped, error);
}

void Server::acceptPending() {
    for (;;) {
        std::uint32_t peer = 0;
        int error = 0;
        platform::Socket socket = listening_.accept(peer, error);
        if (!socket.valid()) {
            if (error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM) {
                // The connection stays queued and the socket readable; pause
                // instead of spinning, and keep serving the open connections.
                platform::waitReadableOrSignal(platform::Socket(), stop_, http::kAcceptBackoff);
                return;
            }
            if (error == ECONNABORTED || error == EPROTO || error == EPERM) continue;
            return;  // EAGAIN: nothing more queued
        }
        if (!access_.admits(platform::ipv4ToText(peer))) {
            socket.abort();  // the caller sees its connection refused, nothing sent
            continue;
        }
        admit(std::move(socket), peer);
    }
}

void Server::admit(platform::Socket socket, std::uint32_t peer) {
    std::lock_guard lock(mutex_);
    auto count = perAddress_.find(peer);
    if (live_.size() >= http::kMaxConnections ||
        (count != perAddress_.end() && count->second >= http::kMaxConnectionsPerAddress)) {
        return;  // closed at once by the socket's destructor
    }
    if (!parked_.empty()) {
        std::unique_ptr<RequestThread> connection = std::move(parked_.back());
        parked_.pop_back();
        RequestThread* raw = connection.get();
        raw->handOverLocked(std::move(socket), peer);
        live_.emplace(raw, std::move(connection));
        ++perAddress_[peer];
        allEnded_.reset();
        return;
    }
    auto connection = std::make_unique<RequestThread>(std::move(socket), *this, peer);
    RequestThread* raw = connection.get();
    if (!raw->start()) return;  // no thread: the connection closes
    ++threadsStarted_;
    live_.emplace(raw, std::move(connection));
    ++perAddress_[peer];
    allEnded_.reset();
}

bool Server::connectionEnded(RequestThread* connection) {
    std::unique_lock lock(mutex_);
    auto it = live_.find(connection);
    if (it == live_.end()) return false;
    // Closed under the lock, so shutdown() never touches a descriptor that
    // has been closed and perhaps reused. Whatever else wrote to this socket
    // (an event stream's sampler) let go of it before the handler returned.
    connection->closeSocket();
    std::unique_ptr<RequestThread> owned = std::move(it->second);
    live_.erase(it);
    auto count = perAddress_.find(connection->peer());
    if (count != perAddress_.end() && --count->second == 0) perAddress_.erase(count);
    if (accepting_ && parked_.size() < http::kMaxParkedThreads) {
        parked_.push_back(std::move(owned));
        if (connection->waitForHandOverLocked(lock, http::kParkedThreadWait)) return true;  // admit() moved it to live_
        // Timed out or retired: still in parked_, since admit() did not take it.
        const auto self = std::find_if(parked_.begin(), parked_.end(),
                                       [connection](const auto& p) { return p.get() == connection; });
        owned = std::move(*self);
        parked_.erase(self);
    }
    finished_.push_back(std::move(owned));
    if (live_.empty() && parked_.empty()) allEnded_.set();
    return false;
}

void Server::retireParkedLocked() {
    for (auto& parked : parked_) parked->wakeLocked();
}

void Server::reapFinished() {
    std::vector<std::unique_ptr<RequestThread>> done;
    {
        std::lock_guard lock(mutex_);
        done.swap(finished_);
    }
    done.clear();  // joins threads that have all but returned
}

void Server::shutdown() {
    signalStop();
    join();
    {
        std::lock_guard lock(mutex_);
        accepting_ = false;  // already so unless the listener never ran
        retireParkedLocked();
        for (auto& [raw, connection] : live_) connection->shutdownSocket();
    }
    allEnded_.waitPumping();
    reapFinished();
}

std::size_t Server::connectionCount() const {
    std::lock_guard lock(mutex_);
    return live_.size();
}

std::size_t Server::parkedThreadCount() const {
    std::lock_guard lock(mutex_);
    return parked_.size();
}

std::size_t Server::threadsStarted() const {
    std::lock_guard lock(mutex_);
    return threadsStarted_;
}

}  // namespace lyrebox

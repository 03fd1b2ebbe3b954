// The HTTP listener: accepts connections on one IPv4 address and port and
// serves each on a RequestThread of its own.
//
// The window thread constructs it, calls the setters, start(), signalStop()
// and destroys it. The listener thread accepts; connection threads read the
// access settings and call the dispatcher. A connection's thread that has
// finished parks (at most kMaxParkedThreads, each for kParkedThreadWait) and
// is handed the next accepted connection, so in the steady state accepting
// starts no thread. The server tracks its threads (mutex_ guards live_,
// parked_, finished_, perAddress_, accepting_, threadsStarted_ and the status
// listener) so that shutdown() can close the connections and wait for every
// thread, parked ones included, before anything they use is destroyed.
#pragma once

#include "http/AccessControl.h"
#include "http/HttpParse.h"
#include "http/LoginThrottle.h"
#include "http/RequestSite.h"
#include "platform/Thread.h"
#include "platform/Event.h"
#include "platform/Socket.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace lyrebox {

class HttpRequest;
class HttpResponse;
class RequestThread;

// Serves one request that the connection thread does not answer itself (its
// name() is set); it must send the response before it returns.
using Dispatcher = std::function<void(HttpRequest& request, HttpResponse& response)>;

class Server : public platform::Thread {
public:
    // address in network byte order (0 = any); port 0 picks a free one.
    Server(std::uint32_t address, std::uint16_t port);
    ~Server() override;

    // Take effect at the next start().
    void setAddress(std::uint32_t address) { address_ = address; }
    void setPort(std::uint16_t port) { port_ = port; }
    std::uint32_t address() const { return address_.load(); }
    std::uint16_t port() const { return port_.load(); }
    // The port the last successful start bound (useful with port 0).
    std::uint16_t boundPort() const { return boundPort_; }

    // Told on the listener thread when a start has bound its socket (error 0),
    // when it could not (the errno), and when a run has ended (stopped true).
    // May be replaced (or cleared) while the listener runs.
    using StatusListener = std::function<void(bool stopped, int error)>;
    void setStatusListener(StatusListener listener) {
        std::lock_guard lock(mutex_);
        statusListener_ = std::move(listener);
    }

    // Set before the first start(); connection threads call it concurrently.
    void setDispatcher(Dispatcher dispatcher) { dispatcher_ = std::move(dispatcher); }

    // Zero: no limit. Apply to connections accepted afterwards.
    void setIdleTimeout(std::chrono::milliseconds timeout) { idleTimeout_ = timeout.count(); }
    void setHeadTimeout(std::chrono::milliseconds timeout) { headTimeout_ = timeout.count(); }

    void setRequirePassword(bool on) { access_.setRequirePassword(on); }
    void setUsername(const std::string& name) { access_.setUsername(name); }
    void setPassword(const std::string& password) { access_.setPassword(password); }
    void setCredentials(const std::string& name, const std::string& password) {
        access_.setCredentials(name, password);
    }
    void setFilterIPs(bool on) { access_.setFilterIPs(on); }
    void setAllowedIPs(const std::string& text) { access_.setAllowedIPs(text); }
    void setBlockedIPs(const std::string& text) { access_.setBlockedIPs(text); }
    // Refuse (421) requests whose Host names another machine; the user's
    // own extra names come from the "Server Names" setting. Off until the
    // owner of the server turns it on (the plugin always does).
    void setCheckHostNames(bool on) { hosts_.enable(on); }
    void setServerNames(const std::string& text) { hosts_.setServerNames(text); }
    bool checkCredentials(const std::string& token) const { return access_.checkCredentials(token); }
    bool isAddressAllowed(const std::string& address) const { return access_.isAddressAllowed(address); }
    bool requirePassword() const { return access_.requirePassword(); }

    // Asks the listener to end. A stop signalled while the listener does not
    // run stays pending and ends the next run at its first wait.
    void signalStop() { stop_.signal(); }
    // Drops a stop left pending for a start that never ran (a port refused,
    // or one the listener could not bind), which would otherwise end the
    // next run at once. A running listener keeps its stop.
    void discardPendingStop() {
        if (!isRunning()) stop_.clear();
    }

    // Stops the listener, closes every open connection and waits for their
    // threads; messages sent to the calling thread's windows keep being
    // answered meanwhile, so a connection waiting on the window thread
    // finishes. Called by the destructor and by the plugin before it
    // destroys what connections use.
    void shutdown();

    // Connections being served (parked threads do not count).
    std::size_t connectionCount() const;
    // Threads waiting for a connection, and threads started since the
    // server was made (for tests and benchmarks).
    std::size_t parkedThreadCount() const;
    std::size_t threadsStarted() const;

private:
    friend class RequestThread;

    bool prepare() override;
    int run() override;
    void acceptPending();
    void admit(platform::Socket socket, std::uint32_t peer);
    void reapFinished();
    void tellStatus(bool stopped, int error);
    // Called by a connection thread when its connection has ended: the
    // socket is closed and the thread parks while there is room and the
    // listener accepts. True when it has been handed a new connection (its
    // socket and peer are set); false when it must end, and then its object
    // is destroyed (after its thread has ended) by the listener or shutdown().
    bool connectionEnded(RequestThread* connection);
    // Wakes every parked thread so it ends; the caller holds mutex_.
    void retireParkedLocked();

    std::atomic<std::uint32_t> address_;
    std::atomic<std::uint16_t> port_;
    std::atomic<std::uint16_t> boundPort_{0};
    std::atomic<long long> idleTimeout_{0};
    std::atomic<long long> headTimeout_;
    Dispatcher dispatcher_;
    StatusListener statusListener_;  // guarded by mutex_
    AccessSettings access_;
    HostAllowList hosts_;
    LoginThrottle loginThrottle_;
    platform::WakeSignal stop_;
    platform::Socket listening_;  // listener thread only

    mutable std::mutex mutex_;
    std::unordered_map<RequestThread*, std::unique_ptr<RequestThread>> live_;
    std::vector<std::unique_ptr<RequestThread>> parked_;  // the last parked is reused first
    std::vector<std::unique_ptr<RequestThread>> finished_;
    std::unordered_map<std::uint32_t, std::size_t> perAddress_;
    bool accepting_ = false;  // a run of the listener is accepting; threads may park
    std::size_t threadsStarted_ = 0;
    platform::Event allEnded_{true};  // set while live_ and parked_ are empty
};

}  // namespace lyrebox

// A connection's thread: reads requests, checks access, answers them, until
// the client closes, a request fails or the server shuts the connection;
// then it asks the server for the next connection (see Server) and serves
// that one, or ends.
//
// Created and owned by the Server. While a connection is served its thread
// is the only user of the socket, except shutdownSocket(), which the server
// calls (under its lock) to end the connection from outside. The socket and
// peer change only while the thread is parked, by handOverLocked() under the
// server's lock; that lock also guards handedOver_ and wake_'s waits.
#pragma once

#include "platform/Thread.h"
#include "platform/Socket.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace lyrebox {

class Server;
class HttpRequest;
class HttpResponse;

class RequestThread : public platform::Thread {
public:
    RequestThread(platform::Socket socket, Server& server, std::uint32_t peer);
    ~RequestThread() override;

    std::uint32_t peer() const { return peer_; }
    void shutdownSocket() { socket_.shutdownBoth(); }
    void closeSocket() { socket_.close(); }

    // The server's side of parking, all under the server's lock: the parked
    // thread waits (lock held by the caller, released while it waits) until
    // it is handed a connection (true), woken to end, or the time is up.
    bool waitForHandOverLocked(std::unique_lock<std::mutex>& lock, std::chrono::milliseconds wait);
    void handOverLocked(platform::Socket socket, std::uint32_t peer);
    void wakeLocked() {
        woken_ = true;
        wake_.notify_one();
    }

protected:
    int run() override;

private:
    void serve();
    // The checks before a request reaches its handler: the Host name, the
    // lock-out of an address that guessed too often, the credential. A
    // refused request leaves with its status set and the answer's body filled.
    void screen(HttpRequest& request, HttpResponse& response);
    void answer(HttpRequest& request, HttpResponse& response);
    // Lets an error answer reach the client before the close, when request
    // bytes are still unread (a close with unread bytes resets the connection).
    void lingeringClose();

    platform::Socket socket_;
    Server& server_;
    std::uint32_t peer_;
    std::condition_variable wake_;
    bool handedOver_ = false;
    bool woken_ = false;
};

}  // namespace lyrebox

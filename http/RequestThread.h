// One connection: reads requests, checks access, answers them, until the
// client closes, a request fails or the server shuts the connection.
//
// Created and owned by the Server; its thread is the only user of the
// socket, except shutdownSocket(), which the server calls (under its lock)
// to end the connection from outside.
#pragma once

#include "http/Thread.h"
#include "platform/Socket.h"

#include <cstdint>

namespace lyrebox {

class Server;
class HttpRequest;
class HttpResponse;

class RequestThread : public Thread {
public:
    RequestThread(platform::Socket socket, Server& server, std::uint32_t peer);
    ~RequestThread() override;

    std::uint32_t peer() const { return peer_; }
    void shutdownSocket() { socket_.shutdownBoth(); }
    void closeSocket() { socket_.close(); }

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
};

}  // namespace lyrebox

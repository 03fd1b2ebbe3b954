// RAII TCP sockets for the HTTP server and its one outgoing request.
//
// A Socket owns one descriptor and is move-only. Every send loops until all
// bytes are out and never raises SIGPIPE, so a client that goes away shows up
// as a short count, never as a signal that would end the host. Calls on one
// Socket come from one thread, except shutdownBoth(), which another thread
// may call to wake a blocked receive while the owner still holds the socket.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform {

class Socket {
public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { close(); }
    Socket(Socket&& other) noexcept : fd_(other.release()) {}
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    int fd() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void close();
    // Ends both directions; a receive blocked on another thread returns 0.
    void shutdownBoth();
    // Ends our sending direction; the peer reads the end of the data.
    void shutdownWrite();
    // Closes with a reset instead of an orderly end, so the peer sees its
    // connection refused rather than an empty answer.
    void abort();

    // Returns the bytes sent; less than size only when the connection failed.
    std::size_t sendAll(const void* data, std::size_t size);
    // Two pieces (an answer's head and body) as one stream of bytes, in as
    // few system calls as the socket takes them; no copy joins them.
    std::size_t sendAll(const void* first, std::size_t firstSize, const void* second, std::size_t secondSize);
    // Sends what fits without waiting; the bytes sent, 0 when nothing fits
    // now, -1 when the connection failed. Another thread may call it while
    // the owner waits on the socket, as long as no two threads send at once.
    long sendNow(const void* data, std::size_t size);
    // One recv: bytes received, 0 when the peer closed, -1 on error or time-out.
    long recvSome(void* buf, std::size_t size);
    // sendfile loop from fileFd at offset; returns the bytes sent.
    std::int64_t sendFile(int fileFd, std::int64_t offset, std::int64_t count);

    // Zero disables the time-out.
    bool setRecvTimeout(std::chrono::milliseconds timeout);
    bool setNoDelay(bool on);
    bool setNonBlocking(bool on);
    // The bound local port (host order), 0 if unknown.
    std::uint16_t localPort() const;

    // Resolves host to IPv4 and connects within timeout; an invalid Socket on failure.
    static Socket connectTcp(const std::string& host, std::uint16_t port,
                             std::chrono::milliseconds timeout);
    // A non-blocking listening socket with SO_REUSEADDR on address (network
    // byte order, 0 = any) and port (0 = pick one); invalid on failure, with
    // the errno in *error when error is given.
    static Socket listenTcp(std::uint32_t address, std::uint16_t port, int* error = nullptr);

    // Accepts one connection on a listening socket; the accepted socket is
    // blocking. peerAddress receives the caller's IPv4 address (network
    // order). On failure the result is invalid and error holds errno.
    Socket accept(std::uint32_t& peerAddress, int& error);

private:
    int fd_ = -1;
};

// A level-triggered wake-up flag (an eventfd): signal() makes it readable
// until clear(). Safe to signal from any thread.
class WakeSignal {
public:
    WakeSignal();
    ~WakeSignal();
    WakeSignal(const WakeSignal&) = delete;
    WakeSignal& operator=(const WakeSignal&) = delete;

    bool valid() const { return fd_ >= 0; }
    void signal();
    // True if the flag was set.
    bool clear();
    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

enum class WaitResult { Readable, Signalled, TimedOut, Failed };

// Sleeps until the socket is readable or the signal is set (checked first),
// or the time-out (negative: none) passes.
WaitResult waitReadableOrSignal(const Socket& socket, const WakeSignal& signal,
                                std::chrono::milliseconds timeout);

// Dotted-decimal text of an IPv4 address in network byte order.
std::string ipv4ToText(std::uint32_t address);

}  // namespace platform

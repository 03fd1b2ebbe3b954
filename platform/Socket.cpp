#include "platform/Socket.h"

#include <csignal>
#include <pthread.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>

namespace platform {

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.release();
    }
    return *this;
}

int Socket::release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
}

void Socket::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

void Socket::shutdownBoth() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
}

void Socket::shutdownWrite() {
    if (fd_ >= 0) ::shutdown(fd_, SHUT_WR);
}

void Socket::abort() {
    if (fd_ < 0) return;
    linger lin{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &lin, sizeof lin);
    close();
}

std::size_t Socket::sendAll(const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    std::size_t sent = 0;
    while (sent < size && fd_ >= 0) {
        ssize_t n = ::send(fd_, p + sent, size - sent, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    return sent;
}

std::size_t Socket::sendAll(const void* first, std::size_t firstSize, const void* second, std::size_t secondSize) {
    std::size_t sent = 0;
    const std::size_t total = firstSize + secondSize;
    while (sent < total && fd_ >= 0) {
        iovec parts[2];
        int count = 0;
        if (sent < firstSize) {
            parts[count++] = {const_cast<char*>(static_cast<const char*>(first)) + sent, firstSize - sent};
            if (secondSize) parts[count++] = {const_cast<void*>(second), secondSize};
        } else {
            parts[count++] = {const_cast<char*>(static_cast<const char*>(second)) + (sent - firstSize),
                              total - sent};
        }
        msghdr message{};
        message.msg_iov = parts;
        message.msg_iovlen = static_cast<std::size_t>(count);
        const ssize_t n = ::sendmsg(fd_, &message, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    return sent;
}

long Socket::sendNow(const void* data, std::size_t size) {
    if (fd_ < 0) return -1;
    for (;;) {
        const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        return errno == EAGAIN || errno == EWOULDBLOCK ? 0 : -1;
    }
}

long Socket::recvSome(void* buf, std::size_t size) {
    if (fd_ < 0) return -1;
    for (;;) {
        ssize_t n = ::recv(fd_, buf, size, 0);
        if (n < 0 && errno == EINTR) continue;
        return static_cast<long>(n);
    }
}

namespace {

// sendfile cannot be told MSG_NOSIGNAL: writing to a connection the client
// has reset raises SIGPIPE, which would end the host. While this guard lives
// the signal stays pending on this thread instead; the destructor discards
// the one a failed send caused and restores the thread's mask. A send that
// went out whole raised none, so it costs two system calls only.
class SigpipeGuard {
public:
    SigpipeGuard() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
        // Unblocked until now, a SIGPIPE of this thread would have been
        // delivered already: only a blocked one can be pending from before.
        wasBlocked_ = sigismember(&previous_, SIGPIPE) == 1;
        if (wasBlocked_) {
            sigset_t pending;
            sigemptyset(&pending);
            sigpending(&pending);
            alreadyPending_ = sigismember(&pending, SIGPIPE) == 1;
        }
    }
    ~SigpipeGuard() {
        if (failed_ && !alreadyPending_) {
            const timespec noWait{0, 0};
            while (sigtimedwait(&pipe_, nullptr, &noWait) > 0) {
            }
        }
        if (!wasBlocked_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    SigpipeGuard(const SigpipeGuard&) = delete;
    SigpipeGuard& operator=(const SigpipeGuard&) = delete;

    // The send stopped short: it may have raised the signal.
    void sendFailed() { failed_ = true; }

private:
    sigset_t pipe_;
    sigset_t previous_;
    bool wasBlocked_ = false;
    bool alreadyPending_ = false;
    bool failed_ = false;
};

}  // namespace

std::int64_t Socket::sendFile(int fileFd, std::int64_t offset, std::int64_t count) {
    SigpipeGuard guard;
    std::int64_t sent = 0;
    off_t pos = static_cast<off_t>(offset);
    while (sent < count && fd_ >= 0) {
        std::size_t chunk = static_cast<std::size_t>(std::min<std::int64_t>(count - sent, 1 << 30));
        ssize_t n = ::sendfile(fd_, fileFd, &pos, chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (n == 0) break;  // file shorter than announced
        sent += n;
    }
    if (sent < count) guard.sendFailed();
    return sent;
}

bool Socket::setRecvTimeout(std::chrono::milliseconds timeout) {
    if (timeout.count() < 0) timeout = std::chrono::milliseconds(0);
    timeval tv{};
    tv.tv_sec = static_cast<time_t>(timeout.count() / 1000);
    tv.tv_usec = static_cast<suseconds_t>((timeout.count() % 1000) * 1000);
    return ::setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

bool Socket::setNoDelay(bool on) {
    int v = on ? 1 : 0;
    return ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &v, sizeof v) == 0;
}

bool Socket::setNonBlocking(bool on) {
    int flags = ::fcntl(fd_, F_GETFL, 0);
    if (flags < 0) return false;
    flags = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return ::fcntl(fd_, F_SETFL, flags) == 0;
}

std::uint16_t Socket::localPort() const {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

Socket Socket::connectTcp(const std::string& host, std::uint16_t port,
                          std::chrono::milliseconds timeout) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found) return Socket();
    sockaddr_in addr = *reinterpret_cast<sockaddr_in*>(found->ai_addr);
    ::freeaddrinfo(found);
    addr.sin_port = htons(port);

    Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!s.valid()) return Socket();
    if (::connect(s.fd(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (errno != EINPROGRESS) return Socket();
        pollfd p{s.fd(), POLLOUT, 0};
        int ms = timeout.count() > INT_MAX ? INT_MAX : static_cast<int>(timeout.count());
        int r;
        do {
            r = ::poll(&p, 1, ms);
        } while (r < 0 && errno == EINTR);
        if (r <= 0) return Socket();
        int err = 0;
        socklen_t len = sizeof err;
        if (::getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &err, &len) != 0 || err != 0) return Socket();
    }
    if (!s.setNonBlocking(false)) return Socket();
    return s;
}

Socket Socket::listenTcp(std::uint32_t address, std::uint16_t port, int* error) {
    auto failed = [error] {
        if (error) *error = errno;
        return Socket();
    };
    Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!s.valid()) return failed();
    int one = 1;
    ::setsockopt(s.fd(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = address;
    addr.sin_port = htons(port);
    if (::bind(s.fd(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return failed();
    if (::listen(s.fd(), SOMAXCONN) != 0) return failed();
    if (error) *error = 0;
    return s;
}

Socket Socket::accept(std::uint32_t& peerAddress, int& error) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    int fd;
    do {
        fd = ::accept4(fd_, reinterpret_cast<sockaddr*>(&addr), &len, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        error = errno;
        return Socket();
    }
    error = 0;
    peerAddress = addr.sin_family == AF_INET ? addr.sin_addr.s_addr : 0;
    return Socket(fd);
}

WakeSignal::WakeSignal() : fd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

WakeSignal::~WakeSignal() {
    if (fd_ >= 0) ::close(fd_);
}

void WakeSignal::signal() {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(fd_, &one, sizeof one);
}

bool WakeSignal::clear() {
    std::uint64_t value = 0;
    return ::read(fd_, &value, sizeof value) == static_cast<ssize_t>(sizeof value) && value != 0;
}

WaitResult waitReadableOrSignal(const Socket& socket, const WakeSignal& signal,
                                std::chrono::milliseconds timeout) {
    pollfd fds[2] = {{signal.fd(), POLLIN, 0}, {socket.fd(), POLLIN, 0}};
    int ms = timeout.count() < 0 ? -1
             : timeout.count() > INT_MAX ? INT_MAX : static_cast<int>(timeout.count());
    int r;
    do {
        r = ::poll(fds, 2, ms);
    } while (r < 0 && errno == EINTR);
    if (r < 0) return WaitResult::Failed;
    if (r == 0) return WaitResult::TimedOut;
    if (fds[0].revents & POLLIN) return WaitResult::Signalled;
    if (fds[1].revents & (POLLIN | POLLERR | POLLHUP)) return WaitResult::Readable;
    return WaitResult::Failed;
}

std::string ipv4ToText(std::uint32_t address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr a{};
    a.s_addr = address;
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

}  // namespace platform

// Limits and protocol constants of the HTTP server, in one place.
#pragma once

#include <chrono>
#include <cstddef>

namespace lyrebox::http {

// A request head (request line, headers, empty line) must fit this buffer;
// a longer one is answered 431 and the connection closes.
inline constexpr std::size_t kHeadBufferSize = 40960;
// Largest request body read; a longer announced body is answered 413.
inline constexpr std::size_t kMaxBodySize = 1024 * 1024;
// Largest answer body the outgoing request reads.
inline constexpr std::size_t kMaxResponseBodySize = 4 * 1024 * 1024;
// The outgoing request (another server's stream play list): the time to
// connect, and to have the whole answer, connecting included.
inline constexpr std::chrono::milliseconds kFetchConnectTimeout{5'000};
inline constexpr std::chrono::milliseconds kFetchTotalTimeout{15'000};

// A request head must arrive whole within this time of its first byte (of
// the connection, for the first request).
inline constexpr std::chrono::seconds kHeadTimeout{30};

inline constexpr std::size_t kMaxConnectionsPerAddress = 256;
inline constexpr std::size_t kMaxConnections = 4096;

// Connection threads need little stack; a small one keeps idle connections cheap.
inline constexpr std::size_t kConnectionStackSize = 256 * 1024;

// A connection's thread that has finished waits this long for the next
// accepted connection before it ends, so a new connection seldom costs a
// thread start; at most this many wait at once.
inline constexpr std::chrono::seconds kParkedThreadWait{5};
inline constexpr std::size_t kMaxParkedThreads = 32;

// How long the listener pauses when accept runs out of descriptors.
inline constexpr std::chrono::milliseconds kAcceptBackoff{100};

inline constexpr const char* kAuthRealm = "Tunelet";

// Password guessing: this many wrong credentials from one address within
// the window lock that address out for the lock-out time, whatever it sends.
inline constexpr std::size_t kMaxFailedLogins = 10;
inline constexpr std::chrono::seconds kFailedLoginWindow{60};
inline constexpr std::chrono::seconds kLoginLockout{60};
// Addresses whose failures are remembered; the one seen longest ago makes
// room for a new one.
inline constexpr std::size_t kMaxTrackedLoginAddresses = 1024;

}  // namespace lyrebox::http

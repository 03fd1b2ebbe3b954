// Makes password guessing slow: counts wrong credentials per client address
// and locks an address out for a while after too many in a short time.
//
// Shared by every connection thread of a server; one mutex guards the
// table. The table holds at most http::kMaxTrackedLoginAddresses addresses,
// so a flood of addresses costs bounded memory (the address seen longest ago
// is forgotten first). The clock is injected so tests can move time.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <unordered_map>

#include "http/HttpLimits.h"

namespace lyrebox {

class LoginThrottle {
public:
    using Clock = std::chrono::steady_clock;
    using Now = std::function<Clock::time_point()>;

    explicit LoginThrottle(Now now = &Clock::now);

    // How long the address must still wait (whole seconds, rounded up); zero
    // when it may try.
    std::chrono::seconds lockedOutFor(std::uint32_t address) const;
    // One wrong credential from the address.
    void recordFailure(std::uint32_t address);

    std::size_t trackedAddresses() const;

private:
    struct Record {
        // The times of the most recent failures, a ring of kMaxFailedLogins.
        std::array<Clock::time_point, http::kMaxFailedLogins> failures{};
        std::size_t count = 0;  // failures recorded, saturating at the ring size
        std::size_t next = 0;   // ring slot of the next failure
        Clock::time_point lockedUntil{};
        Clock::time_point lastSeen{};
    };

    Record& recordForLocked(std::uint32_t address, Clock::time_point now);

    Now now_;
    mutable std::mutex mutex_;
    std::unordered_map<std::uint32_t, Record> records_;
};

}  // namespace lyrebox

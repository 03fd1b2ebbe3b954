#include "http/LoginThrottle.h"

#include <algorithm>

namespace lyrebox {

LoginThrottle::LoginThrottle(Now now) : now_(std::move(now)) {}

std::chrono::seconds LoginThrottle::lockedOutFor(std::uint32_t address) const {
    const Clock::time_point now = now_();
    std::lock_guard lock(mutex_);
    const auto found = records_.find(address);
    if (found == records_.end() || found->second.lockedUntil <= now) return std::chrono::seconds(0);
    const auto left = found->second.lockedUntil - now;
    return std::chrono::ceil<std::chrono::seconds>(left);
}

void LoginThrottle::recordFailure(std::uint32_t address) {
    const Clock::time_point now = now_();
    std::lock_guard lock(mutex_);
    Record& record = recordForLocked(address, now);
    record.lastSeen = now;
    record.failures[record.next] = now;
    record.next = (record.next + 1) % record.failures.size();
    record.count = std::min(record.count + 1, record.failures.size());
    // The oldest of the last kMaxFailedLogins failures sits in the slot the
    // next one will take.
    const Clock::time_point oldest = record.failures[record.next];
    if (record.count == record.failures.size() && now - oldest < http::kFailedLoginWindow)
        record.lockedUntil = now + http::kLoginLockout;
}

std::size_t LoginThrottle::trackedAddresses() const {
    std::lock_guard lock(mutex_);
    return records_.size();
}

LoginThrottle::Record& LoginThrottle::recordForLocked(std::uint32_t address, Clock::time_point now) {
    auto found = records_.find(address);
    if (found != records_.end()) return found->second;
    if (records_.size() >= http::kMaxTrackedLoginAddresses) {
        // An address still locked out is kept over one that is not, so a
        // flood of new addresses cannot free a guesser early.
        auto victim = std::min_element(records_.begin(), records_.end(), [now](const auto& a, const auto& b) {
            const bool aLocked = a.second.lockedUntil > now;
            const bool bLocked = b.second.lockedUntil > now;
            if (aLocked != bLocked) return !aLocked;
            return a.second.lastSeen < b.second.lastSeen;
        });
        records_.erase(victim);
    }
    return records_[address];
}

}  // namespace lyrebox

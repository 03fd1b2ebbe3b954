// Counts the outgoing fetches running for each client address and admits at
// most a fixed number at once per address; a fetch beyond it is refused at
// once instead of queueing.
//
// Thread contract: any thread; one mutex guards the counts. A Pass must end
// before the gate is destroyed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace lyrebox {

class FetchGate {
public:
    explicit FetchGate(std::size_t perAddress) : perAddress_(perAddress) {}
    FetchGate(const FetchGate&) = delete;
    FetchGate& operator=(const FetchGate&) = delete;

    // Holds one of the address's places while it lives; admitted() is false
    // when none was free.
    class Pass {
    public:
        Pass(FetchGate& gate, std::uint32_t address) : gate_(gate), address_(address) {
            std::lock_guard lock(gate_.mutex_);
            std::size_t& running = gate_.running_[address_];
            admitted_ = running < gate_.perAddress_;
            if (admitted_) ++running;
            else if (running == 0) gate_.running_.erase(address_);
        }
        ~Pass() {
            if (!admitted_) return;
            std::lock_guard lock(gate_.mutex_);
            const auto it = gate_.running_.find(address_);
            if (it != gate_.running_.end() && --it->second == 0) gate_.running_.erase(it);
        }
        Pass(const Pass&) = delete;
        Pass& operator=(const Pass&) = delete;
        bool admitted() const { return admitted_; }

    private:
        FetchGate& gate_;
        std::uint32_t address_;
        bool admitted_ = false;
    };

private:
    std::size_t perAddress_;
    std::mutex mutex_;
    // Only addresses with a running fetch have an entry, so the table stays small.
    std::unordered_map<std::uint32_t, std::size_t> running_;
};

}  // namespace lyrebox

// The live list of shared directories.
//
// Written on the player's window thread (settings load, the configuration
// dialog), read on connection threads for every library request. A reader
// takes a snapshot and keeps using it; a writer replaces the whole list in one
// atomic store, so no reader ever sees half of an old and half of a new list.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace lyrebox {

class SharedDirList {
public:
    using List = std::vector<std::string>;
    using Snapshot = std::shared_ptr<const List>;

    SharedDirList() : list_(std::make_shared<const List>()) {}
    explicit SharedDirList(List dirs) : list_(std::make_shared<const List>(std::move(dirs))) {}

    Snapshot snapshot() const { return list_.load(std::memory_order_acquire); }
    void replace(List dirs) { list_.store(std::make_shared<const List>(std::move(dirs)), std::memory_order_release); }

private:
    std::atomic<Snapshot> list_;
};

}  // namespace lyrebox

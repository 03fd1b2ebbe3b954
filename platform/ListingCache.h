// Listings of big directories on local file systems, kept between requests
// so that listing such a directory again does not stat every file again.
//
// A kept listing is checked by inotify: the watch on a directory is in
// place before the directory is read, and every listing first reads the
// events waiting and drops each directory that had one. The kernel queues an
// event inside the call that makes the change, so a change completed before
// a listing starts is always seen. Records that events on the directory do
// not cover are read afresh every time: "." and "..", folders, links,
// entries of unknown type and files with more than one name (a change made
// through another name is reported to that name's folder only); and a kept
// listing is read again once it is Bounds::maxAge old.
//
// Thread contract: list() runs on any number of threads at once. mutex_
// guards every field below it; it is held to read the events, to look a
// directory up, to add a watch and to store a listing, never while a
// directory is read or its files stat-ed. No exception leaves list(): a
// failure gives a fresh listing.
#pragma once

#include "platform/DirectorySearch.h"
#include "platform/OwnedDescriptor.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <sys/types.h>
#include <utility>
#include <unordered_map>
#include <vector>

namespace platform {

class ListingCache {
public:
    struct Bounds {
        // Below this many items ("." and ".." included) a fresh listing
        // costs a millisecond or so here (2-3 us a stat): not worth one of
        // the user's inotify watches and the memory.
        std::size_t minItems = 500;
        // A directory smaller than this (st_size) is read without a watch
        // until it proved big: every item takes at least 10 bytes of it on
        // ext4, xfs, tmpfs, f2fs and vfat (on btrfs, names of 5 characters
        // and more), so most small folders cost no watch. ZFS gives the
        // number of items instead: there the second listing is kept.
        std::uint64_t minDirectoryBytes = 5000;
        // Least recently used directories go first past either bound.
        std::size_t maxDirectories = 12;
        // About 100 bytes a record: some 20 MB at most.
        std::size_t maxRecords = 200000;
        // inotify does not see a write through a second name given to a
        // file after its folder's listing was kept (the event goes to the
        // other name's folder), nor one through a shared mapping: past this
        // age a listing is read again, so such a change shows this late at
        // most. Browsing lists a folder again within seconds.
        std::chrono::milliseconds maxAge{30000};
    };

    ListingCache();
    explicit ListingCache(Bounds bounds);
    ~ListingCache();
    ListingCache(const ListingCache&) = delete;
    ListingCache& operator=(const ListingCache&) = delete;

    // What listDirectoryItems(directory) gives: the same records in the same
    // order, "." and ".." first.
    std::vector<FindRecord> list(const std::string& directory);

    // Directories whose listing is kept, and listings served from one so far.
    std::size_t keptDirectories() const;
    std::uint64_t listingsServedKept() const;

private:
    struct Listing;
    struct Entry {
        std::shared_ptr<const Listing> listing;
        std::uint64_t lastUse = 0;
        std::chrono::steady_clock::time_point stored;
    };

    // Directories read without a watch that had minItems items or more,
    // the last few of them.
    static constexpr std::size_t kProvedBigRemembered = 32;

    std::vector<FindRecord> listOrThrow(const std::string& directory);
    bool provedBigLocked(dev_t device, ino_t inode) const;
    void rememberBigLocked(dev_t device, ino_t inode);
    // Reads the events waiting and drops what they concern.
    void drainEventsLocked();
    void noteEventLocked(int wd, std::uint32_t mask);
    void forgetAllLocked();
    // Forgets the listing kept under wd (and its watch, unless in use).
    void dropLocked(int wd);
    bool eraseLocked(int wd);
    // Removes the watch unless a listing is kept or being read under it.
    void releaseWatchLocked(int wd);
    // False when the bounds leave no room for it.
    bool storeLocked(int wd, std::shared_ptr<const Listing> listing);
    // Ends a read begun under watch wd at sequence start: keeps the listing
    // when no event for it came since.
    void finishReadLocked(int wd, std::uint64_t start, std::shared_ptr<const Listing> listing);

    const Bounds bounds_;
    mutable std::mutex mutex_;
    OwnedDescriptor inotify_;
    std::unordered_map<int, Entry> entries_;  // by watch descriptor
    std::unordered_map<int, int> reading_;    // watch -> reads under it in progress
    // While reads are in progress: the sequence number of the last event for
    // each watch, and of the last loss of events, to tell whether a read
    // may be kept.
    std::unordered_map<int, std::uint64_t> lastEvent_;
    std::uint64_t lastLoss_ = 0;
    std::deque<std::pair<dev_t, ino_t>> provedBig_;
    std::uint64_t sequence_ = 0;
    std::uint64_t useClock_ = 0;
    std::size_t records_ = 0;
    std::uint64_t served_ = 0;
};

}  // namespace platform

#include "platform/ListingCache.h"

#include "platform/DirectoryReading.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>

namespace platform {

namespace {

constexpr std::uint32_t kWatchedEvents = IN_MODIFY | IN_ATTRIB | IN_CLOSE_WRITE | IN_CREATE | IN_DELETE |
                                         IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// File systems whose every change goes through this kernel, so inotify sees
// it. Network and FUSE file systems change behind its back; anything not
// named here is never kept.
bool isLocalFileSystem(int fd) {
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0) return false;
    switch (static_cast<std::uint32_t>(fs.f_type)) {
        case 0xEF53u:      // ext2, ext3, ext4
        case 0x58465342u:  // xfs
        case 0x9123683Eu:  // btrfs
        case 0x01021994u:  // tmpfs
        case 0xF2F52010u:  // f2fs
        case 0x794C7630u:  // overlayfs
        case 0x2FC12FC1u:  // zfs
        case 0x4D44u:      // vfat, msdos
        case 0x2011BAB0u:  // exfat
        case 0x7366746Eu:  // ntfs3
        case 0x5346544Eu:  // ntfs
        case 0x3153464Au:  // jfs
        case 0x52654973u:  // reiserfs
            return true;
        default:
            return false;
    }
}

bool sameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};
using DirHandle = std::unique_ptr<DIR, DirCloser>;

std::vector<FindRecord> freshListing(DIR* dir, const std::string& directory, const struct stat& self) {
    std::vector<FindRecord> items;
    reading::appendDotEntries(::dirfd(dir), self, items);
    reading::readEntries(dir, directory,
                         [&](FindRecord&& record, unsigned char, const struct stat&) { items.push_back(std::move(record)); });
    return items;
}

}  // namespace

// The kept records of one directory, after "." and "..", in the order it
// gave them, with what is needed to tell it is still the same directory and
// to read again the entries events on it do not cover.
struct ListingCache::Listing {
    dev_t device = 0;
    ino_t inode = 0;
    timespec modified {};
    timespec changed {};
    std::vector<FindRecord> records;
    struct Source {
        unsigned char type = DT_UNKNOWN;  // the entry's d_type, to read it again with
        bool kept = false;                // a file named once, reached directly
    };
    std::vector<Source> sources;
};

ListingCache::ListingCache() : ListingCache(Bounds{}) {}

ListingCache::ListingCache(Bounds bounds) : bounds_(bounds) {}

// The watches go with the inotify descriptor.
ListingCache::~ListingCache() = default;

std::size_t ListingCache::keptDirectories() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

std::uint64_t ListingCache::listingsServedKept() const {
    std::lock_guard lock(mutex_);
    return served_;
}

std::vector<FindRecord> ListingCache::list(const std::string& directory) {
    try {
        return listOrThrow(directory);
    } catch (...) {
        // Out of memory, most likely: whatever was being read is not kept.
        try {
            return listDirectoryItems(directory);
        } catch (...) {
            return {};
        }
    }
}

std::vector<FindRecord> ListingCache::listOrThrow(const std::string& directory) {
    const int raw = ::open(directory.empty() ? "/" : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (raw < 0) return {};
    DirHandle dir(::fdopendir(raw));
    if (!dir) {
        ::close(raw);
        return {};
    }
    const int fd = ::dirfd(dir.get());
    struct stat self {};
    if (::fstat(fd, &self) != 0) return {};
    if (!isLocalFileSystem(fd)) return freshListing(dir.get(), directory, self);

    std::shared_ptr<const Listing> kept;
    int wd = -1;
    std::uint64_t start = 0;
    {
        std::lock_guard lock(mutex_);
        drainEventsLocked();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            const Listing& listing = *it->second.listing;
            if (listing.device != self.st_dev || listing.inode != self.st_ino) continue;
            // The same directory, unchanged: inotify said nothing, and its
            // times agree (a path may name another directory than before).
            if (sameTime(listing.modified, self.st_mtim) && sameTime(listing.changed, self.st_ctim) &&
                std::chrono::steady_clock::now() - it->second.stored < bounds_.maxAge) {
                kept = it->second.listing;
                it->second.lastUse = ++useClock_;
                ++served_;
            } else {
                dropLocked(it->first);
            }
            break;
        }
        const bool mayBeBig = static_cast<std::uint64_t>(self.st_size) >= bounds_.minDirectoryBytes ||
                              provedBigLocked(self.st_dev, self.st_ino);
        if (!kept && mayBeBig) {
            if (!inotify_.valid()) inotify_.adopt(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
            if (inotify_.valid()) {
                // Through the open descriptor, so the watch is on the very
                // directory read below, whatever its path names meanwhile.
                // Added under the lock: no one may remove it before this read
                // is counted in reading_.
                char selfPath[40];
                std::snprintf(selfPath, sizeof selfPath, "/proc/self/fd/%d", fd);
                wd = ::inotify_add_watch(inotify_.get(), selfPath, kWatchedEvents);
            }
            if (wd >= 0) {
                ++reading_[wd];
                start = sequence_;
            }
        }
    }

    if (kept) {
        std::vector<FindRecord> items;
        items.reserve(kept->records.size() + 2);
        reading::appendDotEntries(fd, self, items);
        for (std::size_t i = 0; i < kept->records.size(); ++i) {
            const auto& source = kept->sources[i];
            if (source.kept) {
                items.push_back(kept->records[i]);
            } else if (auto fresh = reading::readEntry(fd, directory, kept->records[i].name.c_str(), source.type)) {
                items.push_back(std::move(*fresh));
            }
        }
        return items;
    }
    // No watch (a small directory, no inotify, or no watch left: ENOSPC):
    // a plain listing.
    if (wd < 0) {
        auto items = freshListing(dir.get(), directory, self);
        if (items.size() >= bounds_.minItems) {
            std::lock_guard lock(mutex_);
            rememberBigLocked(self.st_dev, self.st_ino);
        }
        return items;
    }

    // Ends the read in every case, an exception included.
    struct ReadEnd {
        ListingCache& cache;
        int wd;
        std::uint64_t start;
        std::shared_ptr<const Listing> listing;
        ~ReadEnd() {
            std::lock_guard lock(cache.mutex_);
            cache.finishReadLocked(wd, start, std::move(listing));
        }
    } end{*this, wd, start, nullptr};

    std::vector<FindRecord> items;
    reading::appendDotEntries(fd, self, items);
    const std::size_t dots = items.size();
    std::vector<Listing::Source> sources;
    reading::readEntries(dir.get(), directory, [&](FindRecord&& record, unsigned char type, const struct stat& st) {
        const bool covered =
            type == DT_REG && S_ISREG(st.st_mode) && st.st_nlink == 1 && st.st_dev == self.st_dev;
        sources.push_back({type, covered});
        items.push_back(std::move(record));
    });
    if (items.size() >= bounds_.minItems && sources.size() <= bounds_.maxRecords) {
        auto listing = std::make_shared<Listing>();
        listing->device = self.st_dev;
        listing->inode = self.st_ino;
        listing->modified = self.st_mtim;
        listing->changed = self.st_ctim;
        listing->records.assign(items.begin() + static_cast<std::ptrdiff_t>(dots), items.end());
        listing->sources = std::move(sources);
        end.listing = std::move(listing);
    }
    return items;
}

bool ListingCache::provedBigLocked(dev_t device, ino_t inode) const {
    for (const auto& [d, i] : provedBig_) {
        if (d == device && i == inode) return true;
    }
    return false;
}

void ListingCache::rememberBigLocked(dev_t device, ino_t inode) {
    if (provedBigLocked(device, inode)) return;
    if (provedBig_.size() >= kProvedBigRemembered) provedBig_.pop_front();
    provedBig_.emplace_back(device, inode);
}

void ListingCache::drainEventsLocked() {
    if (!inotify_.valid()) return;
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t n = ::read(inotify_.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) return;
        if (n <= 0) {
            // A read that fails otherwise may have lost events.
            noteEventLocked(-1, IN_Q_OVERFLOW);
            return;
        }
        for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= n;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            noteEventLocked(event->wd, event->mask);
        }
    }
}

void ListingCache::noteEventLocked(int wd, std::uint32_t mask) {
    ++sequence_;
    if ((mask & IN_Q_OVERFLOW) != 0) {
        lastLoss_ = sequence_;
        forgetAllLocked();
        return;
    }
    if (!reading_.empty()) lastEvent_[wd] = sequence_;
    // IN_IGNORED too: the watch is gone already (its directory deleted, or
    // removed here), and removing it again does nothing.
    dropLocked(wd);
}

void ListingCache::forgetAllLocked() {
    std::vector<int> watches;
    watches.reserve(entries_.size());
    for (const auto& [wd, entry] : entries_) watches.push_back(wd);
    for (int wd : watches) dropLocked(wd);
}

void ListingCache::dropLocked(int wd) {
    if (eraseLocked(wd)) releaseWatchLocked(wd);
}

bool ListingCache::eraseLocked(int wd) {
    auto it = entries_.find(wd);
    if (it == entries_.end()) return false;
    records_ -= it->second.listing->records.size();
    entries_.erase(it);
    return true;
}

void ListingCache::releaseWatchLocked(int wd) {
    if (entries_.contains(wd) || reading_.contains(wd)) return;
    ::inotify_rm_watch(inotify_.get(), wd);
}

bool ListingCache::storeLocked(int wd, std::shared_ptr<const Listing> listing) {
    // A listing kept by another read of the same directory meanwhile: the
    // watch stays for this one.
    eraseLocked(wd);
    // Another watch on the same directory would be a deleted one whose
    // inode number came back; its events are read already.
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->second.listing->device == listing->device && it->second.listing->inode == listing->inode) {
            dropLocked(it->first);
            break;
        }
    }
    const std::size_t size = listing->records.size();
    while (!entries_.empty() &&
           (entries_.size() >= bounds_.maxDirectories || records_ + size > bounds_.maxRecords)) {
        auto oldest = entries_.begin();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->second.lastUse < oldest->second.lastUse) oldest = it;
        }
        dropLocked(oldest->first);
    }
    if (bounds_.maxDirectories == 0 || size > bounds_.maxRecords) return false;
    entries_[wd] = Entry{std::move(listing), ++useClock_, std::chrono::steady_clock::now()};
    records_ += size;
    return true;
}

void ListingCache::finishReadLocked(int wd, std::uint64_t start, std::shared_ptr<const Listing> listing) {
    drainEventsLocked();
    const auto last = lastEvent_.find(wd);
    const bool quiet = lastLoss_ <= start && (last == lastEvent_.end() || last->second <= start);
    if (auto it = reading_.find(wd); it != reading_.end() && --it->second == 0) reading_.erase(it);
    if (reading_.empty()) lastEvent_.clear();
    if (!listing || !quiet || !storeLocked(wd, std::move(listing))) releaseWatchLocked(wd);
}

}  // namespace platform

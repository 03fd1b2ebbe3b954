#include "library/IndexWalk.h"

#include "library/FolderRanges.h"
#include "library/LibraryText.h"
#include "platform/DirectoryEntries.h"
#include "platform/DirectorySearch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace lyrebox {

bool EntryChannel::push(Batch batch) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return batches_.size() < kMaxBatches || cancelled_; });
    if (cancelled_) {
        return false;
    }
    batches_.push_back(std::move(batch));
    waiting_.store(batches_.size(), std::memory_order_relaxed);
    changed_.notify_all();
    return true;
}

void EntryChannel::finish() {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    changed_.notify_all();
}

void EntryChannel::cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    changed_.notify_all();
}

std::optional<EntryChannel::Batch> EntryChannel::pop() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return !batches_.empty() || finished_; });
    if (batches_.empty()) {
        return std::nullopt;
    }
    Batch batch = std::move(batches_.front());
    batches_.pop_front();
    waiting_.store(batches_.size(), std::memory_order_relaxed);
    changed_.notify_all();
    return batch;
}

void EntryChannel::recycle(Batch batch) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spares_.size() < kMaxBatches) {  // more than can be in flight are never needed
        spares_.push_back(std::move(batch));
    }
}

EntryChannel::Batch EntryChannel::spare() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spares_.empty()) {
        return {};
    }
    Batch batch = std::move(spares_.back());
    spares_.pop_back();
    return batch;
}

bool mayBeKept(const WalkItem& item, const std::set<std::string>& extensions) {
    if (item.name == "." || item.name == "..") {
        return false;
    }
    // A regular file is decided by its name; links and unknown types need a look.
    return item.type != DT_REG || extensions.count(fileExtension(item.name)) != 0;
}

bool isKept(std::string_view name, std::uint32_t attributes, const std::set<std::string>& extensions) {
    if (name == "." || name == "..") {
        return false;
    }
    return isDirectory(attributes) || extensions.count(fileExtension(name)) != 0;
}

namespace {

struct WalkEnded {};

// A directory as the file system knows it, whatever path leads there.
struct DirectoryId {
    dev_t device;
    ino_t inode;
    bool operator==(const DirectoryId&) const = default;
};

std::optional<DirectoryId> identify(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return DirectoryId{status.st_dev, status.st_ino};
}

// The attributes an indexed entry keeps, as the directory search reports them.
std::uint32_t attributesOf(const struct stat& status) {
    std::uint32_t attributes =
        S_ISDIR(status.st_mode) ? platform::FILE_ATTRIBUTE_DIRECTORY : platform::FILE_ATTRIBUTE_ARCHIVE;
    if ((status.st_mode & S_IWUSR) == 0) {
        attributes |= platform::FILE_ATTRIBUTE_READONLY;
    }
    return attributes;
}

// A link to a file counts only when its final target has a playable name too.
bool linkTargetIsPlayable(int directoryFd, const platform::DirectoryEntry& found,
                          const std::set<std::string>& extensions) {
    if (found.type != DT_LNK && found.type != DT_UNKNOWN) {
        return true;
    }
    struct stat link {};
    if (::fstatat(directoryFd, found.name, &link, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISLNK(link.st_mode)) {
        return true;
    }
    std::error_code error;
    const auto target = std::filesystem::canonical(
        std::filesystem::path("/proc/self/fd") / std::to_string(directoryFd) / found.name, error);
    return !error && extensions.count(fileExtension(target.filename().string())) != 0;
}

class Walker {
public:
    Walker(const std::set<std::string>& extensions, const std::atomic<bool>& stop, EntryChannel& channel,
           const std::function<void(FoundEntry&)>& prepare, std::vector<FolderRange>* folders)
        : extensions_(extensions), stop_(stop), channel_(channel), prepare_(prepare), folders_(folders) {}

    void walkEntry(const std::string& entry) {
        const std::string path = stripTrailingSlashes(entry);
        if (path.empty()) {
            return;
        }
        const auto item = platform::lookupPath(path);
        if (item && !isDirectory(item->attributes)) {
            const auto slash = path.rfind('/');
            FoundEntry& file = next();
            file.path.assign(path);
            take(file, item->attributes, item->size, slash == std::string::npos ? 0 : slash + 1);
            return;
        }
        // Below the root "/" the paths begin "/x", so the part below it starts at 1.
        shareLength_ = path == "/" ? 1 : path.size() + 1;
        std::vector<DirectoryId> ancestors;
        walkDirectory(path, identify(path), ancestors);
    }

    void flush() {
        if (used_ == 0) {
            return;
        }
        batch_.resize(used_);  // a batch handed back may have had more
        if (!channel_.push(std::move(batch_))) {
            throw WalkEnded{};
        }
        batch_ = channel_.spare();
        used_ = 0;
    }

private:
    struct Subdirectory {
        std::string path;
        DirectoryId id;
        std::int32_t entry;  // its number among the entries taken
    };

    // ancestors holds the directories above, so that a symbolic link back up
    // the tree is not followed round and round.
    void walkDirectory(const std::string& path, std::optional<DirectoryId> id, std::vector<DirectoryId>& ancestors) {
        if (stop_.load(std::memory_order_relaxed)) {
            throw WalkEnded{};
        }
        if (id && std::find(ancestors.begin(), ancestors.end(), *id) != ancestors.end()) {
            return;
        }
        std::vector<Subdirectory> subdirectories;
        {
            platform::DirectoryEntries directory(path.empty() ? "/" : path.c_str(), listing_);
            if (!directory.valid()) {
                return;
            }
            const int fd = directory.fd();
            while (const auto found = directory.next()) {
                if (!mayBeKept(WalkItem{found->name, found->type}, extensions_)) {
                    continue;
                }
                struct stat status {};
                if (::fstatat(fd, found->name, &status, 0) != 0 &&
                    ::fstatat(fd, found->name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
                    continue;
                }
                // Regular files and folders only: a FIFO, socket or device
                // with a playable name is no music.
                if (!S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode)) {
                    continue;
                }
                const std::uint32_t attributes = attributesOf(status);
                // A regular file's name has passed mayBeKept already.
                if (found->type != DT_REG && !isKept(found->name, attributes, extensions_)) {
                    continue;
                }
                if (!isDirectory(attributes) && !linkTargetIsPlayable(fd, *found, extensions_)) {
                    continue;
                }
                FoundEntry& entry = next();
                entry.path.assign(path);
                appendPathName(entry.path, found->name);
                if (isDirectory(attributes)) {
                    subdirectories.push_back(
                        Subdirectory{entry.path, DirectoryId{status.st_dev, status.st_ino}, taken_});
                }
                take(entry, attributes, isDirectory(attributes) ? 0 : status.st_size, shareLength_);
            }
        }
        if (id) {
            ancestors.push_back(*id);
        }
        for (const auto& subdirectory : subdirectories) {
            const std::int32_t first = taken_;
            walkDirectory(subdirectory.path, subdirectory.id, ancestors);
            if (folders_ != nullptr && taken_ > first) {
                folders_->push_back(FolderRange{subdirectory.entry, first, taken_});
            }
        }
        if (id) {
            ancestors.pop_back();
        }
    }

    // The entry to fill next: one of a batch handed back, or a new one.
    FoundEntry& next() {
        if (used_ == batch_.size()) {
            batch_.emplace_back();
        }
        return batch_[used_];
    }

    // Takes the entry next() gave, once its path is set.
    void take(FoundEntry& entry, std::uint32_t attributes, std::uint64_t size, std::size_t shareLength) {
        entry.attributes = attributes;
        entry.size = static_cast<std::uint32_t>(size);
        entry.shareLength = shareLength;
        entry.terms.clear();
        entry.termEnds.clear();
        entry.foldedTerms = 0;
        entry.termsMade = false;
        ++used_;
        ++taken_;
        if (prepare_) {
            prepare_(entry);
        }
        if (used_ >= EntryChannel::kBatchSize) {
            flush();
        }
    }

    const std::set<std::string>& extensions_;
    const std::atomic<bool>& stop_;
    EntryChannel& channel_;
    const std::function<void(FoundEntry&)>& prepare_;
    std::vector<FolderRange>* folders_;
    // Lent to each directory's listing in turn: a directory is read whole
    // before the walk goes below it.
    std::vector<char> listing_ = std::vector<char>(platform::DirectoryEntries::kBufferBytes);
    EntryChannel::Batch batch_;  // its first used_ entries are taken
    std::size_t used_ = 0;
    std::size_t shareLength_ = 0;
    std::int32_t taken_ = 0;
};

}  // namespace

WalkResult walkSharedEntries(const std::vector<std::string>& entries, const std::set<std::string>& extensions,
                             const std::atomic<bool>& stop, EntryChannel& channel,
                             const std::function<void(FoundEntry&)>& prepare, std::vector<FolderRange>* folders) {
    WalkResult result = WalkResult::Complete;
    try {
        Walker walker(extensions, stop, channel, prepare, folders);
        for (const auto& entry : entries) {
            walker.walkEntry(entry);
        }
        walker.flush();
    } catch (WalkEnded&) {
        result = WalkResult::Stopped;
    } catch (...) {
        result = WalkResult::Failed;  // out of memory: nothing may leave the walking thread
    }
    channel.finish();
    return result;
}

}  // namespace lyrebox

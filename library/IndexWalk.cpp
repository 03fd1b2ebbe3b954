#include "library/IndexWalk.h"

#include "library/LibraryText.h"
#include "platform/DirectorySearch.h"

#include <sys/stat.h>

#include <algorithm>

namespace lyrebox {

bool EntryChannel::push(Batch batch) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return batches_.size() < kMaxBatches || cancelled_; });
    if (cancelled_) {
        return false;
    }
    batches_.push_back(std::move(batch));
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
    changed_.notify_all();
    return batch;
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

class Walker {
public:
    Walker(const std::set<std::string>& extensions, const std::atomic<bool>& stop, EntryChannel& channel)
        : extensions_(extensions), stop_(stop), channel_(channel) {}

    void walkEntry(const std::string& entry) {
        const std::string path = stripTrailingSlashes(entry);
        if (path.empty()) {
            return;
        }
        const auto item = platform::lookupPath(path);
        if (item && !isDirectory(item->attributes)) {
            take(path, *item);
            return;
        }
        std::vector<DirectoryId> ancestors;
        walkDirectory(path, ancestors);
    }

    void flush() {
        if (!batch_.empty() && !channel_.push(std::move(batch_))) {
            throw WalkEnded{};
        }
        batch_.clear();
    }

private:
    bool taken(const platform::FindRecord& item) const {
        if (item.name == "." || item.name == "..") {
            return false;
        }
        if (isDirectory(item.attributes)) {
            return true;
        }
        // Regular files only; a link's final target must have a playable name too.
        return !item.special && extensions_.count(fileExtension(item.name)) != 0 &&
               (item.targetName.empty() || extensions_.count(fileExtension(item.targetName)) != 0);
    }

    // ancestors holds the directories above, so that a symbolic link back up
    // the tree is not followed round and round.
    void walkDirectory(const std::string& path, std::vector<DirectoryId>& ancestors) {
        if (stop_.load(std::memory_order_relaxed)) {
            throw WalkEnded{};
        }
        const auto id = identify(path);
        if (id && std::find(ancestors.begin(), ancestors.end(), *id) != ancestors.end()) {
            return;
        }
        std::vector<std::string> subdirectories;
        for (const auto& item : platform::listDirectoryItems(path)) {
            if (!taken(item)) {
                continue;
            }
            std::string itemPath = joinPath(path, item.name);
            if (isDirectory(item.attributes)) {
                subdirectories.push_back(itemPath);
            }
            take(std::move(itemPath), item);
        }
        if (id) {
            ancestors.push_back(*id);
        }
        for (const auto& subdirectory : subdirectories) {
            walkDirectory(subdirectory, ancestors);
        }
        if (id) {
            ancestors.pop_back();
        }
    }

    void take(std::string path, const platform::FindRecord& item) {
        batch_.push_back(FoundEntry{std::move(path), item.attributes, static_cast<std::uint32_t>(item.size)});
        if (batch_.size() >= EntryChannel::kBatchSize) {
            flush();
        }
    }

    const std::set<std::string>& extensions_;
    const std::atomic<bool>& stop_;
    EntryChannel& channel_;
    EntryChannel::Batch batch_;
};

}  // namespace

WalkResult walkSharedEntries(const std::vector<std::string>& entries, const std::set<std::string>& extensions,
                             const std::atomic<bool>& stop, EntryChannel& channel) {
    WalkResult result = WalkResult::Complete;
    try {
        Walker walker(extensions, stop, channel);
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

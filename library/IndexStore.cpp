#include "library/IndexStore.h"

#include "library/SearchLimits.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace lyrebox {

namespace {

std::mutex& passMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

IndexStore::IndexStore(std::string indexPath) : indexPath_(std::move(indexPath)) {}

std::unique_lock<std::mutex> IndexStore::lockOpenClose() {
    static std::mutex mutex;
    return std::unique_lock<std::mutex>(mutex);
}

std::optional<std::string> IndexStore::currentIndexLocked() const {
    std::error_code error;
    const fs::path target = fs::read_symlink(fs::path(indexPath_) / kIndexCurrentLink, error);
    if (error) {
        return std::nullopt;
    }
    const std::string name = target.string();
    if (name != kIndexGenerationA && name != kIndexGenerationB) {
        return std::nullopt;  // not a link we made
    }
    return (fs::path(indexPath_) / name).string();
}

std::string IndexStore::idleIndex() const {
    std::error_code error;
    const fs::path target = fs::read_symlink(fs::path(indexPath_) / kIndexCurrentLink, error);
    const bool currentIsA = !error && target.string() == kIndexGenerationA;
    return (fs::path(indexPath_) / (currentIsA ? kIndexGenerationB : kIndexGenerationA)).string();
}

bool IndexStore::publishLocked(const std::string& generation) const {
    const fs::path link = fs::path(indexPath_) / kIndexCurrentLink;
    const fs::path temporary = fs::path(indexPath_) / (std::string(kIndexCurrentLink) + ".tmp");
    std::error_code error;
    fs::remove(temporary, error);
    fs::create_symlink(generation, temporary, error);
    if (error) {
        return false;
    }
    fs::rename(temporary, link, error);  // rename(2): readers see the old or the new link
    if (error) {
        fs::remove(temporary, error);
        return false;
    }
    return true;
}

PassGuard::PassGuard(const IndexStore& store) : processLock_(passMutex(), std::try_to_lock) {
    if (!processLock_.owns_lock()) {
        return;
    }
    const std::string lockPath = (fs::path(store.indexPath()) / kIndexPassLock).string();
    lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd_ < 0) {
        return;
    }
    owns_ = ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0;
}

PassGuard::~PassGuard() {
    if (lockFd_ >= 0) {
        ::close(lockFd_);  // releases the flock
    }
}

}  // namespace lyrebox

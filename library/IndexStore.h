// The on-disk layout of the library index and the locks around it.
//
// The index directory (indexPath) holds two CLucene indexes, "a" and "b", and
// a symbolic link "current" to the complete one. A pass writes the other one
// and, when it is complete, replaces the link in one rename, so searches
// always see a complete index, never a half-built one.
//
// CLucene's directory cache deadlocks when one thread opens or closes a writer
// while another opens or closes a searcher on the same path, so every such
// open and close, the link switch included, runs under lockOpenClose(). A
// searcher resolves the link and opens its index under that lock too, so a
// pass can never clear the generation a searcher is opening.
//
// Passes are serialised by PassGuard: a process-wide mutex (two overlapping
// writers make CLucene abort the process) and an flock on "pass.lock" for other
// processes using the same directory. All functions are safe on any thread.
#pragma once

#include <mutex>
#include <optional>
#include <string>

namespace lyrebox {

class IndexStore {
public:
    explicit IndexStore(std::string indexPath);

    const std::string& indexPath() const { return indexPath_; }

    // The directory of the complete index, if there is one. Call with the
    // open/close lock held when the result is opened.
    std::optional<std::string> currentIndexLocked() const;
    // The generation directory the next pass writes (the one not current).
    std::string idleIndex() const;
    // Points "current" at generation (a directory name inside indexPath) in
    // one atomic rename. Call with the open/close lock held. False on failure.
    bool publishLocked(const std::string& generation) const;

    // Held around every CLucene open and close of this process.
    static std::unique_lock<std::mutex> lockOpenClose();

private:
    std::string indexPath_;
};

// Holds the right to run a pass; owns(): whether it got that right. The
// index directory must exist (the lock file lies in it).
class PassGuard {
public:
    explicit PassGuard(const IndexStore& store);
    ~PassGuard();
    PassGuard(const PassGuard&) = delete;
    PassGuard& operator=(const PassGuard&) = delete;

    bool owns() const { return owns_; }

private:
    std::unique_lock<std::mutex> processLock_;
    int lockFd_ = -1;
    bool owns_ = false;
};

}  // namespace lyrebox

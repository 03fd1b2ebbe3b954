// The entries of one directory as the kernel gives them (getdents64), read
// into a buffer the caller lends. Opening asks for no status of the
// directory, as opendir does: a walk of many directories makes one system
// call less for each. Not copyable; one thread at a time.
#pragma once

#include "platform/OwnedDescriptor.h"

#include <cstddef>
#include <optional>
#include <span>

namespace platform {

// name is valid until the next call of next().
struct DirectoryEntry {
    const char* name;
    unsigned char type;  // DT_* of <dirent.h>
};

class DirectoryEntries {
public:
    // Room for many entries per call; a buffer may be lent to one listing after another.
    static constexpr std::size_t kBufferBytes = 32 * 1024;

    // Opens the directory at path. buffer (aligned as new[] aligns, at least
    // a few hundred bytes) must outlive the listing.
    DirectoryEntries(const char* path, std::span<char> buffer);
    DirectoryEntries(const DirectoryEntries&) = delete;
    DirectoryEntries& operator=(const DirectoryEntries&) = delete;

    // False when the directory could not be opened.
    bool valid() const { return fd_.valid(); }
    // For looking its entries up relative to it (fstatat).
    int fd() const { return fd_.get(); }

    // The next entry, "." and ".." among them, in the order the file system
    // gives them; nothing at the end, or once reading failed.
    std::optional<DirectoryEntry> next();

private:
    OwnedDescriptor fd_;
    std::span<char> buffer_;
    std::size_t filled_ = 0;  // bytes the last read gave
    std::size_t at_ = 0;      // where the next entry starts
    bool ended_ = false;
};

}  // namespace platform

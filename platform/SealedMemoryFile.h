// Bytes written once into an anonymous memory file and sealed, so that a
// socket can be sent them with sendfile, without the copy a send makes.
//
// The seals forbid writing, shrinking and growing the file: once create()
// returns, its bytes are those given for as long as it lives, and a sendfile
// that is still going out can never read anything else or run past the end.
// Move-only; share it (like the buffer it mirrors) through a shared_ptr.
// Every member may be called from any thread.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace platform {

class SealedMemoryFile {
public:
    // The file holding bytes; empty when the system has no sealed memory
    // files or refuses one (the caller then sends from its own buffer).
    static std::optional<SealedMemoryFile> create(std::string_view bytes);

    SealedMemoryFile(SealedMemoryFile&& other) noexcept;
    SealedMemoryFile& operator=(SealedMemoryFile&& other) noexcept;
    SealedMemoryFile(const SealedMemoryFile&) = delete;
    SealedMemoryFile& operator=(const SealedMemoryFile&) = delete;
    ~SealedMemoryFile();

    int fd() const { return fd_; }
    std::size_t size() const { return size_; }

    // For tests: while set, create() fails as on a system without them.
    static void setUnavailableForTests(bool unavailable);
    // For tests: wraps a descriptor that is not such a file (one sendfile
    // refuses), taking ownership of it.
    static SealedMemoryFile adoptForTests(int fd, std::size_t size) { return SealedMemoryFile(fd, size); }

private:
    SealedMemoryFile(int fd, std::size_t size) : fd_(fd), size_(size) {}

    int fd_ = -1;
    std::size_t size_ = 0;
};

}  // namespace platform

#include "platform/SealedMemoryFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <utility>

namespace platform {

namespace {

std::atomic<bool> unavailableForTests{false};

}  // namespace

std::optional<SealedMemoryFile> SealedMemoryFile::create(std::string_view bytes) {
    if (unavailableForTests.load(std::memory_order_relaxed)) return std::nullopt;
    const int fd = ::memfd_create("lyrebox-body", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0) return std::nullopt;
    SealedMemoryFile file(fd, bytes.size());  // closes the descriptor on every failure below
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        written += static_cast<std::size_t>(n);
    }
    if (::fcntl(fd, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) return std::nullopt;
    return file;
}

SealedMemoryFile::SealedMemoryFile(SealedMemoryFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), size_(std::exchange(other.size_, 0)) {}

SealedMemoryFile& SealedMemoryFile::operator=(SealedMemoryFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

SealedMemoryFile::~SealedMemoryFile() {
    if (fd_ >= 0) ::close(fd_);
}

void SealedMemoryFile::setUnavailableForTests(bool unavailable) {
    unavailableForTests.store(unavailable, std::memory_order_relaxed);
}

}  // namespace platform

#include "platform/DirectoryEntries.h"

#include <dirent.h>
#include <fcntl.h>

namespace platform {

DirectoryEntries::DirectoryEntries(const char* path, std::span<char> buffer)
    : fd_(::open(path, O_RDONLY | O_DIRECTORY | O_CLOEXEC)), buffer_(buffer) {}

std::optional<DirectoryEntry> DirectoryEntries::next() {
    while (at_ == filled_) {
        if (ended_ || !fd_.valid()) {
            return std::nullopt;
        }
        const ssize_t read = ::getdents64(fd_.get(), buffer_.data(), buffer_.size());
        if (read <= 0) {  // the end, or an error: readdir too ends the listing there
            ended_ = true;
            return std::nullopt;
        }
        filled_ = static_cast<std::size_t>(read);
        at_ = 0;
    }
    const auto* record = reinterpret_cast<const struct dirent64*>(buffer_.data() + at_);
    at_ += record->d_reclen;
    return DirectoryEntry{record->d_name, record->d_type};
}

}  // namespace platform

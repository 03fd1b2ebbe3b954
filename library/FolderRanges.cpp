#include "library/FolderRanges.h"

#include "platform/OwnedDescriptor.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace lyrebox {

namespace {

// The file: this header, then three little-endian 32-bit numbers per range.
constexpr std::array<char, 8> kMagic{'L', 'B', 'F', 'R', 'N', 'G', '0', '1'};
constexpr std::size_t kRecordBytes = 12;

void putNumber(unsigned char* at, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) at[i] = static_cast<unsigned char>(bits >> (8 * i));
}

std::int32_t getNumber(const unsigned char* at) {
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) bits |= std::uint32_t{at[i]} << (8 * i);
    return static_cast<std::int32_t>(bits);
}

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

FolderRanges::FolderRanges(std::vector<FolderRange> ranges) : ranges_(std::move(ranges)) {
    std::sort(ranges_.begin(), ranges_.end(), [](const FolderRange& a, const FolderRange& b) { return a.doc < b.doc; });
}

bool FolderRanges::write(const std::string& path) const {
    std::vector<unsigned char> bytes(kMagic.size() + ranges_.size() * kRecordBytes);
    std::memcpy(bytes.data(), kMagic.data(), kMagic.size());
    unsigned char* at = bytes.data() + kMagic.size();
    for (const auto& range : ranges_) {
        putNumber(at, range.doc);
        putNumber(at + 4, range.first);
        putNumber(at + 8, range.end);
        at += kRecordBytes;
    }
    platform::OwnedDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    return file.valid() && writeAll(file.get(), bytes.data(), bytes.size()) && ::fsync(file.get()) == 0;
}

std::optional<FolderRanges> FolderRanges::read(const std::string& path, std::int32_t maxDoc) {
    platform::OwnedDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat status {};
    if (!file.valid() || ::fstat(file.get(), &status) != 0 || status.st_size < static_cast<off_t>(kMagic.size()) ||
        (static_cast<std::size_t>(status.st_size) - kMagic.size()) % kRecordBytes != 0 ||
        static_cast<std::uint64_t>(status.st_size) > kMagic.size() + std::uint64_t{kRecordBytes} * std::max(maxDoc, 0)) {
        return std::nullopt;
    }
    std::vector<unsigned char> bytes(static_cast<std::size_t>(status.st_size));
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::pread(file.get(), bytes.data() + got, bytes.size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        got += static_cast<std::size_t>(n);
    }
    if (std::memcmp(bytes.data(), kMagic.data(), kMagic.size()) != 0) return std::nullopt;
    std::vector<FolderRange> ranges((bytes.size() - kMagic.size()) / kRecordBytes);
    const unsigned char* at = bytes.data() + kMagic.size();
    std::int32_t last = -1;
    for (auto& range : ranges) {
        range = FolderRange{getNumber(at), getNumber(at + 4), getNumber(at + 8)};
        at += kRecordBytes;
        // A folder's contents come after it, inside the index.
        if (range.doc <= last || range.first <= range.doc || range.end < range.first || range.end > maxDoc) {
            return std::nullopt;
        }
        last = range.doc;
    }
    return FolderRanges(std::move(ranges));
}

DocSet FolderRanges::below(const DocSet& folders, std::int32_t bound) const {
    DocSet set(bound);
    for (const auto& range : ranges_) {
        if (range.first >= bound) {
            // Later folders' contents may still start below the bound: a
            // folder's subfolders come before the contents of its siblings.
            continue;
        }
        // A folder inside one already taken adds nothing: its range lies
        // within that one's, whose folder comes earlier.
        if (!folders.has(range.doc) || set.has(range.doc)) continue;
        set.addRange(range.first, std::min(range.end, bound));
    }
    return set;
}

}  // namespace lyrebox

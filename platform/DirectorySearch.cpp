#include "platform/DirectorySearch.h"

#include "platform/DirectoryReading.h"

#include <dirent.h>
#include <fcntl.h>
#include <cstdlib>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Seconds between 1601-01-01 and 1970-01-01.
constexpr std::uint64_t kEpochDifference = 11644473600ULL;

// The last component of the path a symbolic link finally resolves to.
std::string finalTargetName(const std::string& linkPath) {
    std::unique_ptr<char, decltype(&::free)> resolved(::realpath(linkPath.c_str(), nullptr), &::free);
    if (!resolved) return {};
    const std::string target = resolved.get();
    const auto slash = target.rfind('/');
    return slash == std::string::npos ? target : target.substr(slash + 1);
}

struct DirCloser {
    void operator()(DIR* d) const { ::closedir(d); }
};

}  // namespace

namespace reading {

FindRecord recordOf(std::string name, const struct stat& st) {
    FindRecord r;
    r.name = std::move(name);
    bool dir = S_ISDIR(st.st_mode);
    r.attributes = dir ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR)) r.attributes |= FILE_ATTRIBUTE_READONLY;
    r.lastWriteTime = unixToFileTime(st.st_mtim.tv_sec, st.st_mtim.tv_nsec);
    r.size = dir ? 0 : static_cast<std::uint64_t>(st.st_size);
    r.special = !dir && !S_ISREG(st.st_mode);
    return r;
}

std::optional<FindRecord> readEntry(int dirFd, const std::string& directory, const char* name, unsigned char type,
                                    struct stat* seen) {
    // One fstatat for a file or folder the directory's entry names as such;
    // a link (or an entry of unknown type) is looked at as itself first,
    // then followed.
    struct stat st {};
    bool link = false;
    if (type == DT_LNK || type == DT_UNKNOWN) {
        if (::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
        link = S_ISLNK(st.st_mode);
        // A link that leads nowhere keeps its own record.
        struct stat target {};
        if (link && ::fstatat(dirFd, name, &target, 0) == 0) st = target;
    } else if (::fstatat(dirFd, name, &st, 0) != 0 && ::fstatat(dirFd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    FindRecord record = recordOf(name, st);
    if (link) record.targetName = finalTargetName((directory.empty() ? std::string("/") : directory) + "/" + name);
    if (seen) *seen = st;
    return record;
}

void appendDotEntries(int dirFd, const struct stat& self, std::vector<FindRecord>& items) {
    // The system's search reports "." and ".." before the other items.
    items.push_back(recordOf(".", self));
    struct stat parent {};
    if (::fstatat(dirFd, "..", &parent, 0) == 0) items.push_back(recordOf("..", parent));
}

}  // namespace reading

std::uint64_t unixToFileTime(std::int64_t seconds, std::int64_t nanoseconds) {
    std::int64_t since1601 = seconds + static_cast<std::int64_t>(kEpochDifference);
    if (since1601 < 0) return 0;
    return static_cast<std::uint64_t>(since1601) * 10000000ULL + static_cast<std::uint64_t>(nanoseconds / 100);
}

std::vector<FindRecord> listDirectoryItems(const std::string& directory) {
    std::unique_ptr<DIR, DirCloser> dir(::opendir(directory.empty() ? "/" : directory.c_str()));
    if (!dir) return {};
    struct stat self {};
    if (::fstat(::dirfd(dir.get()), &self) != 0) return {};
    std::vector<FindRecord> items;
    reading::appendDotEntries(::dirfd(dir.get()), self, items);
    reading::readEntries(dir.get(), directory,
                         [&](FindRecord&& record, unsigned char, const struct stat&) { items.push_back(std::move(record)); });
    return items;
}

std::optional<FindRecord> lookupPath(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return std::nullopt;
    std::string trimmed = path;
    while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
    auto slash = trimmed.rfind('/');
    // The root's name is "/" itself: the last component of every other path.
    bool root = trimmed.size() == 1 && trimmed[0] == '/';
    FindRecord record = reading::recordOf(root || slash == std::string::npos ? trimmed : trimmed.substr(slash + 1), st);
    struct stat own {};
    if (::lstat(trimmed.c_str(), &own) == 0 && S_ISLNK(own.st_mode)) record.targetName = finalTargetName(trimmed);
    return record;
}

}  // namespace platform

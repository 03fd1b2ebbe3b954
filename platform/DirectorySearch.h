// Directory search records as the player's system reports them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform {

inline constexpr std::uint32_t FILE_ATTRIBUTE_READONLY = 0x01;
inline constexpr std::uint32_t FILE_ATTRIBUTE_HIDDEN = 0x02;
inline constexpr std::uint32_t FILE_ATTRIBUTE_DIRECTORY = 0x10;
inline constexpr std::uint32_t FILE_ATTRIBUTE_ARCHIVE = 0x20;
inline constexpr std::uint32_t FILE_ATTRIBUTE_NORMAL = 0x80;

struct FindRecord {
    std::string name;               // item name, no directory part
    std::uint32_t attributes = 0;   // 0x10 for directories
    std::uint64_t lastWriteTime = 0;  // 100-ns intervals since 1601-01-01 UTC
    std::uint64_t size = 0;         // bytes (0 for directories)
    // Neither a directory nor a regular file (after following links): a FIFO,
    // socket or device, or a link that leads nowhere.
    bool special = false;
    // For a symbolic link, the name (last component) of its final target;
    // empty for anything else, and for a link that leads nowhere.
    std::string targetName;

    bool operator==(const FindRecord&) const = default;
};

// Seconds since 1970 (with nanoseconds) as a file time.
std::uint64_t unixToFileTime(std::int64_t seconds, std::int64_t nanoseconds = 0);

// Every item of a directory in the order the file system returns them, "."
// and ".." first as the system's search reports them. Symbolic links are
// followed. An unreadable directory gives an empty list.
std::vector<FindRecord> listDirectoryItems(const std::string& directory);

// The record of one path (its name is the last component), following
// symbolic links; nothing when the path does not exist.
std::optional<FindRecord> lookupPath(const std::string& path);

}  // namespace platform

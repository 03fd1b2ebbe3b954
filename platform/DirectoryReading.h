// The pieces of a directory listing shared by listDirectoryItems and the
// listing cache, so that both make every record the same way. Internal to
// platform/.
#pragma once

#include "platform/DirectorySearch.h"

#include <dirent.h>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace platform::reading {

FindRecord recordOf(std::string name, const struct stat& st);

// The record of the entry name of the open directory dirFd, whose d_type is
// type; nothing when it is gone. directory is the path the listing was asked
// for (a link's target is resolved from it). When st is given it receives
// the entry's own status (the link's, for a link that leads nowhere).
std::optional<FindRecord> readEntry(int dirFd, const std::string& directory, const char* name, unsigned char type,
                                    struct stat* st = nullptr);

// "." (from self, the status of the directory's descriptor) and "..", as
// listDirectoryItems gives them first.
void appendDotEntries(int dirFd, const struct stat& self, std::vector<FindRecord>& items);

// Every entry of dir but "." and "..", in the order it gives them, as
// listDirectoryItems makes them: found(record, d_type, status) for each, with
// the status readEntry saw.
template <typename Found>
void readEntries(DIR* dir, const std::string& directory, Found&& found) {
    const int fd = ::dirfd(dir);
    while (dirent* e = ::readdir(dir)) {
        const char* name = e->d_name;
        if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'))) continue;
        struct stat st {};
        if (auto record = readEntry(fd, directory, name, e->d_type, &st)) found(std::move(*record), e->d_type, st);
    }
}

}  // namespace platform::reading

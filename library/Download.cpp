// The file of a "download": one regular file of a shared directory, opened.
#include "library/MediaLibrary.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace lyrebox {

DownloadFile MediaLibrary::openDownload(const std::string& path) const {
    DownloadFile download;
    const platform::FindRecord item = lookupFile(path);
    if (item.name.empty()) {
        download.failure = DownloadFile::Failure::NotFound;
        return download;
    }
    // Non-blocking, so a FIFO given a music name cannot hold the thread; only
    // regular files are served.
    FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!file.valid() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        download.failure = DownloadFile::Failure::Unreadable;
        return download;
    }
    download.file = std::move(file);
    download.size = static_cast<std::uint64_t>(status.st_size);
    download.name = item.name;
    return download;
}

}  // namespace lyrebox

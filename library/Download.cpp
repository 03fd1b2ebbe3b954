// The "download" answer: one file of a shared directory, whole or one byte
// range, streamed from the file to the socket with bounded memory.
#include "library/ByteRange.h"
#include "library/LibraryLimits.h"
#include "library/MediaLibrary.h"

#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "platform/Socket.h"

#include <cerrno>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lyrebox {

namespace {

// Owns one open file descriptor.
class FileHandle {
public:
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    int fd() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// Sends count bytes from offset; stops as soon as the client has gone.
void sendFileBytes(HttpResponse& response, int fd, std::uint64_t offset, std::uint64_t count) {
    if (platform::Socket* socket = response.socket()) {
        const auto sent = socket->sendFile(fd, static_cast<std::int64_t>(offset), static_cast<std::int64_t>(count));
        // The client has gone, or the file shrank under us: the promised
        // length cannot be kept, so the connection must end here.
        if (sent < static_cast<std::int64_t>(count)) socket->shutdownBoth();
        return;
    }
    auto buffer = std::make_unique<char[]>(limits::kDownloadChunkBytes);
    while (count > 0) {
        const std::size_t want = count < limits::kDownloadChunkBytes ? static_cast<std::size_t>(count)
                                                                     : limits::kDownloadChunkBytes;
        const ssize_t got = ::pread(fd, buffer.get(), want, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return;
        if (response.sendBytes(buffer.get(), static_cast<std::size_t>(got)) != static_cast<std::size_t>(got)) return;
        offset += static_cast<std::uint64_t>(got);
        count -= static_cast<std::uint64_t>(got);
    }
}

}  // namespace

void MediaLibrary::download(HttpRequest& request, const ParamMap& params, HttpResponse& response) {
    const std::string path = paramOf(params, "path");
    const platform::FindRecord item = lookupFile(path);
    if (item.name.empty()) {
        response.sendStatusPage(404, "Not Found");
        return;
    }
    response.setHeader("Content-Type", downloadContentType(path));
    // Non-blocking, so a FIFO given a music name cannot hold the thread; only
    // regular files are served.
    const FileHandle file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat status {};
    if (!file.valid() || ::fstat(file.fd(), &status) != 0 || !S_ISREG(status.st_mode)) {
        response.sendStatusPage(500, "Internal Server Error");
        return;
    }
    const auto size = static_cast<std::uint64_t>(status.st_size);
    response.setHeader("Accept-Ranges", "bytes");
    response.setHeader("Content-transfer-encoding", "binary");
    response.setHeader("Content-Disposition", "inline; filename=\"" + quotedHeaderText(item.name) + "\"");
    response.setHeader("Content-Length", std::to_string(size));

    ByteRange range;
    const std::string rangeHeader = request.header("Range");
    if (!rangeHeader.empty()) range = parseByteRange(rangeHeader, size);
    if (range.kind == ByteRange::Kind::Unsatisfiable) {
        response.setHeader("Content-Range", "bytes */" + std::to_string(size));
        response.sendStatusPage(416, "Range Not Satisfiable");
        return;
    }
    std::uint64_t first = 0;
    std::uint64_t count = size;
    if (range.kind == ByteRange::Kind::Partial) {
        first = range.first;
        count = range.length();
        response.setStatus(206, "Partial Content");
        response.setHeader("Content-Range", "bytes " + std::to_string(range.first) + "-" +
                                                std::to_string(range.last) + "/" + std::to_string(size));
        response.setHeader("Content-Length", std::to_string(count));
    }
    if (response.sendHead() == 0) return;
    if (count > 0) sendFileBytes(response, file.fd(), first, count);
}

}  // namespace lyrebox

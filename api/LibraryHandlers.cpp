#include "api/LibraryHandlers.h"

#include "api/RequestRouter.h"
#include "http/ContentTypes.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "library/BrowseDocument.h"
#include "library/ByteRange.h"
#include "library/LibraryLimits.h"
#include "library/LibraryText.h"
#include "library/M3uPlaylist.h"
#include "library/MediaLibrary.h"
#include "platform/DecimalText.h"
#include "platform/Socket.h"

#include <cerrno>
#include <memory>

#include <unistd.h>

namespace lyrebox {

namespace {

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

void serveBrowse(MediaLibrary& library, HttpRequest& request, HttpResponse& response) {
    const LibraryListing listing = library.browse(request.param("path"),
                                                 platform::parseDecimalPrefix<int>(request.param("sortby")),
                                                 platform::parseDecimalPrefix<int>(request.param("sortdir")));
    response.setBody(writeBrowseAnswer(safeCallbackName(request.param("callback")), listing.path,
                                       request.authToken(), listing.entries, listing.isRoot));
    response.send();
}

void serveDownload(MediaLibrary& library, HttpRequest& request, HttpResponse& response) {
    const std::string path = request.param("path");
    const DownloadFile download = library.openDownload(path);
    if (download.failure == DownloadFile::Failure::NotFound) {
        response.sendStatusPage(404, "Not Found");
        return;
    }
    if (download.failure != DownloadFile::Failure::None) {
        response.sendStatusPage(500, "Internal Server Error");
        return;
    }
    const std::uint64_t size = download.size;
    response.setHeader("Content-Type", downloadContentType(path));
    response.setHeader("Accept-Ranges", "bytes");
    response.setHeader("Content-transfer-encoding", "binary");
    response.setHeader("Content-Disposition", "inline; filename=\"" + quotedHeaderText(download.name) + "\"");
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
    if (count > 0) sendFileBytes(response, download.file.get(), first, count);
}

void serveStream(MediaLibrary& library, HttpRequest& request, HttpResponse& response) {
    const std::vector<std::string> items = library.streamItems(request.param("path"), request.peer());
    if (items.empty()) {
        response.sendStatusPage(404, "Not Found");
        return;
    }
    const std::string prefix = "http://" + requestHost(request) + "/download?path=";
    const std::string suffix = "&auth=" + request.authToken();
    M3uPlaylist list;
    for (const auto& item : items) list.add(prefix + percentEncode(item) + suffix, baseName(item));
    response.setHeader("Content-Type", "audio/m3u");
    response.setHeader("Content-Disposition", "inline; filename=playlist.m3u");
    response.setHeader("Cache-Control", "must-revalidate");
    response.setBody(list.write());
    response.send();
}

void registerLibraryHandlers(RequestRouter& router) {
    router.addHandler("library.js", Access::ReadOnly, [&router](HttpRequest& request, HttpResponse& response) {
        serveBrowse(router.library(), request, response);
    });
    router.addHandler("download", Access::ReadOnly, [&router](HttpRequest& request, HttpResponse& response) {
        serveDownload(router.library(), request, response);
    });
    router.addHandler("stream", Access::ReadOnly, [&router](HttpRequest& request, HttpResponse& response) {
        serveStream(router.library(), request, response);
    });
}

}  // namespace lyrebox

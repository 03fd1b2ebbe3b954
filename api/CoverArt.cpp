#include "api/CoverArt.h"

#include "api/EmbeddedPicture.h"
#include "api/PlayerGateway.h"
#include "api/PlayerText.h"
#include "api/RemoteLimits.h"
#include "api/RequestRouter.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "library/MediaLibrary.h"
#include "platform/DecimalText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lyrebox {

namespace {

constexpr const char* kFolderImageBases[] = {"cover", "folder", "front"};
constexpr const char* kFolderImageExtensions[] = {".jpg", ".jpeg", ".png"};

std::string asciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool isRegularFile(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

bool isDirectoryPath(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The whole of a regular file of at most maxBytes; empty otherwise. Opened
// without blocking, so a FIFO with an image name cannot hold the thread.
std::string readSmallFile(const std::string& path, std::size_t maxBytes) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return {};
    std::string bytes;
    struct stat status {};
    if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
        static_cast<std::uint64_t>(status.st_size) <= maxBytes) {
        bytes.resize(static_cast<std::size_t>(status.st_size));
        std::size_t got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        bytes.resize(got);  // a file that shrank meanwhile gives what it had
    }
    ::close(fd);
    return bytes;
}

std::string directoryOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Whether an If-None-Match value names this tag ("*", or one of a list; a
// weak "W/" form counts for this comparison).
bool matchesEtag(const std::string& header, const std::string& etag) {
    std::size_t at = 0;
    while (at < header.size()) {
        const std::size_t comma = std::min(header.find(',', at), header.size());
        std::string item = header.substr(at, comma - at);
        item.erase(0, item.find_first_not_of(" \t"));
        item.erase(item.find_last_not_of(" \t") + 1);
        if (item.compare(0, 2, "W/") == 0) item.erase(0, 2);
        if (item == "*" || item == etag) return true;
        at = comma + 1;
    }
    return false;
}

}  // namespace

std::string imageTypeOf(const std::string& bytes) {
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xFF\xD8\xFF") == 0) return "image/jpeg";
    if (bytes.size() >= 8 && bytes.compare(0, 8, "\x89PNG\r\n\x1A\n") == 0) return "image/png";
    return {};
}

std::vector<std::string> folderImageCandidates(const std::string& directory) {
    // Lower-cased name -> the name on disk; of names equal but for case the
    // byte-wise first wins, so the choice does not depend on listing order.
    std::map<std::string, std::string> byLowerName;
    std::error_code error;
    for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.size() > 16) continue;  // longer than any candidate name
        const std::string lower = asciiLower(name);
        auto [slot, inserted] = byLowerName.try_emplace(lower, name);
        if (!inserted && name < slot->second) slot->second = name;
    }
    std::vector<std::string> paths;
    for (const char* base : kFolderImageBases) {
        for (const char* ext : kFolderImageExtensions) {
            const auto found = byLowerName.find(std::string(base) + ext);
            if (found != byLowerName.end()) paths.push_back(joinPath(directory, found->second));
        }
    }
    return paths;
}

std::optional<CoverImage> findCover(const std::string& path) {
    std::string directory;
    if (isRegularFile(path)) {
        std::string bytes = readEmbeddedPicture(path, remote::kMaxCoverBytes);
        std::string type = imageTypeOf(bytes);
        if (!type.empty()) return CoverImage{std::move(bytes), std::move(type), "embedded"};
        directory = directoryOf(path);
    } else if (isDirectoryPath(path)) {
        directory = stripTrailingSlashes(path);
    } else {
        return std::nullopt;
    }
    for (const std::string& candidate : folderImageCandidates(directory)) {
        std::string bytes = readSmallFile(candidate, remote::kMaxCoverBytes);
        std::string type = imageTypeOf(bytes);
        if (!type.empty()) return CoverImage{std::move(bytes), std::move(type), candidate};
    }
    return std::nullopt;
}

std::string coverEtag(const std::string& bytes) {
    std::uint64_t hash = 14695981039346656037ULL;  // FNV-1a, 64 bits
    for (const unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ULL;
    }
    char text[48];
    std::snprintf(text, sizeof text, "\"%016llx-%zx\"", static_cast<unsigned long long>(hash), bytes.size());
    return text;
}

void serveCover(RequestRouter& router, HttpRequest& request, HttpResponse& response) {
    const ParamMap& params = request.params();
    std::string file;
    bool fromPlaylist = false;
    const std::string path = paramOf(params, "path");
    if (!path.empty()) {
        // lookupFile applies the path rule and keeps folders and playable files.
        if (router.library().lookupFile(path).name.empty()) return response.sendStatusPage(404, "Not Found");
        file = path;
    } else if (params.count("index") != 0) {
        fromPlaylist = true;
        file = router.gateway().getFileName(platform::parseDecimalPrefix<int>(paramOf(params, "index")));
        // Local files only: a URL, a relative name or anything not playable is no cover.
        if (file.empty() || file.front() != '/' || !playableExtensions().count(fileExtension(baseName(file))))
            return response.sendStatusPage(404, "Not Found");
    } else {
        return response.sendStatusPage(404, "Not Found");
    }
    const std::optional<CoverImage> cover = findCover(file);
    if (!cover) return response.sendStatusPage(404, "Not Found");

    const std::string etag = coverEtag(cover->bytes);
    response.setHeader("Content-Type", cover->contentType);
    response.setHeader("ETag", etag);
    if (fromPlaylist) {
        // The entry at an index changes with the play list: always ask again.
        response.setHeader("Cache-Control", "no-cache");
    } else {
        response.setHeader("Cache-Control", "max-age=" + std::to_string(remote::kCoverMaxAgeSeconds));
        response.removeHeader("Expires");
    }
    std::string ifNoneMatch = request.header("If-None-Match");
    if (ifNoneMatch.empty()) ifNoneMatch = request.header("if-none-match");
    if (!ifNoneMatch.empty() && matchesEtag(ifNoneMatch, etag)) {
        response.setStatus(304, "Not Modified");
        response.send();
        return;
    }
    response.setBody(cover->bytes);
    response.send();
}

}  // namespace lyrebox

// The "library.js" and "stream" answers.
#include "library/BrowseDocument.h"
#include "library/LibraryText.h"
#include "library/M3uPlaylist.h"
#include "library/MediaLibrary.h"

#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "platform/DecimalText.h"

namespace lyrebox {

namespace {

}  // namespace

void MediaLibrary::browse(HttpRequest& request, const ParamMap& params, HttpResponse& response) {
    std::string path = paramOf(params, "path");
    const int sortBy = platform::parseDecimalPrefix<int>(paramOf(params, "sortby"));
    const int sortDir = platform::parseDecimalPrefix<int>(paramOf(params, "sortdir"));
    if (!isAllowedPath(path)) path.clear();

    std::vector<FileEntry> entries;
    const bool isRoot = path.empty();
    if (isRoot) {
        for (const auto& dir : *sharedDirs()) {
            entries.push_back(FileEntry{dir, platform::FILE_ATTRIBUTE_DIRECTORY, 0, 0});
        }
    } else if (path.starts_with(kSearchPrefix)) {
        search(path.substr(kSearchPrefix.size()), entries, false);
    } else if (path.starts_with(kSearchDirsPrefix)) {
        search(path.substr(kSearchDirsPrefix.size()), entries, true);
    } else if (!path.starts_with(kHttpPrefix)) {
        entries = listDirectory(path);
    }
    sortEntries(entries, sortBy, sortDir);
    response.setBody(
        writeBrowseAnswer(safeCallbackName(paramOf(params, "callback")), path, request.authToken(), entries, isRoot));
    response.send();
}

void MediaLibrary::stream(HttpRequest& request, const ParamMap& params, HttpResponse& response) {
    const std::string path = paramOf(params, "path");
    std::vector<std::string> items;
    if (!path.empty() && isAllowedPath(path)) expandPath(path, items, request.peer());
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

}  // namespace lyrebox

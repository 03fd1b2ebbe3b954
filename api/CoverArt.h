// "cover": the picture of a library file or a play-list entry: the one
// embedded in the file (read with TagLib), else a folder image beside it.
//
// findCover() is a pure lookup over the file system (no player, no HTTP), so
// its order can be tested on a temporary tree; serveCover() applies the path
// rule or asks the player for the entry, and answers with the image, 304 or
// 404. Safe on any connection thread; nothing is cached.
#pragma once

#include "http/HttpParse.h"

#include <optional>
#include <string>
#include <vector>

namespace lyrebox {

class HttpRequest;
class HttpResponse;
class RequestRouter;

struct CoverImage {
    std::string bytes;
    std::string contentType;  // "image/jpeg" or "image/png"
    std::string source;       // "embedded" or the folder file's path
};

// "image/jpeg" or "image/png" from the first bytes; empty for anything else.
std::string imageTypeOf(const std::string& bytes);

// The folder images in the order they are tried: cover, folder, front, each
// as .jpg, .jpeg, .png; the names found in directory compared ignoring case.
std::vector<std::string> folderImageCandidates(const std::string& directory);

// The picture for a regular file (embedded first, then its folder), or for
// a directory (its folder images only).
std::optional<CoverImage> findCover(const std::string& path);

// A strong validator for the bytes, quoted.
std::string coverEtag(const std::string& bytes);

void serveCover(RequestRouter& router, HttpRequest& request, HttpResponse& response);

}  // namespace lyrebox

#include "api/CoverArt.h"

#include "api/RequestRouter.h"
#include "http/HttpResponse.h"

namespace lyrebox {

std::string imageTypeOf(const std::string&) { return {}; }
std::vector<std::string> folderImageCandidates(const std::string&) { return {}; }
std::optional<CoverImage> findCover(const std::string&) { return std::nullopt; }
std::string coverEtag(const std::string&) { return {}; }

void serveCover(RequestRouter&, HttpRequest&, const ParamMap&, HttpResponse& response) {
    response.setStatus(404, "Not Found");
    response.setBody("<h1>404 Not Found</h1>");
    response.send();
}

}  // namespace lyrebox

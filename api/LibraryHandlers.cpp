#include "api/LibraryHandlers.h"

#include "api/RequestRouter.h"
#include "library/MediaLibrary.h"

namespace lyrebox {

void registerLibraryHandlers(RequestRouter& router) {
    router.addHandler("library.js", Access::ReadOnly,
                      [&router](HttpRequest& request, const std::string&, ParamMap params,
                                              HttpResponse& response) {
        router.library().browse(request, params, response);
    });
    router.addHandler("download", Access::ReadOnly, [&router](HttpRequest& request, const std::string&, ParamMap params,
                                            HttpResponse& response) {
        router.library().download(request, params, response);
    });
    router.addHandler("stream", Access::ReadOnly, [&router](HttpRequest& request, const std::string&, ParamMap params,
                                          HttpResponse& response) {
        router.library().stream(request, params, response);
    });
}

}  // namespace lyrebox

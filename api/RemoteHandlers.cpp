#include "api/RemoteHandlers.h"

#include "api/BrowseJson.h"
#include "api/CoverArt.h"
#include "api/EventStream.h"
#include "api/RequestRouter.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"

namespace lyrebox {

namespace {

// The commands after whose answer the sampler should look at once: every one
// that can change what status or playlist events carry.
constexpr std::string_view kPlayerChangingNames[] = {
    "prev", "play", "pause", "stop", "next", "ffw5s", "rew5s", "setvolume",
    "enqueuefile", "insertfile", "playfile", "setplaylistpos", "deleteplaylistitem", "moveplaylistitem",
    "clearplaylist", "enqueueplaylist", "playplaylist", "setshuffle", "setrepeat", "toggleshuffle",
    "togglerepeat", "setposition"};

void sendJson(HttpResponse& response, std::string body) {
    response.setHeader("Content-Type", "application/json; charset=utf-8");
    response.setBody(std::move(body));
    response.send();
}

}  // namespace

void registerRemoteHandlers(RequestRouter& router) {
    RemoteState& remote = router.remote();
    router.addHandler("status.json", Access::ReadOnly, [&router, &remote](HttpRequest&, HttpResponse& response) {
        sendJson(response, writeStatusJson(readRemoteStatus(router.gateway(), remote.revision)));
    });
    router.addHandler("playlist.json", Access::ReadOnly, [&router, &remote](HttpRequest&, HttpResponse& response) {
        sendJson(response, writePlaylistJson(readRemotePlaylist(router.gateway(), remote.revision, remote.tracks)));
    });
    router.addHandler("events", Access::ReadOnly, [&remote](HttpRequest&, HttpResponse& response) {
        serveEventStream(remote.events, response);
    });
    router.addHandler("browse.json", Access::ReadOnly, [&router](HttpRequest& request, HttpResponse& response) {
        sendJson(response, browseJson(router.library(), request.params()));
    });
    router.addHandler("cover", Access::ReadOnly, [&router](HttpRequest& request, HttpResponse& response) {
        serveCover(router, request, response);
    });

    for (std::string_view name : kPlayerChangingNames) {
        router.wrapHandler(std::string(name), [&remote](Handler inner) -> Handler {
            return [inner = std::move(inner), &remote](HttpRequest& request, HttpResponse& response) {
                inner(request, response);
                remote.events.kick();
            };
        });
    }
}

}  // namespace lyrebox

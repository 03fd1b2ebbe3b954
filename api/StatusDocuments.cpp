#include "api/StatusDocuments.h"

#include "api/RemoteHandlers.h"
#include "api/RequestRouter.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"

#include <memory>
#include <mutex>
#include <string_view>

namespace lyrebox {

namespace {

void sendText(HttpResponse& response, std::string body) {
    response.setBody(std::move(body));
    response.send();
}

void consoleStatus(RequestRouter& router, HttpResponse& response) {
    sendText(response, writeConsoleStatus(readConsoleStatus(router.gateway())));
}

// Under playlistLock: the document for a request with these parameters,
// asked of the player now.
std::shared_ptr<const std::string> currentPlaylistDocument(RequestRouter& router, const ParamMap& params) {
    PlayerGateway& gateway = router.gateway();
    auto& served = router.servedPlaylistIds();
    const auto found = params.find("id");
    const std::string id = found == params.end() ? std::string() : found->second;

    int playing = 0;
    bool dirty = false;
    TrackListCache::Tracks tracks;
    // One batch: with a long play list these are thousands of questions.
    gateway.runBatch([&] {
        const int length = gateway.playlistLength();
        playing = gateway.getPlaylistPosition();
        // The changed flag is read through the shared revision, so the
        // remote's sampler and this document never take a change from each
        // other; the served ids belong to one revision.
        RemoteState& remote = router.remote();
        const std::uint64_t revision = remote.revision.observe(gateway);
        if (revision != remote.servedIdsRevision) {
            served.clear();
            remote.servedIdsRevision = revision;
        }
        dirty = !served.contains(id);
        if (dirty || id.empty()) tracks = remote.tracks.read(gateway, revision, length);
        if (id.size() <= kMaxPlaylistIdLength) {
            if (served.size() >= kMaxServedPlaylistIds && !served.contains(id)) served.clear();
            served[id] = true;
        }
    });
    if (!tracks) return std::make_shared<const std::string>(writePlaylistDocument(playing, dirty, {}));
    // Every page that polls gets the same bytes until the list or the
    // playing entry changes: they are written once.
    auto& kept = router.remote().playlistDocument;
    if (!kept.text || kept.tracks != tracks || kept.playing != playing || kept.dirty != dirty) {
        kept.text = std::make_shared<const std::string>(writePlaylistDocument(playing, dirty, *tracks));
        kept.tracks = tracks;
        kept.playing = playing;
        kept.dirty = dirty;
    }
    return kept.text;
}

// The test of the revision and the update of the served ids run under
// playlistLock, as one step for every client. The answer goes out after the
// lock is released: a slow reader of 175 KB must not hold up the others.
void playlist(RequestRouter& router, const ParamMap& params, HttpResponse& response) {
    std::shared_ptr<const std::string> document;
    {
        std::lock_guard guard(router.playlistLock());
        document = currentPlaylistDocument(router, params);
    }
    response.setSharedBody(std::move(document));
    response.send();
}

}  // namespace

void registerDocuments(RequestRouter& router) {
    router.addHandler("consolestatus.xml", Access::ReadOnly,
                      [&router](HttpRequest&, HttpResponse& response) {
                          consoleStatus(router, response);
                      });
    router.addHandler("playlist.xml", Access::ReadOnly,
                      [&router](HttpRequest& request, HttpResponse& response) {
                          playlist(router, request.params(), response);
                      });
}

}  // namespace lyrebox

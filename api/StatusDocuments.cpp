#include "api/StatusDocuments.h"

#include "api/RemoteHandlers.h"
#include "api/RequestRouter.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"

#include <map>
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

// Under playlistLock: notes that the page with this id has the list of the
// served ids' revision.
void noteServed(std::map<std::string, bool>& served, const std::string& id) {
    if (id.size() > kMaxPlaylistIdLength) return;
    if (served.size() >= kMaxServedPlaylistIds && !served.contains(id)) served.clear();
    served[id] = true;
}

// Under playlistLock. Every page that polls gets the same bytes until the
// list or the playing entry changes: they are written once.
std::shared_ptr<const std::string> documentOf(RemoteState& remote, int playing, bool dirty,
                                              const TrackListCache::Tracks& tracks) {
    if (!tracks) return std::make_shared<const std::string>(writePlaylistDocument(playing, dirty, {}));
    auto& kept = remote.playlistDocument;
    if (!kept.text || kept.tracks != tracks || kept.playing != playing || kept.dirty != dirty) {
        kept.text = std::make_shared<const std::string>(writePlaylistDocument(playing, dirty, *tracks));
        kept.tracks = tracks;
        kept.playing = playing;
        kept.dirty = dirty;
    }
    return kept.text;
}

// Under playlistLock: the document from a state asked after the request
// arrived, without asking the player again; null when it needs entries that
// are not kept for that state, or when an answer from a later state was
// already given (the served ids must not go back to an older revision).
std::shared_ptr<const std::string> documentFromState(RequestRouter& router, const std::string& id,
                                                     const RemoteState::PlaylistState& state) {
    RemoteState& remote = router.remote();
    if (state.revision < remote.servedIdsRevision) return nullptr;
    auto& served = router.servedPlaylistIds();
    const bool newRevision = state.revision != remote.servedIdsRevision;
    const bool dirty = newRevision || !served.contains(id);
    TrackListCache::Tracks tracks;
    if (dirty || id.empty()) {
        tracks = remote.tracks.kept(state.revision, state.length);
        if (!tracks) return nullptr;
    }
    if (newRevision) {
        served.clear();
        remote.servedIdsRevision = state.revision;
    }
    noteServed(served, id);
    return documentOf(remote, state.playing, dirty, tracks);
}

// Under playlistLock: the document with everything asked of the player now,
// in one batch (with a long play list these are thousands of questions).
std::shared_ptr<const std::string> askedDocument(RequestRouter& router, const std::string& id) {
    PlayerGateway& gateway = router.gateway();
    RemoteState& remote = router.remote();
    auto& served = router.servedPlaylistIds();
    int playing = 0;
    bool dirty = false;
    TrackListCache::Tracks tracks;
    gateway.runBatch([&] {
        const int length = gateway.playlistLength();
        playing = gateway.getPlaylistPosition();
        // The changed flag is read through the shared revision, so the
        // remote's sampler and this document never take a change from each
        // other; the served ids belong to one revision.
        const std::uint64_t revision = remote.revision.observe(gateway);
        if (revision != remote.servedIdsRevision) {
            served.clear();
            remote.servedIdsRevision = revision;
        }
        dirty = !served.contains(id);
        if (dirty || id.empty()) tracks = remote.tracks.read(gateway, revision, length);
        noteServed(served, id);
    });
    return documentOf(remote, playing, dirty, tracks);
}

// The state is asked before playlistLock is taken, so requests that arrive
// together share its round trip; the test of the revision and the update of
// the served ids run under the lock, as one step for every client. The
// answer goes out after the lock is released: a slow reader of 175 KB must
// not hold up the others.
void playlist(RequestRouter& router, const ParamMap& params, HttpResponse& response) {
    PlayerGateway& gateway = router.gateway();
    RemoteState& remote = router.remote();
    const auto found = params.find("id");
    const std::string id = found == params.end() ? std::string() : found->second;
    const RemoteState::PlaylistState state = remote.playlistState.get([&] {
        RemoteState::PlaylistState asked;
        gateway.runBatch([&] {
            asked.length = gateway.playlistLength();
            asked.playing = gateway.getPlaylistPosition();
            asked.revision = remote.revision.observe(gateway);
        });
        return asked;
    });
    std::shared_ptr<const std::string> document;
    {
        std::lock_guard guard(router.playlistLock());
        document = documentFromState(router, id, state);
        if (!document) document = askedDocument(router, id);
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

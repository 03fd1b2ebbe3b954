// Each command expands the name it was given first, with no lock held (an
// expansion may walk a disk or wait on another server for seconds), then
// holds the router's playlistLock from the insertion until its answer is
// sent, so two play-list edits never interleave; the gateway's own lock is
// taken inside, after it.
#include "api/FileCommands.h"

#include "api/PlayerGateway.h"
#include "api/RequestRouter.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "library/MediaLibrary.h"
#include "platform/DecimalText.h"
#include "platform/player/PlaylistLimits.h"

#include <mutex>
#include <string_view>
#include <vector>

namespace lyrebox {

namespace {

void answer(HttpResponse& response, bool ok) {
    response.setBody(ok ? "1" : "0");
    response.send();
}

// One named entry and what it expands to; allowed is false when the name
// failed the path rule (then nothing was expanded).
struct Expansion {
    PlaylistEntry entry;
    std::vector<std::string> items;
    bool allowed = false;
    bool complete = true;
};

Expansion expandEntry(RequestRouter& router, const HttpRequest& request, PlaylistEntry entry) {
    Expansion expansion{std::move(entry), {}, false, true};
    expansion.allowed = router.library().isAllowedPath(expansion.entry.fileName);
    if (expansion.allowed)
        expansion.complete = router.library().expandPath(expansion.entry.fileName, expansion.items, request.peer());
    return expansion;
}

Expansion entryOf(RequestRouter& router, const HttpRequest& request) {
    return expandEntry(router, request, PlaylistEntry{request.param("filename"), request.param("title"), 0});
}

// Lines "title TAB file name" each ended by LF; text after the last LF is not
// used. Blanks right after the TAB are skipped. A local file name must pass
// the path rule like any other library path; URLs pass it anyway. The whole
// list counts as one expansion: lines past its bound are not expanded, and
// complete is false then.
struct ListExpansion {
    std::vector<Expansion> entries;
    bool complete = true;
};

ListExpansion expandList(RequestRouter& router, const HttpRequest& request, const std::string& list) {
    ListExpansion result;
    std::size_t total = 0;
    std::size_t start = 0;
    for (auto lineFeed = list.find('\n'); lineFeed != std::string::npos; lineFeed = list.find('\n', start)) {
        const std::string_view line(list.data() + start, lineFeed - start);
        start = lineFeed + 1;
        const auto tab = line.find('\t');
        if (tab == std::string_view::npos) continue;
        if (total >= limits::kMaxExpansionEntries) {
            result.complete = false;
            break;
        }
        auto nameStart = tab + 1;
        while (nameStart < line.size() && line[nameStart] == ' ') ++nameStart;
        Expansion expansion = expandEntry(
            router, request, PlaylistEntry{std::string(line.substr(nameStart)), std::string(line.substr(0, tab)), 0});
        if (!expansion.allowed) continue;
        if (expansion.items.size() > limits::kMaxExpansionEntries - total) {
            expansion.items.resize(limits::kMaxExpansionEntries - total);
            expansion.complete = false;
        }
        total += expansion.items.size();
        result.complete = result.complete && expansion.complete;
        result.entries.push_back(std::move(expansion));
    }
    return result;
}

// Under playlistLock. False when an entry did not fit the play list or the
// list was cut at its bound.
bool enqueueList(RequestRouter& router, const ListExpansion& list) {
    bool ok = list.complete;
    for (const auto& expansion : list.entries) {
        if (!router.gateway().enqueueItems(expansion.entry, expansion.items) &&
            router.gateway().playlistLength() >= static_cast<int>(limits::kMaxPlaylistEntries))
            ok = false;
    }
    return ok;
}

}  // namespace

void registerFileCommands(RequestRouter& router) {
    router.addHandler("enqueuefile", Access::ChangesPlayer, [&router](HttpRequest& request, HttpResponse& response) {
        const Expansion expansion = entryOf(router, request);
        std::lock_guard guard(router.playlistLock());
        answer(response, expansion.allowed && router.gateway().enqueueItems(expansion.entry, expansion.items) &&
                             expansion.complete);
    });
    router.addHandler("insertfile", Access::ChangesPlayer, [&router](HttpRequest& request, HttpResponse& response) {
        const Expansion expansion = entryOf(router, request);
        const int index = platform::parseDecimalPrefix<int>(request.param("index"));
        std::lock_guard guard(router.playlistLock());
        answer(response, expansion.allowed &&
                             router.gateway().insertItems(expansion.entry, expansion.items, index) &&
                             expansion.complete);
    });
    router.addHandler("playfile", Access::ChangesPlayer, [&router](HttpRequest& request, HttpResponse& response) {
        const Expansion expansion = entryOf(router, request);
        std::lock_guard guard(router.playlistLock());
        bool ok = false;
        if (expansion.allowed) {
            auto& gateway = router.gateway();
            gateway.stop();
            gateway.clearPlaylist();
            ok = gateway.enqueueItems(expansion.entry, expansion.items);
            if (ok) gateway.play();
            ok = ok && expansion.complete;
        }
        answer(response, ok);
    });
    // Answers "1" unless the list passed the play list's or the expansion's bound.
    router.addHandler("enqueueplaylist", Access::ChangesPlayer, [&router](HttpRequest& request, HttpResponse& response) {
        const ListExpansion list = expandList(router, request, request.param("playlist"));
        std::lock_guard guard(router.playlistLock());
        answer(response, enqueueList(router, list));
    });
    // Clears, adds the list and answers as "enqueueplaylist" does, then plays.
    router.addHandler("playplaylist", Access::ChangesPlayer, [&router](HttpRequest& request, HttpResponse& response) {
        const ListExpansion list = expandList(router, request, request.param("playlist"));
        std::lock_guard guard(router.playlistLock());
        router.gateway().clearPlaylist();
        answer(response, enqueueList(router, list));
        router.gateway().play();
    });
}

}  // namespace lyrebox

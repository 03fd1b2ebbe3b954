// Each command holds the router's playlistLock from before it reads its
// parameters until its answer is sent, so two play-list edits never
// interleave; the gateway's own lock is taken inside, after it.
#include "api/FileCommands.h"

#include "api/PlayerGateway.h"
#include "api/RequestRouter.h"
#include "http/HttpResponse.h"
#include "library/MediaLibrary.h"

#include <mutex>
#include <string_view>

namespace lyrebox {

namespace {

std::string paramOf(const ParamMap& params, const char* name) {
    const auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
}

void answer(HttpResponse& response, bool ok) {
    response.setBody(ok ? "1" : "0");
    response.send();
}

// Lines "title TAB file name" each ended by LF; text after the last LF is not
// used. Blanks right after the TAB are skipped. A local file name must pass
// the path rule like any other library path; URLs pass it anyway.
void enqueueList(RequestRouter& router, const std::string& list) {
    std::size_t start = 0;
    for (auto lineFeed = list.find('\n'); lineFeed != std::string::npos; lineFeed = list.find('\n', start)) {
        const std::string_view line(list.data() + start, lineFeed - start);
        start = lineFeed + 1;
        const auto tab = line.find('\t');
        if (tab == std::string_view::npos) continue;
        auto nameStart = tab + 1;
        while (nameStart < line.size() && line[nameStart] == ' ') ++nameStart;
        PlaylistEntry entry{std::string(line.substr(nameStart)), std::string(line.substr(0, tab)), 0};
        if (!router.library().isAllowedPath(entry.fileName)) continue;
        router.gateway().enqueueExpanded(entry);
    }
}

}  // namespace

void registerFileCommands(RequestRouter& router) {
    router.addHandler("enqueuefile", Access::ChangesPlayer,
                      [&router](HttpRequest&, const std::string&, ParamMap params, HttpResponse& response) {
        std::lock_guard guard(router.playlistLock());
        const PlaylistEntry entry{paramOf(params, "filename"), paramOf(params, "title"), 0};
        answer(response, router.library().isAllowedPath(entry.fileName) && router.gateway().enqueueExpanded(entry));
    });
    router.addHandler("insertfile", Access::ChangesPlayer,
                      [&router](HttpRequest&, const std::string&, ParamMap params, HttpResponse& response) {
        std::lock_guard guard(router.playlistLock());
        const PlaylistEntry entry{paramOf(params, "filename"), paramOf(params, "title"), 0};
        const int index = parseDecimal(paramOf(params, "index"));
        answer(response,
               router.library().isAllowedPath(entry.fileName) && router.gateway().insertExpanded(entry, index));
    });
    router.addHandler("playfile", Access::ChangesPlayer,
                      [&router](HttpRequest&, const std::string&, ParamMap params, HttpResponse& response) {
        std::lock_guard guard(router.playlistLock());
        const PlaylistEntry entry{paramOf(params, "filename"), paramOf(params, "title"), 0};
        bool ok = false;
        if (router.library().isAllowedPath(entry.fileName)) {
            auto& gateway = router.gateway();
            gateway.stop();
            gateway.clearPlaylist();
            ok = gateway.enqueueExpanded(entry);
            if (ok) gateway.play();
        }
        answer(response, ok);
    });
    router.addHandler("enqueueplaylist", Access::ChangesPlayer,
                      [&router](HttpRequest&, const std::string&, ParamMap params, HttpResponse& response) {
                          std::lock_guard guard(router.playlistLock());
                          enqueueList(router, paramOf(params, "playlist"));
                          answer(response, true);
                      });
    // Clears, adds the list and answers as "enqueueplaylist" does, then plays.
    router.addHandler("playplaylist", Access::ChangesPlayer,
                      [&router](HttpRequest&, const std::string&, ParamMap params, HttpResponse& response) {
                          std::lock_guard guard(router.playlistLock());
                          router.gateway().clearPlaylist();
                          enqueueList(router, paramOf(params, "playlist"));
                          answer(response, true);
                          router.gateway().play();
                      });
}

}  // namespace lyrebox

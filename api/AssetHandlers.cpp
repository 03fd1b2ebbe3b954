#include "api/AssetHandlers.h"

#include "api/RequestRouter.h"
#include "config/Settings.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "platform/Resources.h"
#include "web/WebResources.h"

#include <mutex>

namespace lyrebox {

namespace {

constexpr std::string_view kHtml = platform::RT_HTML;

struct AssetRow {
    const char* name;
    std::uint16_t id;
    std::string_view type;
    bool isTemplate;
};

// Every routed asset, all of them read-only names. Resource 3036 (a
// console-only page) is embedded but reached by no name.
constexpr AssetRow kAssets[] = {
    {"", 3032, kHtml, true},
    {"library", 3037, kHtml, true},
    {"playlist.css", 3043, kHtml, false},
    {"medialibrary.css", 3087, kHtml, false},
    {"tunelet.js", 3039, kHtml, true},
    {"console.js", 3064, kHtml, true},
    {"playlist.js", 3040, kHtml, false},
    {"slider.js", 3042, kHtml, false},
    {"medialibrary.js", 3074, kHtml, true},
    {"window.js", 3058, kHtml, false},
    {"cookie.js", 3059, kHtml, false},
    {"json.js", 3099, kHtml, false},
    {"interface.jpg", 3027, "JPEG", false},
    {"vol_slider.jpg", 3028, "JPEG", false},
    {"console.gif", 3062, "GIF", false},
    {"vol_handle.gif", 3018, "GIF", false},
    {"seek_handle.gif", 3069, "GIF", false},
    {"seek_slider.gif", 3068, "GIF", false},
    {"trash.gif", 3034, "GIF", false},
    {"waBoxBg.gif", 3053, "GIF", false},
    {"waFooterBg.gif", 3061, "GIF", false},
    {"waFooterLeft.gif", 3070, "GIF", false},
    {"waResize.gif", 3055, "GIF", false},
    {"waPlaylistTitle.gif", 3054, "GIF", false},
    {"waConsoleTitle.gif", 3051, "GIF", false},
    {"waBoxTitleLeft.gif", 3066, "GIF", false},
    {"waBoxTitleRight.gif", 3067, "GIF", false},
    {"waLightOn.gif", 3065, "GIF", false},
    {"closeBox.gif", 3072, "GIF", false},
    {"titleML.gif", 3076, "GIF", false},
    {"mp3.gif", 3088, "GIF", false},
    {"folder.gif", 3089, "GIF", false},
    {"folder_up.gif", 3090, "GIF", false},
    {"play.gif", 3091, "GIF", false},
    {"plus.gif", 3092, "GIF", false},
    {"donate.gif", 3093, "GIF", false},
    {"m3u.gif", 3096, "GIF", false},
    {"mlconnect.gif", 3098, "GIF", false},
    {"plclear.gif", 3100, "GIF", false},
    {"asc.gif", 3102, "GIF", false},
    {"desc.gif", 3103, "GIF", false},
    {"search.gif", 3104, "GIF", false},
    {"loading.gif", 3105, "GIF", false},
    {"favicon.ico", 3108, "ICO", false},
    // The touch remote: a page of its own for phones, its manifest and
    // home-screen icons. Plain files, no markers: it asks the server for
    // everything through same-origin requests.
    {"remote", 3110, kHtml, false},
    {"remote.css", 3111, kHtml, false},
    {"remote.js", 3112, kHtml, false},
    {"remote-data.js", 3113, kHtml, false},
    {"remote-queue.js", 3114, kHtml, false},
    {"remote-library.js", 3115, kHtml, false},
    {"remote.webmanifest", 3116, kHtml, false},
    {"remote-192.png", 3117, "PNG", false},
    {"remote-512.png", 3118, "PNG", false},
};

// The resource behind a routed name, or nothing (which cannot happen for a
// listed name while the module is loaded).
std::optional<std::string_view> loadAsset(RequestRouter& router, const std::string& name) {
    std::optional<AssetRef> asset = router.findAsset(name);
    if (!asset) return std::nullopt;
    return platform::findResource(router.instance(), asset->id, asset->type);
}

void servePlain(RequestRouter& router, const std::string& name, HttpResponse& response) {
    std::optional<std::string_view> bytes = loadAsset(router, name);
    if (!bytes) return response.sendStatusPage(500, "Internal Server Error");
    response.setBody(std::string(*bytes));
    response.send();
}

void serveTemplate(RequestRouter& router, const HttpRequest& request, const std::string& name,
                   HttpResponse& response) {
    std::optional<std::string_view> bytes = loadAsset(router, name);
    if (!bytes) return response.sendStatusPage(500, "Internal Server Error");
    response.setBody(substituteMarkers(std::string(*bytes), buildMarkerTable(router, request)));
    response.send();
}

}  // namespace

MarkerTable buildMarkerTable(RequestRouter& router, const HttpRequest& request) {
    MarkerTable markers;
    markers.emplace("HOST", requestHost(request));
    {
        std::lock_guard lock(router.playlistLock());
        markers.emplace("PLAYLIST_ID", newPlaylistId(threadGenerator(), router.servedPlaylistIds()));
    }
    markers.emplace("ML_ENABLED", router.settings().enableML() ? "true" : "false");
    markers.emplace("VERSION", std::string(kProductVersion));
    return markers;
}

void registerAssetHandlers(RequestRouter& router) {
    // Referencing the table keeps it in the module; it registered itself when the module loaded.
    (void)web::resourcesRegistered();
    for (const AssetRow& row : kAssets) {
        Handler handler;
        if (row.isTemplate) {
            handler = [&router](HttpRequest& request, HttpResponse& response) {
                serveTemplate(router, request, request.name(), response);
            };
        } else {
            handler = [&router](HttpRequest& request, HttpResponse& response) {
                servePlain(router, request.name(), response);
            };
        }
        router.addAsset(row.name, AssetRef{row.id, row.type}, std::move(handler));
    }
}

}  // namespace lyrebox

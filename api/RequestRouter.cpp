#include "api/RequestRouter.h"

#include "api/AssetHandlers.h"
#include "api/FileCommands.h"
#include "api/HttpRemoteFetch.h"
#include "api/LibraryHandlers.h"
#include "api/PlayerCommands.h"
#include "api/PlayerGateway.h"
#include "api/RemoteHandlers.h"
#include "api/StatusDocuments.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "http/RequestSite.h"
#include "library/MediaLibrary.h"

#include <ctime>

namespace lyrebox {

namespace {
constexpr std::int64_t kImageLifetime = 2592000;  // thirty days

// Types of the touch remote's assets. Kept beside the HTTP layer's table
// rather than in it: that table also types downloads, and no shared file
// should become downloadable as a page's manifest or icon.
const std::map<std::string, std::string, std::less<>>& assetTypes() {
    static const std::map<std::string, std::string, std::less<>> table = {
        {"png", "image/png"},
        {"webmanifest", "application/manifest+json"},
    };
    return table;
}

// The type of an asset the shared table does not know (the touch remote's
// icons and manifest), or null.
const std::string* typeOfAsset(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) return nullptr;
    const auto it = assetTypes().find(name.substr(dot + 1));
    return it == assetTypes().end() ? nullptr : &it->second;
}
}  // namespace

RequestRouter::RequestRouter(platform::HWND hostWindow, platform::HINSTANCE instance, Settings& settings)
    : hostWindow_(hostWindow),
      instance_(instance),
      settings_(settings),
      library_(std::make_unique<MediaLibrary>(settings, httpRemoteFetch())),
      gateway_(std::make_unique<PlayerGateway>(hostWindow, instance, *library_)),
      remote_(std::make_unique<RemoteState>(*gateway_)) {
    // Each subsystem enters its names here, assets first, in its own file.
    registerAssetHandlers(*this);
    registerPlayerCommands(*this);
    registerDocuments(*this);
    registerLibraryHandlers(*this);
    registerFileCommands(*this);
    registerRemoteHandlers(*this);
}

RequestRouter::~RequestRouter() = default;

void RequestRouter::addHandler(const std::string& name, Access access, Handler handler) {
    routes_.insert_or_assign(name, Route{std::move(handler), access, AnswerKind::Other});
}

void RequestRouter::addAsset(const std::string& name, AssetRef asset, Handler handler) {
    assets_.insert_or_assign(name, asset);
    const AnswerKind kind = name.find('.') == std::string::npos ? AnswerKind::Page : AnswerKind::Other;
    routes_.insert_or_assign(name, Route{std::move(handler), Access::ReadOnly, kind});
}

std::optional<Access> RequestRouter::accessOf(const std::string& name) const {
    const auto it = routes_.find(name);
    if (it == routes_.end()) return std::nullopt;
    return it->second.access;
}

void RequestRouter::wrapHandler(const std::string& name, const std::function<Handler(Handler)>& wrap) {
    auto it = routes_.find(name);
    if (it != routes_.end()) it->second.handler = wrap(std::move(it->second.handler));
}

std::optional<AssetRef> RequestRouter::findAsset(const std::string& name) const {
    auto it = assets_.find(name);
    if (it == assets_.end()) return std::nullopt;
    return it->second;
}

void RequestRouter::handle(HttpRequest& request, HttpResponse& response) {
    const std::string& name = request.name();
    auto it = routes_.find(name);
    if (it == routes_.end()) {
        response.sendStatusPage(404, "Not found", "Not Found");
        return;
    }
    const Route& route = it->second;
    if (route.access == Access::ChangesPlayer && isCrossOriginRequest(request.headers())) {
        response.setStatus(403, "Forbidden");
        response.setHeader("Content-Type", kPlainTextType);
        response.setBody("Refused: this request comes from another site.\n");
        response.send();
        return;
    }
    setRoutingHeaders(name, response, static_cast<std::int64_t>(std::time(nullptr)), route.kind);
    route.handler(request, response);
}

void setRoutingHeaders(const std::string& name, HttpResponse& response, std::int64_t now, AnswerKind kind) {
    response.setHeader("Cache-Control", "no-cache, must-revalidate");
    response.setHeader("Expires", "-1");
    const std::string* assetType = kind == AnswerKind::Page ? nullptr : typeOfAsset(name);
    const std::string type = assetType ? *assetType : routedContentType(name, kind);
    response.setHeader("Content-Type", type);
    if (kind == AnswerKind::Page) {
        response.setHeader("Content-Security-Policy", kPageContentSecurityPolicy);
        response.setHeader("Referrer-Policy", "no-referrer");
    }
    if (type.compare(0, type.find('/'), "image") == 0) {
        response.setHeader("Expires", formatHttpDate(now + kImageLifetime));
        response.setHeader("Cache-Control", "max-age=30");
        response.setHeader("Last-Modified", formatHttpDate(0));
    }
}

}  // namespace lyrebox

// Maps request names to embedded assets and handlers, sets the caching,
// content-type and page headers, refuses requests from other sites to names
// that change the player, and owns what the handlers share.
//
// Created and destroyed on the window thread (plugin init and quit); the
// name tables are filled by the constructor and read-only afterwards, so
// handle() runs on many connection threads at once without a lock.
// playlistLock() serialises the play-list handlers; servedPlaylistIds() is
// guarded by it.
#pragma once

#include "http/ContentTypes.h"
#include "http/HttpParse.h"
#include "platform/Types.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace lyrebox {

class HttpRequest;
class HttpResponse;
class MediaLibrary;
class PlayerGateway;
class Settings;
struct RemoteState;

// Fills the response and sends it before returning; the request carries its
// routed name and its parameters.
using Handler = std::function<void(HttpRequest& request, HttpResponse& response)>;

// What a name does, as its registration must say. Names that change the
// player or its play list are refused to requests a browser marks as coming
// from another site; read-only names stay open to every page (another
// server's library page loads "library.js" as a script, media players fetch
// downloads and stream lists).
enum class Access { ReadOnly, ChangesPlayer };

// An embedded resource: id and type ("#23" for HTML, "GIF", "JPEG", "ICO").
struct AssetRef {
    std::uint16_t id;
    std::string_view type;
};

class RequestRouter {
public:
    RequestRouter(platform::HWND hostWindow, platform::HINSTANCE instance, Settings& settings);
    ~RequestRouter();
    RequestRouter(const RequestRouter&) = delete;
    RequestRouter& operator=(const RequestRouter&) = delete;

    // Routes by request.name() (the path without its leading slashes);
    // sends the response.
    void handle(HttpRequest& request, HttpResponse& response);

    Settings& settings() { return settings_; }
    platform::HINSTANCE instance() { return instance_; }
    platform::HWND hostWindow() { return hostWindow_; }
    std::recursive_mutex& playlistLock() { return playlistLock_; }
    std::map<std::string, bool>& servedPlaylistIds() { return servedPlaylistIds_; }
    std::optional<AssetRef> findAsset(const std::string& name) const;
    // The registered access of a name; nothing for an unknown name.
    std::optional<Access> accessOf(const std::string& name) const;
    PlayerGateway& gateway() { return *gateway_; }
    MediaLibrary& library() { return *library_; }
    RemoteState& remote() { return *remote_; }

    // Only while the tables are being filled (the constructor and the
    // registration functions it calls).
    void addHandler(const std::string& name, Access access, Handler handler);
    // Assets are read-only; one without an extension is a page of the app.
    void addAsset(const std::string& name, AssetRef asset, Handler handler);
    // Replaces the handler of a registered name by wrap(old handler); does
    // nothing for an unknown name.
    void wrapHandler(const std::string& name, const std::function<Handler(Handler)>& wrap);

private:
    platform::HWND hostWindow_;
    platform::HINSTANCE instance_;
    Settings& settings_;
    std::recursive_mutex playlistLock_;
    std::map<std::string, bool> servedPlaylistIds_;
    std::map<std::string, AssetRef> assets_;
    struct Route {
        Handler handler;
        Access access;
        AnswerKind kind;
    };
    std::map<std::string, Route> routes_;
    // The library first: the gateway holds a reference to it.
    std::unique_ptr<MediaLibrary> library_;
    std::unique_ptr<PlayerGateway> gateway_;
    // After the gateway: its sampler asks the gateway, so it goes first.
    std::unique_ptr<RemoteState> remote_;
};

// The caching and content-type headers of a routed name, with now in
// seconds since 1970 (images expire thirty days later); pages also get the
// headers that keep them out of other sites' frames and keep their
// addresses (which may carry credentials) out of Referer headers.
void setRoutingHeaders(const std::string& name, HttpResponse& response, std::int64_t now,
                       AnswerKind kind = AnswerKind::Other);

// The policy of the app's pages. Scripts stay unrestricted: the library page
// loads another server's listing through a script element.
inline constexpr const char* kPageContentSecurityPolicy =
    "frame-ancestors 'self'; object-src 'none'; base-uri 'self'; form-action 'self'";

}  // namespace lyrebox

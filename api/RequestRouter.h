// Maps request names to embedded assets and handlers, sets the caching and
// content-type headers, and owns what the handlers share.
//
// Created and destroyed on the window thread (plugin init and quit); the
// name tables are filled by the constructor and read-only afterwards, so
// handle() runs on many connection threads at once without a lock.
// playlistLock() serialises the play-list handlers; servedPlaylistIds() is
// guarded by it.
#pragma once

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

// Fills the response and sends it before returning.
using Handler = std::function<void(HttpRequest& request, const std::string& name, ParamMap params,
                                   HttpResponse& response)>;

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

    // name is the path without its leading slashes; sends the response.
    void handle(HttpRequest& request, const std::string& name, ParamMap params, HttpResponse& response);

    Settings& settings() { return settings_; }
    platform::HINSTANCE instance() { return instance_; }
    platform::HWND hostWindow() { return hostWindow_; }
    std::recursive_mutex& playlistLock() { return playlistLock_; }
    std::map<std::string, bool>& servedPlaylistIds() { return servedPlaylistIds_; }
    std::optional<AssetRef> findAsset(const std::string& name) const;
    bool hasHandler(const std::string& name) const { return handlers_.count(name) != 0; }
    PlayerGateway& gateway() { return *gateway_; }
    MediaLibrary& library() { return *library_; }
    RemoteState& remote() { return *remote_; }

    // Only while the tables are being filled (the constructor and the
    // registration functions it calls).
    void addHandler(const std::string& name, Handler handler);
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
    std::map<std::string, Handler> handlers_;
    // The library first: the gateway holds a reference to it.
    std::unique_ptr<MediaLibrary> library_;
    std::unique_ptr<PlayerGateway> gateway_;
    // After the gateway: its sampler asks the gateway, so it goes first.
    std::unique_ptr<RemoteState> remote_;
};

// The caching and content-type headers of a routed name, with now in
// seconds since 1970 (images expire thirty days later).
void setRoutingHeaders(const std::string& name, HttpResponse& response, std::int64_t now);

}  // namespace lyrebox

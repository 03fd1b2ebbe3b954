#include "api/PlayerCommands.h"

#include "api/PlayerGateway.h"
#include "api/PlayerText.h"
#include "api/RequestRouter.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "platform/DecimalText.h"

#include <string>
#include <utility>

namespace lyrebox {

namespace {

// A player command: gateway and parameters in, answer text out.
using Command = std::string (*)(PlayerGateway& gateway, const ParamMap& params);

int intParam(const ParamMap& params, const char* name) {
    return platform::parseDecimalPrefix<int>(paramOf(params, name));
}

std::string flag(bool on) { return on ? "1" : "0"; }

const std::string kAck = "1";

// Only the two letters "on" turn a setting on; "ON" and "1" turn it off.
bool settingOn(const ParamMap& params) { return paramOf(params, "setting") == "on"; }

struct CommandRow {
    const char* name;
    Access access;
    Command command;
};

// The "get" commands only read; every other command changes the player.
constexpr CommandRow kCommands[] = {
    {"prev", Access::ChangesPlayer,
     [](PlayerGateway& g, const ParamMap&) { g.previous(); return std::to_string(g.getPlaylistPosition()); }},
    {"play", Access::ChangesPlayer, [](PlayerGateway& g, const ParamMap&) { g.play(); return kAck; }},
    {"pause", Access::ChangesPlayer, [](PlayerGateway& g, const ParamMap&) { g.pause(); return kAck; }},
    {"stop", Access::ChangesPlayer, [](PlayerGateway& g, const ParamMap&) { g.stop(); return kAck; }},
    {"next", Access::ChangesPlayer,
     [](PlayerGateway& g, const ParamMap&) { g.next(); return std::to_string(g.getPlaylistPosition()); }},
    {"ffw5s", Access::ChangesPlayer, [](PlayerGateway& g, const ParamMap&) { g.forward5s(); return kAck; }},
    {"rew5s", Access::ChangesPlayer, [](PlayerGateway& g, const ParamMap&) { g.rewind5s(); return kAck; }},
    {"getvolume", Access::ReadOnly, [](PlayerGateway& g, const ParamMap&) { return std::to_string(g.getVolume()); }},
    {"setvolume", Access::ChangesPlayer,
     [](PlayerGateway& g, const ParamMap& p) { g.setVolume(intParam(p, "level")); return kAck; }},
    {"getplaylistlength", Access::ReadOnly,
     [](PlayerGateway& g, const ParamMap&) { return std::to_string(g.playlistLength()); }},
    {"getplaylistfilename", Access::ReadOnly,
     [](PlayerGateway& g, const ParamMap& p) { return g.getFileName(intParam(p, "index")); }},
    {"getplaylisttitle", Access::ReadOnly,
     [](PlayerGateway& g, const ParamMap& p) { return g.getTitle(intParam(p, "index")); }},
    {"getplaylistpos", Access::ReadOnly,
     [](PlayerGateway& g, const ParamMap&) { return std::to_string(g.getPlaylistPosition()); }},
    {"setplaylistpos", Access::ChangesPlayer,
     [](PlayerGateway& g, const ParamMap& p) { g.setPlaylistPosition(intParam(p, "index")); return kAck; }},
    {"deleteplaylistitem", Access::ChangesPlayer,
     [](PlayerGateway& g, const ParamMap& p) { g.deleteItem(intParam(p, "index")); return kAck; }},
    {"moveplaylistitem", Access::ChangesPlayer,
     [](PlayerGateway& g, const ParamMap& p) { g.moveItem(intParam(p, "from"), intParam(p, "to")); return kAck; }},
    {"clearplaylist", Access::ChangesPlayer, [](PlayerGateway& g, const ParamMap&) { g.clearPlaylist(); return kAck; }},
    {"getshuffle", Access::ReadOnly, [](PlayerGateway& g, const ParamMap&) { return flag(g.getShuffle()); }},
    {"setshuffle", Access::ChangesPlayer,
     [](PlayerGateway& g, const ParamMap& p) { g.setShuffle(settingOn(p)); return kAck; }},
    {"toggleshuffle", Access::ChangesPlayer, [](PlayerGateway& g, const ParamMap&) { g.toggleShuffle(); return kAck; }},
    {"getrepeat", Access::ReadOnly, [](PlayerGateway& g, const ParamMap&) { return flag(g.getRepeat()); }},
    {"setrepeat", Access::ChangesPlayer,
     [](PlayerGateway& g, const ParamMap& p) { g.setRepeat(settingOn(p)); return kAck; }},
    {"togglerepeat", Access::ChangesPlayer, [](PlayerGateway& g, const ParamMap&) { g.toggleRepeat(); return kAck; }},
    {"getposition", Access::ReadOnly,
     [](PlayerGateway& g, const ParamMap&) { return formatPositionFraction(g.getPositionFraction()); }},
    {"setposition", Access::ChangesPlayer,
     [](PlayerGateway& g, const ParamMap& p) {
         g.setPositionFraction(parseDoubleParam(paramOf(p, "pos")));
         return kAck;
     }},
};

}  // namespace

void registerPlayerCommands(RequestRouter& router) {
    for (const auto& [name, access, command] : kCommands) {
        router.addHandler(name, access, [&router, command](HttpRequest& request, HttpResponse& response) {
            response.setBody(command(router.gateway(), request.params()));
            response.send();
        });
    }
}

}  // namespace lyrebox

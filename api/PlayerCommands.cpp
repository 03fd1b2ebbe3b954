#include "api/PlayerCommands.h"

#include "api/PlayerGateway.h"
#include "api/PlayerText.h"
#include "api/RequestRouter.h"
#include "http/HttpResponse.h"

#include <string>
#include <utility>

namespace lyrebox {

namespace {

// A player command: gateway and parameters in, answer text out.
using Command = std::string (*)(PlayerGateway& gateway, const ParamMap& params);

std::string param(const ParamMap& params, const char* name) {
    const auto found = params.find(name);
    return found == params.end() ? std::string() : found->second;
}

int intParam(const ParamMap& params, const char* name) { return parseIntParam(param(params, name)); }

std::string flag(bool on) { return on ? "1" : "0"; }

const std::string kAck = "1";

// Only the two letters "on" turn a setting on; "ON" and "1" turn it off.
bool settingOn(const ParamMap& params) { return param(params, "setting") == "on"; }

constexpr std::pair<const char*, Command> kCommands[] = {
    {"prev", [](PlayerGateway& g, const ParamMap&) { g.previous(); return std::to_string(g.getPlaylistPosition()); }},
    {"play", [](PlayerGateway& g, const ParamMap&) { g.play(); return kAck; }},
    {"pause", [](PlayerGateway& g, const ParamMap&) { g.pause(); return kAck; }},
    {"stop", [](PlayerGateway& g, const ParamMap&) { g.stop(); return kAck; }},
    {"next", [](PlayerGateway& g, const ParamMap&) { g.next(); return std::to_string(g.getPlaylistPosition()); }},
    {"ffw5s", [](PlayerGateway& g, const ParamMap&) { g.forward5s(); return kAck; }},
    {"rew5s", [](PlayerGateway& g, const ParamMap&) { g.rewind5s(); return kAck; }},
    {"getvolume", [](PlayerGateway& g, const ParamMap&) { return std::to_string(g.getVolume()); }},
    {"setvolume", [](PlayerGateway& g, const ParamMap& p) { g.setVolume(intParam(p, "level")); return kAck; }},
    {"getplaylistlength", [](PlayerGateway& g, const ParamMap&) { return std::to_string(g.playlistLength()); }},
    {"getplaylistfilename", [](PlayerGateway& g, const ParamMap& p) { return g.getFileName(intParam(p, "index")); }},
    {"getplaylisttitle", [](PlayerGateway& g, const ParamMap& p) { return g.getTitle(intParam(p, "index")); }},
    {"getplaylistpos", [](PlayerGateway& g, const ParamMap&) { return std::to_string(g.getPlaylistPosition()); }},
    {"setplaylistpos",
     [](PlayerGateway& g, const ParamMap& p) { g.setPlaylistPosition(intParam(p, "index")); return kAck; }},
    {"deleteplaylistitem", [](PlayerGateway& g, const ParamMap& p) { g.deleteItem(intParam(p, "index")); return kAck; }},
    {"moveplaylistitem",
     [](PlayerGateway& g, const ParamMap& p) { g.moveItem(intParam(p, "from"), intParam(p, "to")); return kAck; }},
    {"clearplaylist", [](PlayerGateway& g, const ParamMap&) { g.clearPlaylist(); return kAck; }},
    {"getshuffle", [](PlayerGateway& g, const ParamMap&) { return flag(g.getShuffle()); }},
    {"setshuffle", [](PlayerGateway& g, const ParamMap& p) { g.setShuffle(settingOn(p)); return kAck; }},
    {"toggleshuffle", [](PlayerGateway& g, const ParamMap&) { g.toggleShuffle(); return kAck; }},
    {"getrepeat", [](PlayerGateway& g, const ParamMap&) { return flag(g.getRepeat()); }},
    {"setrepeat", [](PlayerGateway& g, const ParamMap& p) { g.setRepeat(settingOn(p)); return kAck; }},
    {"togglerepeat", [](PlayerGateway& g, const ParamMap&) { g.toggleRepeat(); return kAck; }},
    {"getposition", [](PlayerGateway& g, const ParamMap&) { return formatPositionFraction(g.getPositionFraction()); }},
    {"setposition",
     [](PlayerGateway& g, const ParamMap& p) { g.setPositionFraction(parseDoubleParam(param(p, "pos"))); return kAck; }},
};

}  // namespace

void registerPlayerCommands(RequestRouter& router) {
    for (const auto& [name, command] : kCommands) {
        router.addHandler(name, [&router, command](HttpRequest&, const std::string&, ParamMap params,
                                                   HttpResponse& response) {
            response.setBody(command(router.gateway(), params));
            response.send();
        });
    }
}

}  // namespace lyrebox

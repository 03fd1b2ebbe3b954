// The plain-text player commands ("play", "setvolume", "getposition", ...):
// each reads its parameters, calls the gateway on the connection thread that
// runs it, and answers a short text body. None of them takes a router lock.
#pragma once

namespace lyrebox {

class RequestRouter;

// Enters the 25 player commands in the router's handler table.
void registerPlayerCommands(RequestRouter& router);

}  // namespace lyrebox

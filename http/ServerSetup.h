// The one hand-over of the settings to the server, shared by the plugin's
// start-up and the configuration dialog's Start and OK, so the two cannot
// drift apart.
//
// Called on the window thread, which owns both objects.
#pragma once

#include <cstdint>

namespace lyrebox {

class Server;
class Settings;

// Whether a "listenPort" setting names a port the server may listen on:
// 0..65535, where 0 lets the system pick a free port (the server reports the
// port it bound). Anything else is refused rather than cut to 16 bits
// (65536 + P would otherwise listen on P).
bool isListenPort(std::int32_t port);

// Gives the server its address, port, idle time-out (0 or less: no limit),
// the password requirement with the credentials as one pair, the address
// filter and the extra server names. Address and port take effect at the
// next start, the rest at once. Returns false, and leaves the server's port
// as it was, when the port setting is refused: the server must not be
// started then.
bool configureServer(Server& server, const Settings& settings);

}  // namespace lyrebox

#include "http/ServerSetup.h"

#include "config/Settings.h"
#include "http/Server.h"

#include <chrono>

namespace lyrebox {

bool isListenPort(std::int32_t port) { return port >= 0 && port <= 65535; }

bool configureServer(Server& server, const Settings& settings) {
    server.setAddress(settings.listenIP());
    const std::int32_t seconds = settings.timeout();
    server.setIdleTimeout(seconds > 0 ? std::chrono::seconds(seconds) : std::chrono::seconds(0));
    server.setRequirePassword(settings.requirePassword());
    // As one pair, so a connection checking credentials meanwhile never sees
    // a new name with an old password.
    server.setCredentials(settings.username(), settings.password());
    server.setFilterIPs(settings.filterIPs());
    server.setAllowedIPs(settings.allowedIPs());
    server.setBlockedIPs(settings.blockedIPs());
    server.setServerNames(settings.serverNames());
    if (!isListenPort(settings.listenPort())) return false;
    server.setPort(static_cast<std::uint16_t>(settings.listenPort()));
    return true;
}

}  // namespace lyrebox

// The one line the player shows for a plugin's service notice: the web app's
// addresses and its touch remote, or why the server does not run, with a
// warning when it is open to the network without a password.
#pragma once

#include "platform/ServiceNotice.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lyrebox::host {

// The IPv4 addresses of this machine's interfaces that are up, loopback
// excluded, in network byte order and in the system's order.
std::vector<std::uint32_t> interfaceAddresses();

// interfaces: what interfaceAddresses() returned (used for a server on 0.0.0.0).
std::string serviceLine(const platform::ServiceNotice& notice, const std::vector<std::uint32_t>& interfaces);

}  // namespace lyrebox::host

#include "host/ServiceLine.h"

#include "platform/Socket.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>

namespace lyrebox::host {

namespace {

bool isLoopback(std::uint32_t address) { return (ntohl(address) >> 24) == 127; }

std::string url(std::uint32_t address, std::uint16_t port, const std::string& path) {
    return "http://" + platform::ipv4ToText(address) + ":" + std::to_string(port) + path;
}

}  // namespace

std::vector<std::uint32_t> interfaceAddresses() {
    std::vector<std::uint32_t> out;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return out;
    for (ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_INET || !(entry->ifa_flags & IFF_UP)) continue;
        const std::uint32_t address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
        if (isLoopback(address) || std::find(out.begin(), out.end(), address) != out.end()) continue;
        out.push_back(address);
    }
    ::freeifaddrs(list);
    return out;
}

std::string serviceLine(const platform::ServiceNotice& notice, const std::vector<std::uint32_t>& interfaces) {
    using State = platform::ServiceNotice::State;
    if (notice.state == State::Failed) return notice.service + " not running: " + notice.reason;
    if (notice.state == State::Stopped) return notice.service + " stopped";

    std::vector<std::uint32_t> addresses;
    if (notice.address != 0) addresses.push_back(notice.address);
    else addresses = interfaces;
    // Nothing beyond loopback to name: the machine itself still reaches it.
    if (addresses.empty()) addresses.push_back(htonl(INADDR_LOOPBACK));

    std::string line = notice.service + " at";
    const std::string home = notice.pages.empty() ? "/" : notice.pages.front().second;
    for (std::uint32_t address : addresses) line += " " + url(address, notice.port, home);
    for (std::size_t i = 1; i < notice.pages.size(); ++i)
        line += ", " + notice.pages[i].first + " " + url(addresses.front(), notice.port, notice.pages[i].second);
    if (!isLoopback(notice.address) && !notice.needsPassword)
        line += " - no password: anyone on the network can use it; to set one, " + notice.passwordHint;
    return line;
}

}  // namespace lyrebox::host

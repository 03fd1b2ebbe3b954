#include "http/RequestSite.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

namespace lyrebox {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower(x) == lower(y);
           });
}

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = lower(c);
    return out;
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string_view withoutTrailingDot(std::string_view name) {
    return !name.empty() && name.back() == '.' ? name.substr(0, name.size() - 1) : name;
}

bool isPort(std::string_view text) {
    return !text.empty() && text.size() <= 5 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool isIPv4(std::string_view text) {
    in_addr address{};
    return text.size() < INET_ADDRSTRLEN && ::inet_pton(AF_INET, std::string(text).c_str(), &address) == 1;
}

bool isIPv6(std::string_view text) {
    in6_addr address{};
    return text.size() < INET6_ADDRSTRLEN && ::inet_pton(AF_INET6, std::string(text).c_str(), &address) == 1;
}

}  // namespace

std::optional<std::string> findHeader(const HeaderMap& headers, std::string_view name) {
    for (const auto& [key, value] : headers)
        if (equalsIgnoringCase(key, name)) return value;
    return std::nullopt;
}

std::vector<std::string> splitServerNames(std::string_view text) {
    std::vector<std::string> names;
    while (!text.empty()) {
        const auto semicolon = text.find(';');
        const std::string_view name = withoutTrailingDot(trimBlanks(text.substr(0, semicolon)));
        if (!name.empty()) names.push_back(lowerCase(name));
        text = semicolon == std::string_view::npos ? std::string_view() : text.substr(semicolon + 1);
    }
    return names;
}

std::vector<std::string> machineHostNames() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return {};
    const std::string own = lowerCase(withoutTrailingDot(name));
    return {own, own + ".local"};
}

bool isAllowedHost(std::string_view hostHeader, const std::vector<std::string>& names) {
    std::string_view host = hostHeader;
    if (!host.empty() && host.front() == '[') {
        const auto close = host.find(']');
        if (close == std::string_view::npos) return false;
        const std::string_view rest = host.substr(close + 1);
        if (!rest.empty() && !(rest.front() == ':' && isPort(rest.substr(1)))) return false;
        return isIPv6(host.substr(1, close - 1));
    }
    const auto colon = host.find(':');
    if (colon != std::string_view::npos) {
        if (!isPort(host.substr(colon + 1))) return false;
        host = host.substr(0, colon);
    }
    host = withoutTrailingDot(host);
    if (host.empty()) return false;
    if (isIPv4(host) || equalsIgnoringCase(host, "localhost")) return true;
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& name) { return equalsIgnoringCase(host, name); });
}

bool originMatchesHost(std::string_view origin, std::string_view host) {
    const auto scheme = origin.find("://");
    if (scheme == std::string_view::npos || scheme == 0 || host.empty()) return false;
    const std::string_view authority = origin.substr(scheme + 3);
    // A serialised origin has no path, query, fragment or user part.
    if (authority.empty() || authority.find_first_of("/?#@") != std::string_view::npos) return false;
    return equalsIgnoringCase(authority, host);
}

bool isCrossOriginRequest(const HeaderMap& headers) {
    if (const auto site = findHeader(headers, "Sec-Fetch-Site")) {
        const std::string value = lowerCase(trimBlanks(*site));
        if (value == "cross-site" || value == "same-site") return true;
    }
    const auto origin = findHeader(headers, "Origin");
    if (!origin) return false;
    return !originMatchesHost(trimBlanks(*origin), trimBlanks(findHeader(headers, "Host").value_or("")));
}

HostAllowList::HostAllowList() : names_(machineHostNames()) {}

void HostAllowList::enable(bool on) {
    std::lock_guard lock(mutex_);
    enabled_ = on;
}

void HostAllowList::setServerNames(std::string_view text) {
    std::vector<std::string> names = machineHostNames();
    for (auto& name : splitServerNames(text)) names.push_back(std::move(name));
    std::lock_guard lock(mutex_);
    names_ = std::move(names);
}

bool HostAllowList::admits(const std::optional<std::string>& hostHeader) const {
    if (!hostHeader || trimBlanks(*hostHeader).empty()) return true;
    std::lock_guard lock(mutex_);
    return !enabled_ || isAllowedHost(trimBlanks(*hostHeader), names_);
}

}  // namespace lyrebox

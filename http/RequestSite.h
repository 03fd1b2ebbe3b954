// Which server a request asks for and which site it says it comes from: the
// checks against DNS rebinding (the Host header must name this machine) and
// against requests forged by pages of other sites (the browser's Origin and
// Sec-Fetch-Site headers).
//
// Pure functions over header texts, callable from any thread. HostAllowList
// is written on the window thread (plugin start, the dialog's Start) and read
// by every connection thread; its mutex guards all its fields.
#pragma once

#include "http/HttpParse.h"

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lyrebox {

// The value of a header whose name matches in any letter case; nothing when
// the request has no such header.
std::optional<std::string> findHeader(const HeaderMap& headers, std::string_view name);

// Splits the "Server Names" setting at ';'; blanks around names and empty
// names are dropped, each name is lower-cased and loses one trailing dot.
std::vector<std::string> splitServerNames(std::string_view text);

// This machine's own names: its host name and that name with ".local"
// (lower-cased); empty when the system does not say.
std::vector<std::string> machineHostNames();

// Whether a Host header value names this machine: an IPv4 or bracketed IPv6
// literal, "localhost", or one of names (lower-cased, without a trailing
// dot), each with or without a port. Letter case and one trailing dot of the
// host do not count. A value that is not a host at all never matches.
bool isAllowedHost(std::string_view hostHeader, const std::vector<std::string>& names);

// Whether an Origin header value ("http://host:port") names the same host
// and port as the Host header, letter case aside. "null" and anything that
// is not a serialised origin never match.
bool originMatchesHost(std::string_view origin, std::string_view host);

// Whether the browser says the request comes from another site: an Origin
// that does not match Host, or Sec-Fetch-Site "cross-site" or "same-site".
// Requests without either header (media players, scripts) are not.
bool isCrossOriginRequest(const HeaderMap& headers);

class HostAllowList {
public:
    HostAllowList();
    // Until enabled, every Host is admitted.
    void enable(bool on);
    // The user's extra names ("Server Names"); the machine's own names are
    // looked up again with each call.
    void setServerNames(std::string_view text);
    // An absent Host header (HTTP/1.0 clients) is admitted.
    bool admits(const std::optional<std::string>& hostHeader) const;

private:
    mutable std::mutex mutex_;
    bool enabled_ = false;
    std::vector<std::string> names_;
};

}  // namespace lyrebox

#include "http/AccessControl.h"

#include "http/HttpLimits.h"
#include "http/HttpRequest.h"
#include "http/HttpResponse.h"

#include <cctype>

namespace lyrebox {

namespace {

// Non-empty "."-separated parts, at most max of them.
std::vector<std::string_view> dottedParts(std::string_view text, std::size_t max) {
    std::vector<std::string_view> parts;
    while (!text.empty() && parts.size() < max) {
        std::size_t dot = text.find('.');
        std::string_view part = text.substr(0, dot);
        if (!part.empty()) parts.push_back(part);
        text = dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
    }
    return parts;
}

bool anyMatches(const std::vector<std::string>& patterns, std::string_view address) {
    for (const auto& pattern : patterns)
        if (patternMatches(pattern, address)) return true;
    return false;
}

}  // namespace

std::vector<std::string> splitPatterns(std::string_view text) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        std::size_t start = i;
        while (i < text.size() && !std::isspace(static_cast<unsigned char>(text[i]))) ++i;
        if (i > start) words.emplace_back(text.substr(start, i - start));
    }
    return words;
}

bool patternMatches(std::string_view pattern, std::string_view address) {
    auto want = dottedParts(pattern, 4);
    if (want.size() < 4) return false;
    auto have = dottedParts(address, 5);
    if (have.size() != 4) return false;
    for (std::size_t i = 0; i < 4; ++i)
        if (want[i] != "*" && want[i] != have[i]) return false;
    return true;
}

bool isAddressAllowed(const std::vector<std::string>& allowed, const std::vector<std::string>& blocked,
                      std::string_view address) {
    if (dottedParts(address, 5).size() != 4) return false;
    return anyMatches(allowed, address) && !anyMatches(blocked, address);
}

std::string base64Encode(std::string_view bytes) {
    static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16 | static_cast<unsigned char>(bytes[i + 1]) << 8 |
                     static_cast<unsigned char>(bytes[i + 2]);
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += kAlphabet[(v >> 6) & 63];
        out += kAlphabet[v & 63];
    }
    if (i < bytes.size()) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        bool two = i + 1 < bytes.size();
        if (two) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[v >> 18];
        out += kAlphabet[(v >> 12) & 63];
        out += two ? kAlphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

bool constantTimeEquals(std::string_view given, std::string_view expected) {
    if (expected.empty()) return given.empty();
    // The loop runs over the given text only, and never exits early.
    unsigned diff = given.size() != expected.size() ? 1u : 0u;
    for (std::size_t i = 0; i < given.size(); ++i)
        diff |= static_cast<unsigned char>(given[i]) ^ static_cast<unsigned char>(expected[i % expected.size()]);
    return diff == 0;
}

AccessSettings::AccessSettings() { updateTokenLocked(); }

void AccessSettings::setRequirePassword(bool on) {
    std::lock_guard lock(mutex_);
    requirePassword_ = on;
}

void AccessSettings::setUsername(const std::string& name) {
    std::lock_guard lock(mutex_);
    username_ = name;
    updateTokenLocked();
}

void AccessSettings::setPassword(const std::string& password) {
    std::lock_guard lock(mutex_);
    password_ = password;
    updateTokenLocked();
}

void AccessSettings::setCredentials(const std::string& name, const std::string& password) {
    std::lock_guard lock(mutex_);
    username_ = name;
    password_ = password;
    updateTokenLocked();
}

void AccessSettings::setFilterIPs(bool on) {
    std::lock_guard lock(mutex_);
    filterIPs_ = on;
}

void AccessSettings::setAllowedIPs(const std::string& text) {
    auto patterns = splitPatterns(text);
    std::lock_guard lock(mutex_);
    allowed_ = std::move(patterns);
}

void AccessSettings::setBlockedIPs(const std::string& text) {
    auto patterns = splitPatterns(text);
    std::lock_guard lock(mutex_);
    blocked_ = std::move(patterns);
}

bool AccessSettings::requirePassword() const {
    std::lock_guard lock(mutex_);
    return requirePassword_;
}

bool AccessSettings::filterIPs() const {
    std::lock_guard lock(mutex_);
    return filterIPs_;
}

bool AccessSettings::admits(const std::string& address) const {
    std::lock_guard lock(mutex_);
    return !filterIPs_ || lyrebox::isAddressAllowed(allowed_, blocked_, address);
}

bool AccessSettings::isAddressAllowed(const std::string& address) const {
    std::lock_guard lock(mutex_);
    return lyrebox::isAddressAllowed(allowed_, blocked_, address);
}

bool AccessSettings::checkCredentials(std::string_view token) const {
    std::lock_guard lock(mutex_);
    return constantTimeEquals(token, token_);
}

void AccessSettings::updateTokenLocked() { token_ = base64Encode(username_ + ":" + password_); }

bool authenticate(HttpRequest& request, HttpResponse& response, const AccessSettings& access) {
    std::string authorization = request.header("Authorization");
    if (authorization.compare(0, 6, "Basic ") == 0) {
        std::string token = authorization.substr(6);
        if (access.checkCredentials(token)) {
            request.setAuthToken(std::move(token));
            return true;
        }
    }
    std::string param = request.param("auth");
    if (access.checkCredentials(param)) {
        request.setAuthToken(std::move(param));
        return true;
    }
    response.setHeader("WWW-Authenticate", std::string("Basic realm=\"") + http::kAuthRealm + "\"");
    request.setStatus(401, "Unauthorized");
    return false;
}

}  // namespace lyrebox

// Who may talk to the server: the address filter applied at accept and the
// Basic credential checked on every request.
//
// AccessSettings is written on the window thread (plugin start, the
// dialog's Start) and read by the listener and every connection thread; one
// mutex guards all fields, so a check always sees a consistent user name and
// password pair.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace lyrebox {

class HttpRequest;
class HttpResponse;

// Splits at runs of white space; each word is one pattern.
std::vector<std::string> splitPatterns(std::string_view text);
// Four dotted parts, each equal as text or "*"; fewer than four never match,
// parts beyond the fourth are ignored, empty parts do not count.
bool patternMatches(std::string_view pattern, std::string_view address);
// Allowed by some pattern of allowed and by none of blocked.
bool isAddressAllowed(const std::vector<std::string>& allowed, const std::vector<std::string>& blocked,
                      std::string_view address);

std::string base64Encode(std::string_view bytes);
// Takes the same time whatever the contents, so a guess cannot be refined
// byte by byte from answer times.
bool constantTimeEquals(std::string_view given, std::string_view expected);

class AccessSettings {
public:
    AccessSettings();

    void setRequirePassword(bool on);
    void setUsername(const std::string& name);
    void setPassword(const std::string& password);
    // Both at once, so no check ever sees the new name with the old password.
    void setCredentials(const std::string& name, const std::string& password);
    void setFilterIPs(bool on);
    void setAllowedIPs(const std::string& text);
    void setBlockedIPs(const std::string& text);

    bool requirePassword() const;
    bool filterIPs() const;
    // Whether a caller may connect; true whenever the filter is off.
    bool admits(const std::string& address) const;
    bool isAddressAllowed(const std::string& address) const;
    bool checkCredentials(std::string_view token) const;

private:
    void updateTokenLocked();

    mutable std::mutex mutex_;
    bool requirePassword_ = false;
    bool filterIPs_ = false;
    std::string username_, password_, token_;
    std::vector<std::string> allowed_, blocked_;
};

// The per-request check while a password is required: the "Authorization"
// header ("Basic " and the token) or the "auth" parameter. On success the
// token is stored in the request; otherwise the request gets 401 and the
// response the challenge.
bool authenticate(HttpRequest& request, HttpResponse& response, const AccessSettings& access);

}  // namespace lyrebox

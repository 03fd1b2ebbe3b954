#include "config/Settings.h"

#include "platform/Profile.h"

#include <arpa/inet.h>
#include <netinet/in.h>

namespace lyrebox {

namespace {

constexpr const char* kIndexAutomaticallyKey = "Index Automatically";
constexpr const char* kDefaultAllowedIPs = "127.0.0.1\r\n192.168.0.*\r\n192.168.1.*";

// Replaces every occurrence of the two-character sequence with one byte,
// scanning from the start and resuming just after each replacement.
std::string replacePairs(const std::string& text, char second, char replacement) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == second) {
            out += replacement;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::string escapeLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n";
        else out += c;
    }
    return out;
}

std::string unescapeLineBreaks(const std::string& text) {
    return replacePairs(replacePairs(replacePairs(text, 'r', '\r'), 'n', '\n'), '\\', '\\');
}

std::string joinSharedDirs(const std::vector<std::string>& dirs) {
    std::string out;
    for (const auto& d : dirs) {
        out += d;
        out += ';';
    }
    return out;
}

std::vector<std::string> splitSharedDirs(const std::string& text) {
    std::vector<std::string> dirs;
    std::size_t pos = text.find_first_not_of(';');
    while (pos != std::string::npos) {
        std::size_t end = text.find(';', pos);
        dirs.push_back(text.substr(pos, end == std::string::npos ? std::string::npos : end - pos));
        if (end == std::string::npos) break;
        pos = text.find_first_not_of(';', end);
    }
    return dirs;
}

std::uint32_t parseIPv4(const std::string& text) { return ::inet_addr(text.c_str()); }

std::string formatIPv4(std::uint32_t address) {
    in_addr a{};
    a.s_addr = address;
    char buffer[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &a, buffer, sizeof buffer);
    return buffer;
}

Settings::Settings(const std::string& iniPath) : iniPath_(iniPath.substr(0, kMaxPath)) { load(); }

std::int32_t Settings::readInt(const std::string& key, std::int32_t defaultValue) const {
    return platform::getPrivateProfileInt(kSection, key, defaultValue, iniPath_);
}

std::string Settings::readString(const std::string& key, std::size_t size, const std::string& defaultValue) const {
    return platform::getPrivateProfileString(kSection, key, defaultValue, size ? size - 1 : 0, iniPath_);
}

bool Settings::writeString(const std::string& key, const std::string& text) const {
    return platform::writePrivateProfileString(kSection, key, text, iniPath_);
}

bool Settings::writeInt(const std::string& key, std::int32_t value) const {
    return writeString(key, std::to_string(value));
}

void Settings::load() {
    autoStart_ = readInt("autoStart", 1) != 0;
    listenIP_ = parseIPv4(readString("listenIP", kMaxListenIP + 1, "0.0.0.0"));
    listenPort_ = readInt("listenPort", 5151);
    timeout_ = readInt("timeout", 900);
    requirePassword_ = readInt("requirePassword", 0) != 0;
    username_ = readString("username", kMaxCredential + 1, "");
    password_ = readString("password", kMaxCredential + 1, "");
    filterIPs_ = readInt("filterIPs", 0) != 0;
    allowedIPs_ = unescapeLineBreaks(readString("Allowed IPs", kMaxIPList + 1, kDefaultAllowedIPs));
    blockedIPs_ = unescapeLineBreaks(readString("Blocked IPs", kMaxIPList + 1, ""));
    serverNames_ = readString("Server Names", kMaxServerNames + 1, "");
    enableML_ = readInt("Enable ML", 1) != 0;
    indexAutomatically_ = readInt(kIndexAutomaticallyKey, 1) != 0;
    indexKeyStored_ = readString(kIndexAutomaticallyKey, 16, "-") != "-";
    sharedDirs_.replace(splitSharedDirs(readString("Shared Dirs", kMaxSharedDirs + 1, "")));
}

// One replacement of the file for all keys: a save cut short (a crash, a
// kill) leaves either the old settings or the new ones, never a mix.
void Settings::save() const {
    std::vector<std::pair<std::string, std::string>> keys = {
        {"autoStart", std::to_string(autoStart_ ? 1 : 0)},
        {"listenIP", formatIPv4(listenIP_)},
        {"listenPort", std::to_string(listenPort_)},
        {"timeout", std::to_string(timeout_)},
        {"requirePassword", std::to_string(requirePassword_ ? 1 : 0)},
        {"username", username_},
        {"password", password_},
        {"filterIPs", std::to_string(filterIPs_ ? 1 : 0)},
        {"Allowed IPs", escapeLineBreaks(allowedIPs_)},
        {"Blocked Ips", escapeLineBreaks(blockedIPs_)},
        {"Enable ML", std::to_string(enableML_ ? 1 : 0)},
        {"Shared Dirs", escapeLineBreaks(joinSharedDirs(*sharedDirs_.snapshot()))}};
    // The optional keys are written once they differ from their default (or
    // did, so that going back sticks); files of users who never set them stay
    // as they were.
    if (!serverNames_.empty() || !readString("Server Names", 2, "").empty())
        keys.emplace_back("Server Names", escapeLineBreaks(serverNames_));
    if (!indexAutomatically_ || indexKeyStored_) {
        keys.emplace_back(kIndexAutomaticallyKey, indexAutomatically_ ? "1" : "0");
    }
    if (platform::writePrivateProfileStrings(kSection, keys, iniPath_) && !indexAutomatically_) {
        indexKeyStored_ = true;
    }
}

}  // namespace lyrebox

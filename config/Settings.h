// The plugin's persistent configuration and its INI file.
//
// One instance, created by the plugin at start with the INI path; the
// constructor loads every key. Only the window thread changes values (the
// configuration dialog) and saves them; the shared-directory list is the one
// field read from other threads, through SharedDirList.
#pragma once

#include "config/SharedDirList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace lyrebox {

class Settings {
public:
    static constexpr const char* kSection = "Lyrebox Remote Control Plugin v1.0";
    static constexpr std::size_t kMaxPath = 259;
    static constexpr std::size_t kMaxListenIP = 15;
    static constexpr std::size_t kMaxCredential = 32;
    static constexpr std::size_t kMaxIPList = 4095;
    static constexpr std::size_t kMaxSharedDirs = 266239;
    static constexpr std::size_t kMaxServerNames = 4095;

    explicit Settings(const std::string& iniPath);
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    void load();
    void save() const;

    const std::string& iniPath() const { return iniPath_; }

    bool autoStart() const { return autoStart_; }
    void setAutoStart(bool on) { autoStart_ = on; }
    std::int32_t listenPort() const { return listenPort_; }
    void setListenPort(std::int32_t port) { listenPort_ = port; }
    // IPv4 address in network byte order.
    std::uint32_t listenIP() const { return listenIP_; }
    void setListenIP(std::uint32_t address) { listenIP_ = address; }
    std::int32_t timeout() const { return timeout_; }
    void setTimeout(std::int32_t seconds) { timeout_ = seconds; }
    const std::string& username() const { return username_; }
    void setUsername(const std::string& name) { username_ = name; }
    const std::string& password() const { return password_; }
    void setPassword(const std::string& password) { password_ = password; }
    bool requirePassword() const { return requirePassword_; }
    void setRequirePassword(bool on) { requirePassword_ = on; }
    bool filterIPs() const { return filterIPs_; }
    void setFilterIPs(bool on) { filterIPs_ = on; }
    const std::string& allowedIPs() const { return allowedIPs_; }
    void setAllowedIPs(const std::string& text) { allowedIPs_ = text; }
    const std::string& blockedIPs() const { return blockedIPs_; }
    void setBlockedIPs(const std::string& text) { blockedIPs_ = text; }
    // Extra DNS names the server answers to, ';'-separated (besides its
    // addresses, "localhost" and the machine's own name).
    const std::string& serverNames() const { return serverNames_; }
    void setServerNames(const std::string& text) { serverNames_ = text; }
    bool enableML() const { return enableML_; }
    void setEnableML(bool on) { enableML_ = on; }
    // "Index Automatically": keep the library index current by itself.
    bool indexAutomatically() const { return indexAutomatically_; }
    void setIndexAutomatically(bool on) { indexAutomatically_ = on; }

    // The live list; readers on other threads take snapshots of it.
    SharedDirList& sharedDirs() { return sharedDirs_; }
    const SharedDirList& sharedDirs() const { return sharedDirs_; }
    void setSharedDirs(std::vector<std::string> dirs) { sharedDirs_.replace(std::move(dirs)); }

    // The file operations on the one section of iniPath.
    bool writeString(const std::string& key, const std::string& text) const;
    bool writeInt(const std::string& key, std::int32_t value) const;
    std::int32_t readInt(const std::string& key, std::int32_t defaultValue) const;
    std::string readString(const std::string& key, std::size_t size, const std::string& defaultValue) const;

private:
    std::string iniPath_;
    bool autoStart_ = true;
    std::int32_t listenPort_ = 5151;
    std::uint32_t listenIP_ = 0;
    std::int32_t timeout_ = 900;
    std::string username_;
    std::string password_;
    bool requirePassword_ = false;
    bool filterIPs_ = false;
    std::string allowedIPs_;
    std::string blockedIPs_;
    std::string serverNames_;
    bool enableML_ = true;
    bool indexAutomatically_ = true;
    // Whether the file holds the key; it is written only then or when it is
    // off, so a file that never had it does not gain a line for the default.
    mutable bool indexKeyStored_ = false;
    SharedDirList sharedDirs_;
};

// Line-break escaping of the list keys: CR -> "\r", LF -> "\n"; backslashes unchanged.
std::string escapeLineBreaks(const std::string& text);
// The three unescaping passes: "\r" -> CR, then "\n" -> LF, then "\\" -> "\".
std::string unescapeLineBreaks(const std::string& text);
// "Shared Dirs" joining and splitting.
std::string joinSharedDirs(const std::vector<std::string>& dirs);
std::vector<std::string> splitSharedDirs(const std::string& text);

// Dotted-quad text <-> address in network byte order, as inet_addr/inet_ntoa do
// (text that is not an address gives 255.255.255.255).
std::uint32_t parseIPv4(const std::string& text);
std::string formatIPv4(std::uint32_t address);

}  // namespace lyrebox

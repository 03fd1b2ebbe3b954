#include "plugin/dialog/ConfigPages.h"

#include "plugin/dialog/ConfigTemplates.h"
#include "config/Settings.h"
#include "platform/Window.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

namespace lyrebox {

using namespace config;
using platform::HWND;
using platform::LPARAM;
using platform::LRESULT;
using platform::UINT;
using platform::WPARAM;

namespace {

inline constexpr std::size_t kMaxCredentialChars = 31;
inline constexpr std::size_t kMaxIPListChars = 4094;
inline constexpr std::size_t kMaxRemovedAtOnce = 1024;

bool isClick(UINT message, WPARAM wParam, int id) {
    return message == platform::WM_COMMAND && platform::hiWord(wParam) == platform::BN_CLICKED &&
           platform::loWord(wParam) == id;
}

}  // namespace

std::uint32_t parseUnsignedText(const std::string& text) {
    std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) return 0;
    std::size_t end = text.find_last_not_of(' ') + 1;
    std::uint64_t value = 0;
    for (std::size_t i = begin; i < end; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return 0;
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > 0xFFFFFFFFull) return 0;
    }
    return static_cast<std::uint32_t>(value);
}

std::string trimTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

LRESULT ConfigPage::sendOwner(UINT message) const { return platform::sendMessage(owner_, message, 0, 0); }

// Server page.

ConfigServerDialog::ConfigServerDialog(platform::HINSTANCE instance, HWND frame, HWND owner)
    : ConfigPage(instance, frame, owner, serverTemplate()) {}

void ConfigServerDialog::refresh(const Settings& settings, bool serverRunning) {
    platform::ipAddressSet(item(kServerIP), ntohl(settings.listenIP()));
    platform::setWindowText(item(kServerPort), std::to_string(static_cast<std::uint32_t>(settings.listenPort())));
    platform::setWindowText(item(kTimeout), std::to_string(static_cast<std::uint32_t>(settings.timeout())));
    platform::checkDlgButton(window(), kAutoStart, settings.autoStart());
    platform::enableWindow(item(kStart), !serverRunning);
    platform::enableWindow(item(kStop), serverRunning);
}

void ConfigServerDialog::apply(Settings& settings) {
    settings.setAutoStart(platform::isDlgButtonChecked(window(), kAutoStart));
    settings.setListenIP(htonl(platform::ipAddressGet(item(kServerIP))));
    settings.setListenPort(static_cast<std::int32_t>(parseUnsignedText(platform::getWindowText(item(kServerPort)))));
    settings.setTimeout(static_cast<std::int32_t>(parseUnsignedText(platform::getWindowText(item(kTimeout)))));
}

LRESULT ConfigServerDialog::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (isClick(message, wParam, kStart)) {
        sendOwner(kMsgStart);
        sendOwner(kMsgRefresh);
        return 1;
    }
    if (isClick(message, wParam, kStop)) {
        sendOwner(kMsgStop);
        sendOwner(kMsgRefresh);
        return 1;
    }
    return message == platform::WM_INITDIALOG ? 1 : 0;
}

// Security page.

ConfigSecurityDialog::ConfigSecurityDialog(platform::HINSTANCE instance, HWND frame, HWND owner)
    : ConfigPage(instance, frame, owner, securityTemplate()) {}

void ConfigSecurityDialog::refresh(const Settings& settings) {
    platform::checkDlgButton(window(), kRequireAuth, settings.requirePassword());
    platform::checkDlgButton(window(), kFilterIPs, settings.filterIPs());
    platform::setWindowText(item(kUsername), settings.username());
    platform::setWindowText(item(kPassword), settings.password());
    platform::setWindowText(item(kAllowedIPs), settings.allowedIPs());
    platform::setWindowText(item(kBlockedIPs), settings.blockedIPs());
    platform::enableWindow(item(kUsername), settings.requirePassword());
    platform::enableWindow(item(kPassword), settings.requirePassword());
    platform::enableWindow(item(kAllowedIPs), settings.filterIPs());
    platform::enableWindow(item(kBlockedIPs), settings.filterIPs());
}

void ConfigSecurityDialog::apply(Settings& settings) {
    settings.setRequirePassword(platform::isDlgButtonChecked(window(), kRequireAuth));
    settings.setUsername(platform::getDlgItemText(window(), kUsername, kMaxCredentialChars));
    settings.setPassword(platform::getDlgItemText(window(), kPassword, kMaxCredentialChars));
    settings.setFilterIPs(platform::isDlgButtonChecked(window(), kFilterIPs));
    settings.setAllowedIPs(platform::getDlgItemText(window(), kAllowedIPs, kMaxIPListChars));
    settings.setBlockedIPs(platform::getDlgItemText(window(), kBlockedIPs, kMaxIPListChars));
}

LRESULT ConfigSecurityDialog::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    for (int id : {kRequireAuth, kFilterIPs}) {
        if (isClick(message, wParam, id)) {
            platform::checkDlgButton(window(), id, !platform::isDlgButtonChecked(window(), id));
            sendOwner(kMsgApply);
            sendOwner(kMsgRefresh);
            return 1;
        }
    }
    return message == platform::WM_INITDIALOG ? 1 : 0;
}

// Library page.

ConfigLibraryDialog::ConfigLibraryDialog(platform::HINSTANCE instance, HWND frame, HWND owner)
    : ConfigPage(instance, frame, owner, libraryTemplate()) {}

void ConfigLibraryDialog::refresh(const Settings& settings, bool indexing) {
    platform::checkDlgButton(window(), kEnableML, settings.enableML());
    platform::checkDlgButton(window(), kIndexAutomatically, settings.indexAutomatically());
    HWND list = item(kSharedDirs);
    platform::listBoxResetContent(list);
    for (const std::string& dir : *settings.sharedDirs().snapshot()) platform::listBoxAddString(list, dir);
    platform::enableWindow(item(kReindex), !indexing);
}

void ConfigLibraryDialog::showIndexStatus(const std::string& text, bool indexing) {
    if (platform::getDlgItemText(window(), kIndexStatus, 256) != text) {
        platform::setDlgItemText(window(), kIndexStatus, text);
    }
    platform::enableWindow(item(kReindex), !indexing);
}

void ConfigLibraryDialog::apply(Settings& settings) {
    settings.setEnableML(platform::isDlgButtonChecked(window(), kEnableML));
    settings.setIndexAutomatically(platform::isDlgButtonChecked(window(), kIndexAutomatically));
    HWND list = item(kSharedDirs);
    std::vector<std::string> dirs;
    for (int i = 0; i < platform::listBoxCount(list); ++i)
        dirs.push_back(trimTrailingSlashes(platform::listBoxText(list, i)));
    settings.setSharedDirs(std::move(dirs));
}

void ConfigLibraryDialog::addDirectory() {
    std::optional<std::string> folder = platform::browseForFolder(nullptr, "");
    if (folder && !folder->empty()) platform::listBoxAddString(item(kSharedDirs), *folder);
}

// From the last selected entry to the first, so the indices still to be
// removed stay valid.
void ConfigLibraryDialog::removeDirectories() {
    HWND list = item(kSharedDirs);
    std::vector<int> selected = platform::listBoxSelectedItems(list, kMaxRemovedAtOnce);
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) platform::listBoxDeleteString(list, *it);
}

LRESULT ConfigLibraryDialog::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (isClick(message, wParam, kAddDirectory)) {
        addDirectory();
        sendOwner(kMsgSharesChanged);
        return 1;
    }
    if (isClick(message, wParam, kRemoveDirectory)) {
        removeDirectories();
        sendOwner(kMsgSharesChanged);
        return 1;
    }
    if (isClick(message, wParam, kReindex)) {
        sendOwner(kMsgReindex);
        return 1;
    }
    return message == platform::WM_INITDIALOG ? 1 : 0;
}

// About page.

ConfigAboutDialog::ConfigAboutDialog(platform::HINSTANCE instance, HWND frame, HWND owner)
    : ConfigPage(instance, frame, owner, aboutTemplate()) {}

LRESULT ConfigAboutDialog::dialogProc(HWND, UINT message, WPARAM, LPARAM) {
    if (message == platform::WM_INITDIALOG) {
        platform::setDlgItemText(window(), kAboutText, std::string(kAboutLine) + " v" + kPluginVersion);
        return 1;
    }
    return 0;
}

}  // namespace lyrebox

#include "plugin/Plugin.h"

#include "api/PlayerGateway.h"
#include "api/RequestRouter.h"
#include "plugin/dialog/ConfigDialog.h"
#include "config/Settings.h"
#include "http/Server.h"
#include "http/ServerSetup.h"
#include "library/MediaLibrary.h"
#include "platform/Menu.h"
#include "platform/Module.h"
#include "platform/ServiceNotice.h"
#include "platform/Window.h"
#include "platform/player/PlayerIpc.h"

namespace lyrebox {

namespace {
// Tells the host where the web app is, or why it is not (listener thread).
void tellStatus(const Server& server, const std::string& iniPath, bool stopped, int error) {
    platform::ServiceNotice notice;
    notice.service = "web app";
    notice.address = server.address();
    notice.port = error || stopped ? server.port() : server.boundPort();
    notice.state = stopped ? platform::ServiceNotice::State::Stopped
                   : error ? platform::ServiceNotice::State::Failed
                           : platform::ServiceNotice::State::Running;
    if (error) notice.reason = platform::listenFailureReason(error, notice.address, notice.port);
    notice.needsPassword = server.requirePassword();
    notice.passwordHint = "turn on Require Authentication in Lyrebox Preferences, or set requirePassword=1, username "
                          "and password in " + iniPath;
    notice.pages = {{"", "/"}, {"touch remote", "/remote"}};
    platform::publishServiceNotice(notice);
}

// A port setting the server refuses: the user learns why nothing listens.
void tellRefusedPort(std::uint32_t address, std::int32_t port) {
    platform::ServiceNotice notice;
    notice.service = "web app";
    notice.address = address;
    notice.state = platform::ServiceNotice::State::Failed;
    notice.reason = "listenPort " + std::to_string(port) + " is out of range (0 to 65535)";
    platform::publishServiceNotice(notice);
}

int initThunk() { return Plugin::instance().init(); }
void configThunk() { Plugin::instance().config(); }
void quitThunk() { Plugin::instance().quit(); }
}  // namespace

std::string iniPathForModule(const std::string& modulePath) {
    std::string path = modulePath.substr(0, kMaxModulePath);
    auto slash = path.rfind('/');
    auto dot = path.rfind('.');
    // Only a dot in the file name itself starts the extension; a module without
    // one gets ".ini" appended rather than a name cut inside a folder name.
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ".ini";
    return path.substr(0, dot + 1) + "ini";
}

Plugin& Plugin::instance() {
    // Created on first use from the window thread, before any other thread exists.
    static Plugin plugin;
    return plugin;
}

Plugin::Plugin()
    : record_{kPluginRecordVersion, kPluginDescription, &initThunk, &configThunk, &quitThunk, nullptr, nullptr} {}

Plugin::~Plugin() = default;

int Plugin::init() {
    std::string modulePath = platform::moduleFileNameOf(record_.hDllInstance);
    settings_ = std::make_unique<Settings>(iniPathForModule(modulePath));
    router_ = std::make_unique<RequestRouter>(record_.hwndParent, record_.hDllInstance, *settings_);
    // Documents and batches of play-list edits reach the player in one round
    // trip through a window of ours on this (the player's) thread.
    router_->gateway().useWindowThreadRelay();
    // Keeps the library index current, and builds it now if there is none.
    router_->library().setAutoIndex(settings_->indexAutomatically());
    // configureServer gives it its address and port.
    server_ = std::make_unique<Server>(0, 0);
    // Connections reach the router through the server, which closes them
    // all before quit destroys the router.
    RequestRouter* router = router_.get();
    server_->setDispatcher([router](HttpRequest& request, HttpResponse& response) { router->handle(request, response); });
    const bool portAccepted = configureServer(*server_, *settings_);
    // Against DNS rebinding: only names of this machine reach the handlers.
    server_->setCheckHostNames(true);
    server_->setStatusListener(
        [server = server_.get(), ini = iniPathForModule(modulePath)](bool stopped, int error) { tellStatus(*server, ini, stopped, error); });
    if (!portAccepted && settings_->autoStart()) tellRefusedPort(settings_->listenIP(), settings_->listenPort());
    if (portAccepted && settings_->autoStart()) server_->start();
    savedWindowProc_ = platform::setWindowProc(record_.hwndParent, &Plugin::pluginWindowProc);
    return 0;
}

void Plugin::config() {
    if (!settings_ || !server_ || !router_) return;
    ConfigDialog dialog(record_.hDllInstance, record_.hwndParent, *settings_, *server_, *router_);
    dialog.runModal();
}

void Plugin::quit() {
    // Connection threads use the settings (through the router) and the
    // router: close them and wait for them before anything is destroyed.
    if (server_) server_->setStatusListener(nullptr);
    if (server_) server_->shutdown();
    settings_.reset();
    server_.reset();
    router_.reset();
    if (savedWindowProc_) {
        platform::setWindowProc(record_.hwndParent, savedWindowProc_);
        savedWindowProc_ = nullptr;
    }
}

platform::HMENU Plugin::hostMenu(platform::WPARAM which) const {
    return reinterpret_cast<platform::HMENU>(
        platform::sendMessage(record_.hwndParent, platform::WM_USER, which, ipc::kGetMenu));
}

platform::LRESULT Plugin::onInitMenuPopup(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                          platform::LPARAM lParam) {
    auto opening = reinterpret_cast<platform::HMENU>(wParam);
    // Remove the item first, so that every opening shows it exactly once.
    if (opening == hostMenu(0)) platform::deleteMenuItemByCommand(opening, kMenuCommandId);
    if (opening == hostMenu(3)) platform::deleteMenuItemByCommand(opening, kMenuCommandId);
    platform::callWindowProc(savedWindowProc_, window, message, wParam, lParam);
    if (opening == hostMenu(0)) platform::insertMenuItem(opening, 1, kMenuCommandId, kMenuItemText);
    if (opening == hostMenu(3)) platform::insertMenuItem(opening, 0, kMenuCommandId, kMenuItemText);
    return 0;
}

platform::LRESULT Plugin::pluginWindowProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                           platform::LPARAM lParam) {
    Plugin& self = instance();
    if (message == platform::WM_INITMENUPOPUP) return self.onInitMenuPopup(window, message, wParam, lParam);
    if (message == platform::WM_COMMAND && platform::hiWord(wParam) == 0 &&
        platform::loWord(wParam) == kMenuCommandId)
        self.config();
    return platform::callWindowProc(self.savedWindowProc_, window, message, wParam, lParam);
}

}  // namespace lyrebox

#include "plugin/dialog/ConfigDialog.h"

#include "api/RequestRouter.h"
#include "plugin/dialog/ConfigTemplates.h"
#include "config/Settings.h"
#include "http/Server.h"
#include "http/ServerSetup.h"
#include "library/Indexer.h"
#include "library/MediaLibrary.h"
#include "platform/MessageLoop.h"
#include "platform/Window.h"
#include "platform/dialog/DialogFrontEnd.h"

namespace lyrebox {

using namespace config;
using platform::HWND;
using platform::LPARAM;
using platform::LRESULT;
using platform::UINT;
using platform::WPARAM;

namespace {

// How often the Library page's index line is brought up to date.
constexpr std::chrono::milliseconds kIndexStatusInterval{500};

struct PageEntry {
    const char* name;
    int icon;
};
constexpr PageEntry kPages[4] = {
    {"Server", kServerIcon}, {"Security", kSecurityIcon}, {"Library", kLibraryIcon}, {"About", kAboutIcon}};

// The list view and the IP address control need a front end that draws them;
// without one they cannot be set up.
bool commonControlsAvailable() {
    platform::DialogFrontEnd* frontEnd = platform::dialogFrontEnd();
    return frontEnd != nullptr && frontEnd->canShowDialogs();
}

}  // namespace

ConfigDialog::ConfigDialog(platform::HINSTANCE instance, HWND parent, Settings& settings, Server& server,
                           MediaLibrary& library)
    : Dialog(instance, parent, mainTemplate()), settings_(settings), server_(server), library_(library) {
    if (!commonControlsAvailable())
        platform::messageBox(nullptr, "Cannot initialize Common Controls library", "Warning!", platform::MB_OK);
}

ConfigDialog::ConfigDialog(platform::HINSTANCE instance, HWND parent, Settings& settings, Server& server,
                           RequestRouter& router)
    : ConfigDialog(instance, parent, settings, server, router.library()) {}

ConfigDialog::~ConfigDialog() {
    if (statusTimer_ >= 0) platform::MessageLoop::current().removeTimer(statusTimer_);
    if (window() != nullptr) platform::endDialog(window(), 0);
    // The pages' windows go with the main dialog's; the objects follow here.
}

void ConfigDialog::runModal() {
    if (runModalBox() == -1)
        platform::messageBox(parent(), "Dialog failed!", "Error", platform::MB_OK | platform::MB_ICONINFORMATION);
}

void ConfigDialog::onInitDialog() {
    HWND list = item(kPageList);
    HWND frame = item(kPageFrame);
    platform::DuRect area = platform::clientRect(frame);
    serverPage_ = std::make_unique<ConfigServerDialog>(instance(), frame, window());
    securityPage_ = std::make_unique<ConfigSecurityDialog>(instance(), frame, window());
    libraryPage_ = std::make_unique<ConfigLibraryDialog>(instance(), frame, window());
    aboutPage_ = std::make_unique<ConfigAboutDialog>(instance(), frame, window());
    pages_[0] = serverPage_.get();
    pages_[1] = securityPage_.get();
    pages_[2] = libraryPage_.get();
    pages_[3] = aboutPage_.get();
    std::vector<int> icons;
    for (int i = 0; i < 4; ++i) {
        icons.push_back(kPages[i].icon);
        platform::listViewInsertItem(list, i, kPages[i].name, i, i);
        pages_[i]->createChild();
        platform::moveWindow(pages_[i]->window(), platform::DuRect{0, 0, area.cx, area.cy});
    }
    platform::listViewSetIcons(list, icons);
    current_ = 0;
    platform::listViewSelectItem(list, 0);
    refresh();
    platform::showWindow(pages_[0]->window(), true);
    if (statusTimer_ < 0)
        statusTimer_ = platform::MessageLoop::current().addTimer(kIndexStatusInterval, [this] { showIndexStatus(); });
}

void ConfigDialog::showIndexStatus() {
    if (!libraryPage_ || libraryPage_->window() == nullptr) return;
    const IndexerState state = library_.indexerState();
    libraryPage_->showIndexStatus(describeIndexerState(state), state.running);
}

void ConfigDialog::showPage(int index) {
    if (index < 0 || index >= 4) return;
    platform::showWindow(pages_[current_]->window(), false);
    platform::showWindow(pages_[index]->window(), true);
    current_ = index;
}

void ConfigDialog::refresh() {
    serverPage_->refresh(settings_, server_.isRunning());
    securityPage_->refresh(settings_);
    libraryPage_->refresh(settings_, library_.isIndexing());
    showIndexStatus();
}

// In the order of the settings file: server, access, library.
void ConfigDialog::apply() {
    serverPage_->apply(settings_);
    securityPage_->apply(settings_);
    const bool wasAutomatic = settings_.indexAutomatically();
    libraryPage_->apply(settings_);
    settings_.save();
    // Only a change of the box turns the library's automatic indexing on or off.
    if (settings_.indexAutomatically() != wasAutomatic) library_.setAutoIndex(settings_.indexAutomatically());
}

void ConfigDialog::startServer() {
    apply();
    if (configureServer(server_, settings_)) {
        if (!server_.isRunning()) server_.start();
        // Ends also when the run has already ended (a port in use).
        if (server_.waitStarted()) return;
    }
    // OK signals a stop before its start; a start that never ran must not
    // leave that stop to end the next Start at once.
    server_.discardPendingStop();
}

void ConfigDialog::stopServer() {
    apply();
    server_.signalStop();
    server_.stoppedEvent().waitPumping();
}

void ConfigDialog::reindex() {
    apply();
    library_.setSharedDirs(settings_.sharedDirs());
    if (library_.isIndexing()) return;
    library_.startIndexer();
    refresh();
}

// With automatic indexing on, a changed list is indexed (and watched) at once.
// The list keeps showing the entries as they were added.
void ConfigDialog::sharesChanged() {
    if (!library_.autoIndexEnabled()) return;
    apply();
    library_.setSharedDirs(settings_.sharedDirs());
    showIndexStatus();
}

void ConfigDialog::onOk() {
    apply();
    library_.setSharedDirs(settings_.sharedDirs());
    platform::sendMessage(window(), kMsgStop, 0, 0);
    platform::sendMessage(window(), kMsgStart, 0, 0);
    platform::endDialog(window(), platform::IDOK);
}

LRESULT ConfigDialog::dialogProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case platform::WM_INITDIALOG:
            onInitDialog();
            return 1;
        case platform::WM_NOTIFY: {
            const auto* nm = reinterpret_cast<const platform::NMLISTVIEW*>(lParam);
            if (nm != nullptr && nm->hdr.idFrom == static_cast<std::uintptr_t>(kPageList) &&
                nm->hdr.code == platform::LVN_ITEMCHANGED && (nm->uChanged & platform::LVIF_STATE) &&
                (nm->uNewState & platform::LVIS_SELECTED))
                showPage(static_cast<int>(nm->lParam));
            return 0;
        }
        case platform::WM_COMMAND:
            if (platform::loWord(wParam) == kOk && platform::hiWord(wParam) == platform::BN_CLICKED) onOk();
            // IDCANCEL (Esc) is answered and ignored: OK is the only way out.
            return 1;
        case platform::WM_CLOSE:
            return 1;
        case kMsgRefresh: refresh(); return 1;
        case kMsgStart: startServer(); return 1;
        case kMsgStop: stopServer(); return 1;
        case kMsgApply: apply(); return 1;
        case kMsgReindex: reindex(); return 1;
        case kMsgSharesChanged: sharesChanged(); return 1;
        default:
            return 0;
    }
}

}  // namespace lyrebox

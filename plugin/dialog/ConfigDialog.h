// The configuration dialog: a page list (Server, Security, Library, About) on
// the left, the selected page on the right, and OK. It edits the settings,
// starts and stops the server and starts a rebuild of the library index.
//
// Runs modally on the player's window thread; everything it does happens
// there. Start, Stop and OK block that thread until the server has started
// (or its start has failed) or stopped; the nested loop of the modal dialog
// keeps answering messages other threads send meanwhile. Each opening builds
// new pages and reads the settings afresh.
#pragma once

#include "plugin/dialog/ConfigPages.h"
#include "plugin/dialog/Dialog.h"

#include <memory>

namespace lyrebox {

class MediaLibrary;
class RequestRouter;
class Server;
class Settings;

class ConfigDialog : public Dialog {
public:
    // The dialog reaches the media library and its indexer through the router.
    ConfigDialog(platform::HINSTANCE instance, platform::HWND parent, Settings& settings, Server& server,
                 RequestRouter& router);
    // The same with the library given directly (tests give one without a router).
    ConfigDialog(platform::HINSTANCE instance, platform::HWND parent, Settings& settings, Server& server,
                 MediaLibrary& library);
    ~ConfigDialog() override;

    // Shows the dialog over the parent and returns when it has closed.
    void runModal();

protected:
    platform::LRESULT dialogProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                 platform::LPARAM lParam) override;

private:
    void onInitDialog();
    void showPage(int index);
    void refresh();
    void apply();
    void startServer();
    void stopServer();
    void reindex();
    void sharesChanged();
    void showIndexStatus();
    void onOk();

    Settings& settings_;
    Server& server_;
    MediaLibrary& library_;
    std::unique_ptr<ConfigServerDialog> serverPage_;
    std::unique_ptr<ConfigSecurityDialog> securityPage_;
    std::unique_ptr<ConfigLibraryDialog> libraryPage_;
    std::unique_ptr<ConfigAboutDialog> aboutPage_;
    ConfigPage* pages_[4] = {};
    int current_ = 0;
    int statusTimer_ = -1;  // updates the Library page's index line while open
};

}  // namespace lyrebox

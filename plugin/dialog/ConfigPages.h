// The four pages of the configuration dialog. Each is a modeless child of the
// main dialog's frame; it loads its controls from the settings (refresh),
// reads them back (apply), and sends the main dialog the private messages for
// what its buttons do. Window thread only; the pages keep no state of their
// own beyond what their controls show.
#pragma once

#include "plugin/dialog/Dialog.h"

namespace lyrebox {

class Settings;

// Private messages a page sends to the main dialog (wParam and lParam 0).
inline constexpr platform::UINT kMsgRefresh = 0x8000;
inline constexpr platform::UINT kMsgStart = 0x8001;
inline constexpr platform::UINT kMsgStop = 0x8002;
inline constexpr platform::UINT kMsgApply = 0x8003;
inline constexpr platform::UINT kMsgReindex = 0x8004;
inline constexpr platform::UINT kMsgSharesChanged = 0x8005;

class ConfigPage : public Dialog {
public:
    ConfigPage(platform::HINSTANCE instance, platform::HWND frame, platform::HWND owner,
               const platform::DialogTemplate& dialogTemplate)
        : Dialog(instance, frame, dialogTemplate), owner_(owner) {}

protected:
    platform::LRESULT sendOwner(platform::UINT message) const;
    platform::HWND owner_;   // the main dialog
};

class ConfigServerDialog : public ConfigPage {
public:
    ConfigServerDialog(platform::HINSTANCE instance, platform::HWND frame, platform::HWND owner);
    void refresh(const Settings& settings, bool serverRunning);
    void apply(Settings& settings);

protected:
    platform::LRESULT dialogProc(platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM) override;
};

class ConfigSecurityDialog : public ConfigPage {
public:
    ConfigSecurityDialog(platform::HINSTANCE instance, platform::HWND frame, platform::HWND owner);
    void refresh(const Settings& settings);
    void apply(Settings& settings);

protected:
    platform::LRESULT dialogProc(platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM) override;
};

class ConfigLibraryDialog : public ConfigPage {
public:
    ConfigLibraryDialog(platform::HINSTANCE instance, platform::HWND frame, platform::HWND owner);
    void refresh(const Settings& settings, bool indexing);
    void apply(Settings& settings);
    // The line that says what the index is doing, and the Reindex button.
    void showIndexStatus(const std::string& text, bool indexing);

protected:
    platform::LRESULT dialogProc(platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM) override;

private:
    void addDirectory();
    void removeDirectories();
};

class ConfigAboutDialog : public ConfigPage {
public:
    ConfigAboutDialog(platform::HINSTANCE instance, platform::HWND frame, platform::HWND owner);

protected:
    platform::LRESULT dialogProc(platform::HWND, platform::UINT, platform::WPARAM, platform::LPARAM) override;
};

// Text of an edit read as GetDlgItemInt reads an unsigned number: digits with
// optional blanks around them, at most 2^32 - 1; anything else gives 0.
std::uint32_t parseUnsignedText(const std::string& text);
// A shared directory as stored: trailing "/" removed, but the root stays "/".
std::string trimTrailingSlashes(std::string path);

inline constexpr const char* kAboutLine = "Lyrebox Remote Control Plugin";
inline constexpr const char* kPluginVersion = "3.0.1";

}  // namespace lyrebox

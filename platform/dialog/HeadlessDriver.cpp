#include "platform/dialog/HeadlessDriver.h"

#include "platform/Window.h"
#include "platform/dialog/DialogState.h"

#include <algorithm>

namespace platform {

namespace {
inline constexpr std::uint16_t LBN_SELCHANGE = 1;
}

HeadlessDriver::HeadlessDriver() { setDialogFrontEnd(this); }

HeadlessDriver::~HeadlessDriver() {
    if (dialogFrontEnd() == this) setDialogFrontEnd(nullptr);
}

HWND HeadlessDriver::waitForModal(int templateId, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    HWND found = nullptr;
    changed_.wait_for(lock, limit, [&] {
        for (const Open& open : open_)
            if (open.modal && open.templateId == templateId) found = open.hwnd;
        return found != nullptr;
    });
    return found;
}

bool HeadlessDriver::waitForClosed(HWND dialog, std::chrono::milliseconds limit) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, limit, [&] {
        return std::none_of(open_.begin(), open_.end(), [&](const Open& o) { return o.hwnd == dialog; });
    });
}

bool HeadlessDriver::isOpen(HWND dialog) const {
    std::lock_guard lock(mutex_);
    return std::any_of(open_.begin(), open_.end(), [&](const Open& o) { return o.hwnd == dialog; });
}

HWND HeadlessDriver::findDialog(int templateId) const {
    std::lock_guard lock(mutex_);
    for (auto it = open_.rbegin(); it != open_.rend(); ++it)
        if (it->templateId == templateId) return it->hwnd;
    return nullptr;
}

bool HeadlessDriver::onThread(HWND dialog, const std::function<void()>& fn) {
    if (!isOpen(dialog)) return false;
    return sendMessage(dialog, dialog::kRunClosure, 0, reinterpret_cast<LPARAM>(&fn)) != 0;
}

bool HeadlessDriver::click(HWND dialog, int id) {
    bool done = false;
    onThread(dialog, [&] { done = clickControl(getDlgItem(dialog, id)); });
    return done;
}

bool HeadlessDriver::type(HWND dialog, int id, const std::string& text) {
    bool done = false;
    onThread(dialog, [&] { done = typeIntoControl(getDlgItem(dialog, id), text); });
    return done;
}

void HeadlessDriver::escape(HWND dialog) {
    onThread(dialog, [&] { pressEscape(dialog); });
}

void HeadlessDriver::close(HWND dialog) {
    onThread(dialog, [&] { pressClose(dialog); });
}

bool HeadlessDriver::selectListItem(HWND dialog, int id, int index, bool selected) {
    bool done = false;
    onThread(dialog, [&] {
        HWND list = getDlgItem(dialog, id);
        if (!isWindowEnabled(list) || !listBoxSetSel(list, index, selected)) return;
        done = true;
        sendMessage(dialog, WM_COMMAND, (static_cast<WPARAM>(LBN_SELCHANGE) << 16) | static_cast<std::uint16_t>(id),
                    reinterpret_cast<LPARAM>(list));
    });
    return done;
}

bool HeadlessDriver::selectListViewItem(HWND dialog, int id, int index) {
    bool done = false;
    onThread(dialog, [&] {
        HWND list = getDlgItem(dialog, id);
        if (list == nullptr || !isWindowEnabled(list) || index < 0 || index >= listViewCount(list)) return;
        listViewSelectItem(list, index);
        done = true;
    });
    return done;
}

std::string HeadlessDriver::text(HWND dialog, int id) {
    std::string result;
    onThread(dialog, [&] { result = getDlgItemText(dialog, id); });
    return result;
}

bool HeadlessDriver::checked(HWND dialog, int id) {
    bool result = false;
    onThread(dialog, [&] { result = isDlgButtonChecked(dialog, id); });
    return result;
}

bool HeadlessDriver::enabled(HWND dialog, int id) {
    bool result = false;
    onThread(dialog, [&] { result = isWindowEnabled(getDlgItem(dialog, id)); });
    return result;
}

bool HeadlessDriver::dialogVisible(HWND dialog) {
    bool result = false;
    onThread(dialog, [&] { result = isWindowVisible(dialog); });
    return result;
}

std::vector<std::string> HeadlessDriver::listItems(HWND dialog, int id) {
    std::vector<std::string> result;
    onThread(dialog, [&] {
        HWND list = getDlgItem(dialog, id);
        for (int i = 0; i < listBoxCount(list); ++i) result.push_back(listBoxText(list, i));
    });
    return result;
}

std::vector<std::string> HeadlessDriver::listViewItems(HWND dialog, int id) {
    std::vector<std::string> result;
    onThread(dialog, [&] {
        HWND list = getDlgItem(dialog, id);
        for (int i = 0; i < listViewCount(list); ++i) result.push_back(listViewText(list, i));
    });
    return result;
}

int HeadlessDriver::listViewSelection(HWND dialog, int id) {
    int result = -1;
    onThread(dialog, [&] { result = listViewSelectedItem(getDlgItem(dialog, id)); });
    return result;
}

void HeadlessDriver::queueFolder(std::optional<std::string> answer) {
    std::lock_guard lock(mutex_);
    folders_.push_back(std::move(answer));
}

void HeadlessDriver::refuseDialogs(bool refuse) {
    std::lock_guard lock(mutex_);
    refuse_ = refuse;
}

bool HeadlessDriver::canShowDialogs() const {
    std::lock_guard lock(mutex_);
    return !refuse_;
}

std::vector<HeadlessDriver::MessageBoxRecord> HeadlessDriver::messageBoxes() const {
    std::lock_guard lock(mutex_);
    return messageBoxes_;
}

void HeadlessDriver::dialogCreated(HWND dialog) {
    std::lock_guard lock(mutex_);
    open_.push_back(Open{dialog, dialogTemplateId(dialog), false});
    changed_.notify_all();
}

void HeadlessDriver::dialogDestroyed(HWND dialog) {
    std::lock_guard lock(mutex_);
    open_.erase(std::remove_if(open_.begin(), open_.end(), [&](const Open& o) { return o.hwnd == dialog; }), open_.end());
    changed_.notify_all();
}

void HeadlessDriver::modalStarted(HWND dialog) {
    std::lock_guard lock(mutex_);
    for (Open& open : open_)
        if (open.hwnd == dialog) open.modal = true;
    changed_.notify_all();
}

void HeadlessDriver::modalEnded(HWND dialog) {
    std::lock_guard lock(mutex_);
    for (Open& open : open_)
        if (open.hwnd == dialog) open.modal = false;
    changed_.notify_all();
}

int HeadlessDriver::messageBox(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    std::lock_guard lock(mutex_);
    messageBoxes_.push_back(MessageBoxRecord{text, caption, type, owner});
    changed_.notify_all();
    return IDOK;
}

std::optional<std::string> HeadlessDriver::browseForFolder(HWND, const std::string&) {
    std::lock_guard lock(mutex_);
    if (folders_.empty()) return std::nullopt;
    std::optional<std::string> answer = std::move(folders_.front());
    folders_.pop_front();
    return answer;
}

}  // namespace platform

#include "plugin/dialog/Dialog.h"

#include "platform/Window.h"

namespace lyrebox {

Dialog::Dialog(platform::HINSTANCE instance, platform::HWND parent, const platform::DialogTemplate& dialogTemplate)
    : instance_(instance), parent_(parent), template_(dialogTemplate) {}

Dialog::~Dialog() {
    if (window_ != nullptr) platform::destroyDialog(window_);
}

platform::INT_PTR Dialog::runModalBox() {
    return platform::dialogBox(template_, parent_, &Dialog::sharedProc, reinterpret_cast<platform::LPARAM>(this));
}

platform::HWND Dialog::createChild() {
    return platform::createDialog(template_, parent_, &Dialog::sharedProc, reinterpret_cast<platform::LPARAM>(this));
}

platform::LRESULT Dialog::sharedProc(platform::HWND window, platform::UINT message, platform::WPARAM wParam,
                                     platform::LPARAM lParam) {
    if (message == platform::WM_INITDIALOG) {
        auto* self = reinterpret_cast<Dialog*>(lParam);
        platform::setWindowUserData(window, self);
        self->window_ = window;
    }
    auto* self = static_cast<Dialog*>(platform::windowUserData(window));
    if (self == nullptr) return 0;
    platform::LRESULT result = self->dialogProc(window, message, wParam, lParam);
    if (message == platform::WM_DESTROY) {
        platform::setWindowUserData(window, nullptr);
        self->window_ = nullptr;
    }
    return result;
}

}  // namespace lyrebox

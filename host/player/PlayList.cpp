#include "host/player/PlayList.h"

namespace lyrebox {

const PlayListItem* PlayList::at(std::size_t index) const {
    return index < items_.size() ? items_[index].get() : nullptr;
}

void PlayList::beginEdit() {
    retired_.clear();
    changed_ = true;
}

void PlayList::add(PlayListItem item) {
    beginEdit();
    items_.push_back(std::make_unique<PlayListItem>(std::move(item)));
}

bool PlayList::remove(std::size_t index) {
    if (index >= items_.size())
        return false;
    beginEdit();
    retired_.push_back(std::move(items_[index]));
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

bool PlayList::swap(std::size_t a, std::size_t b) {
    if (a >= items_.size() || b >= items_.size())
        return false;
    beginEdit();
    std::swap(items_[a], items_[b]);
    return true;
}

void PlayList::clear() {
    beginEdit();
    retired_ = std::move(items_);
    items_.clear();
}

}  // namespace lyrebox

// The player's play list: entries with file name, title and length, and the
// play-list editor's changed flag, which every edit sets.
//
// Text pointers handed out by the message interface point into entries. Each
// entry lives in its own allocation, so an edit elsewhere in the list never
// moves it, and entries removed by the latest edit are kept until the next
// one, so a reader that copies a title just after a removal reads valid bytes.
//
// Thread contract: owned by the Player; its owner thread only.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace lyrebox {

struct PlayListItem {
    std::string fileName;
    std::string title;
    int lengthSeconds = 0;  // as given when enqueued; 0 when unknown
};

class PlayList {
public:
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    // Null past the end.
    const PlayListItem* at(std::size_t index) const;

    void add(PlayListItem item);
    bool remove(std::size_t index);
    bool swap(std::size_t a, std::size_t b);
    void clear();

    bool changed() const { return changed_; }
    void clearChanged() { changed_ = false; }

private:
    void beginEdit();

    std::vector<std::unique_ptr<PlayListItem>> items_;
    std::vector<std::unique_ptr<PlayListItem>> retired_;
    bool changed_ = false;
};

}  // namespace lyrebox

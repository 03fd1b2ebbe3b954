#include "library/PrefixSets.h"

#include <algorithm>

namespace lyrebox {

std::shared_ptr<const DocSet> PrefixSets::get(const std::wstring& key, const std::function<DocSet()>& read) {
    {
        std::lock_guard lock(mutex_);
        const auto found = std::find_if(kept_.begin(), kept_.end(), [&](const auto& item) { return item.first == key; });
        if (found != kept_.end()) {
            kept_.splice(kept_.begin(), kept_, found);
            return kept_.front().second;
        }
    }
    auto set = std::make_shared<const DocSet>(read());
    std::lock_guard lock(mutex_);
    const auto found = std::find_if(kept_.begin(), kept_.end(), [&](const auto& item) { return item.first == key; });
    if (found != kept_.end()) {
        kept_.splice(kept_.begin(), kept_, found);  // read meanwhile by another search
        return kept_.front().second;
    }
    kept_.emplace_front(key, set);
    if (kept_.size() > kKept) kept_.pop_back();
    return set;
}

}  // namespace lyrebox

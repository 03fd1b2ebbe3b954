#include "library/SearchCache.h"

namespace lyrebox {

std::optional<SearchResult> SearchCache::answer(const std::string& query, bool dirsOnly) {
    std::lock_guard lock(mutex_);
    for (auto at = answers_.begin(); at != answers_.end(); ++at) {
        if (at->query == query && at->dirsOnly == dirsOnly) {
            answers_.splice(answers_.begin(), answers_, at);
            return answers_.front().result;
        }
    }
    return std::nullopt;
}

void SearchCache::keepAnswer(const std::string& query, bool dirsOnly, const SearchResult& result) {
    Answer kept{query, dirsOnly, result};
    std::lock_guard lock(mutex_);
    std::erase_if(answers_, [&](const Answer& a) { return a.query == query && a.dirsOnly == dirsOnly; });
    answers_.push_front(std::move(kept));
    if (answers_.size() > kAnswers) answers_.pop_back();
}

}  // namespace lyrebox

#include "library/FoldedPathWords.h"

#include "library/LibraryText.h"
#include "library/analysis/FoldedText.h"
#include "library/analysis/IndexAnalyzer.h"

#include <algorithm>

namespace lyrebox {

std::string_view indexedName(std::string_view name, std::uint32_t attributes) {
    if (isDirectory(attributes)) {
        return name;
    }
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

void FoldedPathWords::of(FoundEntry& entry) {
    const std::size_t start = std::min(entry.shareLength, entry.path.size());
    const auto slash = entry.path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos || slash < start ? start : slash + 1;
    const std::string_view folders(entry.path.data() + start, nameStart > start ? nameStart - start - 1 : 0);
    if (folders != parent_) {
        parent_.assign(folders);
        parentWords_.clear();
        lucene::analysis::filename::addFoldedWords(folders, parentWords_);
    }
    words_.clear();
    lucene::analysis::filename::addFoldedWords(
        indexedName(std::string_view(entry.path).substr(nameStart), entry.attributes), words_);
    // Sized once: the entry's buffers are new for every entry.
    std::size_t length = 0;
    for (const auto& word : words_) length += word.size();
    for (const auto& word : parentWords_) length += word.size() + 1;
    entry.foldedText.clear();
    entry.foldedText.reserve(length);
    entry.foldedEnds.clear();
    entry.foldedEnds.reserve(words_.size() + parentWords_.size());
    for (const auto& word : words_) {
        entry.foldedText += word;
        entry.foldedEnds.push_back(entry.foldedText.size());
    }
    for (const auto& word : parentWords_) {
        if (std::find(words_.begin(), words_.end(), word) == words_.end()) {
            entry.foldedText += lucene::analysis::filename::kFolderWordMark;
            entry.foldedText += word;
            entry.foldedEnds.push_back(entry.foldedText.size());
        }
    }
}

}  // namespace lyrebox

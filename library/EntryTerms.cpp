#include "library/EntryTerms.h"

#include "library/LibraryText.h"
#include "library/analysis/FilenameAnalyzer.h"
#include "library/analysis/FoldedText.h"

#include <algorithm>

namespace lyrebox {

std::string_view indexedName(std::string_view name, std::uint32_t attributes) {
    if (isDirectory(attributes)) {
        return name;
    }
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(0, dot);
}

void EntryTerms::operator()(FoundEntry& entry) {
    const std::string_view path(entry.path);
    const auto slash = path.rfind('/');
    const std::size_t baseStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::string_view name = indexedName(path.substr(baseStart), entry.attributes);
    entry.terms.clear();
    entry.termEnds.clear();
    if (foldedWords_) {
        // The folded words come from the part below the share only: a share
        // that is a single file has its whole name there.
        const std::size_t start = std::min(entry.shareLength, path.size());
        const std::string_view own = baseStart < start ? indexedName(path.substr(start), entry.attributes) : name;
        lucene::analysis::filename::addFoldedWords(own, entry.terms, entry.termEnds);
    }
    entry.foldedTerms = entry.termEnds.size();
    name_.clear();
    lucene::analysis::filename::appendWidened(name, name_);
    names_.setText(name_.c_str(), static_cast<std::int32_t>(name_.size()));
    while (names_.next(&token_) != nullptr) {
        entry.terms.append(token_.termBuffer(), static_cast<std::size_t>(token_.termLength()));
        entry.termEnds.push_back(entry.terms.size());
    }
    names_.close();
    entry.termsMade = true;
}

}  // namespace lyrebox

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

void setFoldedWords(FoundEntry& entry) {
    const std::size_t start = std::min(entry.shareLength, entry.path.size());
    const auto slash = entry.path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos || slash < start ? start : slash + 1;
    const std::string_view name = indexedName(std::string_view(entry.path).substr(nameStart), entry.attributes);
    entry.foldedText.clear();
    entry.foldedText.reserve(name.size());  // enough, but for letters spelt longer (ß, æ)
    entry.foldedEnds.clear();
    lucene::analysis::filename::addFoldedWords(name, entry.foldedText, entry.foldedEnds);
}

}  // namespace lyrebox

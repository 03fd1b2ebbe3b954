// A scratch tree with an index directory inside it, and helpers to run one
// pass and to read back what the index holds.
#pragma once

#include "library/IndexDocument.h"
#include "library/IndexPass.h"
#include "library/LibrarySearcher.h"
#include "library/LibraryText.h"
#include "tests/support/TempDir.h"

#include <CLucene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace lyrebox::test {

class SearchFixture : public ::testing::Test {
protected:
    std::string indexPath() const { return tree.file("index"); }

    PassResult pass(std::vector<std::string> dirs) {
        PassInput input;
        input.dirs = std::move(dirs);
        input.extensions = playableExtensions();
        return passWith(input);
    }
    PassResult passWith(const PassInput& input) {
        lucene::analysis::filename::FilenameAnalyzer analyzer;
        std::atomic<bool> stop{false};
        return runIndexPass(IndexStore(indexPath()), input, analyzer, stop);
    }

    std::vector<FileEntry> find(const std::string& query, bool dirsOnly = false) {
        std::vector<FileEntry> results;
        searcher.search(query, results, dirsOnly);
        return results;
    }
    static std::vector<std::string> paths(const std::vector<FileEntry>& entries) {
        std::vector<std::string> out;
        for (const auto& entry : entries) out.push_back(entry.path);
        return out;
    }
    static std::vector<std::string> sorted(std::vector<std::string> items) {
        std::sort(items.begin(), items.end());
        return items;
    }

    // The stored paths of the current index in document order (the walk order).
    std::vector<std::string> storedPaths() {
        return storedDocuments([](const lucene::document::Document& document) { return storedPath(document); });
    }
    // One stored text field of every document of the current index, in document order.
    std::vector<std::string> storedValues(const TCHAR* field) {
        return storedDocuments([field](const lucene::document::Document& document) {
            return lucene::analysis::filename::narrow(document.get(field));
        });
    }
    template <typename Read>
    std::vector<std::string> storedDocuments(const Read& read) {
        std::vector<std::string> out;
        auto lock = IndexStore::lockOpenClose();
        const auto current = IndexStore(indexPath()).currentIndexLocked();
        if (!current) return out;
        lucene::index::IndexReader* reader = lucene::index::IndexReader::open(current->c_str());
        for (int32_t i = 0; i < reader->maxDoc(); ++i) {
            lucene::document::Document document;
            reader->document(i, document);
            out.push_back(read(document));
        }
        reader->close();
        delete reader;
        return out;
    }

    TempDir tree;
    LibrarySearcher searcher{tree.file("index")};
};

}  // namespace lyrebox::test

#include "library/IndexPass.h"

#include "library/IndexWalk.h"
#include "library/LibraryText.h"
#include "library/SearchLimits.h"
#include "library/analysis/FilenameAnalyzer.h"
#include "library/analysis/FoldedText.h"
#include "library/analysis/IndexAnalyzer.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <thread>

namespace lyrebox {

namespace {

using lucene::analysis::filename::kDirectoryKind;
using lucene::analysis::filename::kFoldedField;
using lucene::analysis::filename::kFolderWordMark;
using lucene::analysis::filename::kKindField;
using lucene::analysis::filename::widen;
using lucene::document::Document;
using lucene::document::Field;
using lucene::index::IndexWriter;

// "name" is searched but not kept; the other fields are kept but not searched.
constexpr int kSearchedField = static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_TOKENIZED);
constexpr int kStoredField = static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_NO);
// One term, neither analysed nor kept: marks directories for folder searches.
constexpr int kMarkerField = static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_UNTOKENIZED);

// A file's name is cut before its last "."; a directory keeps its whole name.
std::string indexedName(const std::string& name, std::uint32_t attributes) {
    if (isDirectory(attributes)) {
        return name;
    }
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// The folded words of an entry's path below its share: the words of its own
// indexed name as they are, then the words of the folders above that its
// name lacks, each marked with kFolderWordMark. Each word once. Entries of
// one directory come together, so the folders' words are kept for the next.
class FoldedPathWords {
public:
    std::wstring of(const FoundEntry& entry) {
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
        lucene::analysis::filename::addFoldedWords(indexedName(entry.path.substr(nameStart), entry.attributes),
                                                   words_);
        std::wstring text;
        for (const auto& word : words_) {
            if (!text.empty()) text += L' ';
            text += word;
        }
        for (const auto& word : parentWords_) {
            if (std::find(words_.begin(), words_.end(), word) != words_.end()) continue;
            if (!text.empty()) text += L' ';
            text += kFolderWordMark;
            text += word;
        }
        return text;
    }

private:
    std::string parent_;
    std::vector<std::wstring> parentWords_;
    std::vector<std::wstring> words_;
};

void addDocument(IndexWriter& writer, const FoundEntry& entry, FoldedPathWords* folded) {
    const std::wstring nameText = widen(indexedName(baseName(entry.path), entry.attributes));
    const std::wstring pathText = widen(entry.path);
    const std::wstring attributesText = std::to_wstring(entry.attributes);
    const std::wstring sizeText = std::to_wstring(entry.size);
    const std::wstring foldedText = folded != nullptr ? folded->of(entry) : std::wstring();
    Document document;  // owns the fields
    document.add(*new Field(L"name", nameText.c_str(), kSearchedField));
    document.add(*new Field(L"path", pathText.c_str(), kStoredField));
    document.add(*new Field(L"attributes", attributesText.c_str(), kStoredField));
    document.add(*new Field(L"size", sizeText.c_str(), kStoredField));
    if (!foldedText.empty()) {
        document.add(*new Field(kFoldedField, foldedText.c_str(), kSearchedField));
    }
    if (folded != nullptr && isDirectory(entry.attributes)) {
        document.add(*new Field(kKindField, kDirectoryKind, kMarkerField));
    }
    writer.addDocument(&document);
}

// Closes (under the open/close lock) and deletes a writer that a failed or
// stopped pass leaves open; close errors no longer matter then.
void abandon(std::unique_ptr<IndexWriter>& writer) {
    if (!writer) {
        return;
    }
    auto lock = IndexStore::lockOpenClose();
    try {
        writer->close();
    } catch (CLuceneError&) {
    }
    writer.reset();
}

// The walking thread of a pass; however the pass ends, the walk is cancelled
// and joined before the channel goes away.
class WalkThread {
public:
    WalkThread(const PassInput& input, const std::atomic<bool>& stop, EntryChannel& channel) : channel_(channel) {
        thread_ = std::thread([this, &input, &stop] {
            result_ = walkSharedEntries(input.dirs, input.extensions, stop, channel_);
        });
    }
    ~WalkThread() {
        channel_.cancel();
        join();
    }
    WalkThread(const WalkThread&) = delete;
    WalkThread& operator=(const WalkThread&) = delete;

    WalkResult join() {
        if (thread_.joinable()) {
            thread_.join();
        }
        return result_;
    }

private:
    EntryChannel& channel_;
    WalkResult result_ = WalkResult::Failed;  // written by the thread, read after join
    std::thread thread_;
};

}  // namespace

PassResult runIndexPass(const IndexStore& store, const PassInput& input,
                        lucene::analysis::filename::FilenameAnalyzer& names, const std::atomic<bool>& stopRequested) {
    lucene::analysis::filename::IndexAnalyzer analyzer(names);  // outlives the writer
    std::error_code error;
    std::filesystem::create_directories(store.indexPath(), error);
    if (error) {
        return PassResult::Failed;  // no usable index; searches find nothing
    }
    PassGuard guard(store);
    if (!guard.owns()) {
        return PassResult::Busy;
    }
    const std::string target = store.idleIndex();
    std::unique_ptr<IndexWriter> writer;
    EntryChannel channel;
    try {
        {
            auto lock = IndexStore::lockOpenClose();
            writer = std::make_unique<IndexWriter>(target.c_str(), &analyzer, true);
        }
        writer->setMaxFieldLength(kIndexMaxFieldLength);
        // A pass builds a whole index at once: large flushes, no merging of
        // segments on the way and no compound files, then one optimize.
        if (input.tunedWriter) {
            writer->setRAMBufferSizeMB(kIndexRamBufferMB);
            writer->setMergeFactor(kIndexMergeFactor);
            writer->setUseCompoundFile(false);
        }
        WalkThread walk(input, stopRequested, channel);
        FoldedPathWords folded;
        while (auto batch = channel.pop()) {
            for (const auto& entry : *batch) {
                addDocument(*writer, entry, input.foldedWords ? &folded : nullptr);
            }
            if (input.added != nullptr) {
                input.added->fetch_add(batch->size(), std::memory_order_relaxed);
            }
        }
        const WalkResult walked = walk.join();
        if (walked != WalkResult::Complete) {
            abandon(writer);
            return walked == WalkResult::Stopped ? PassResult::Stopped : PassResult::Failed;
        }
        if (input.afterWalk) {
            input.afterWalk();
        }
        writer->optimize();
        auto lock = IndexStore::lockOpenClose();
        writer->close();
        writer.reset();
        return store.publishLocked(std::filesystem::path(target).filename().string()) ? PassResult::Published
                                                                                       : PassResult::Failed;
    } catch (CLuceneError&) {
        abandon(writer);
        return PassResult::Failed;
    } catch (const std::exception&) {
        abandon(writer);  // no thread for the walk, or out of memory
        return PassResult::Failed;
    }
}

}  // namespace lyrebox

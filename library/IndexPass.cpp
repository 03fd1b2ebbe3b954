#include "library/IndexPass.h"

#include "library/LibraryText.h"
#include "library/SearchLimits.h"
#include "library/analysis/FilenameAnalyzer.h"
#include "platform/DirectorySearch.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>

namespace lyrebox {

namespace {

using lucene::analysis::filename::widen;
using lucene::document::Document;
using lucene::document::Field;
using lucene::index::IndexWriter;

struct StopWalk {};

// A directory as the file system knows it, whatever path leads there.
struct DirectoryId {
    dev_t device;
    ino_t inode;
    bool operator==(const DirectoryId&) const = default;
};

std::optional<DirectoryId> identify(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    return DirectoryId{status.st_dev, status.st_ino};
}

// "name" is searched but not kept; the other fields are kept but not searched.
constexpr int kSearchedField = static_cast<int>(Field::STORE_NO) | static_cast<int>(Field::INDEX_TOKENIZED);
constexpr int kStoredField = static_cast<int>(Field::STORE_YES) | static_cast<int>(Field::INDEX_NO);

// Adds the documents of one pass to an open writer.
class Walker {
public:
    Walker(IndexWriter& writer, const std::set<std::string>& extensions, const std::atomic<bool>& stop)
        : writer_(writer), extensions_(extensions), stop_(stop) {}

    // One shared entry: a single file, or a directory walked to every depth.
    void walkEntry(const std::string& entry) {
        const std::string path = stripTrailingSlashes(entry);
        if (path.empty()) {
            return;
        }
        const auto item = platform::lookupPath(path);
        if (item && !isDirectory(item->attributes)) {
            add(path, *item);
            return;
        }
        std::vector<DirectoryId> ancestors;
        walkDirectory(path, ancestors);
    }

private:
    bool taken(const platform::FindRecord& item) const {
        if (item.name == "." || item.name == "..") {
            return false;
        }
        return isDirectory(item.attributes) || extensions_.count(fileExtension(item.name)) != 0;
    }

    // All items of a directory first, then each subdirectory in the order
    // found. ancestors holds the identities of the directories above, so a
    // symbolic link back up the tree is not followed round and round.
    void walkDirectory(const std::string& path, std::vector<DirectoryId>& ancestors) {
        if (stop_.load(std::memory_order_relaxed)) {
            throw StopWalk{};
        }
        const auto id = identify(path);
        if (id && std::find(ancestors.begin(), ancestors.end(), *id) != ancestors.end()) {
            return;
        }
        std::vector<std::string> subdirectories;
        for (const auto& item : platform::listDirectoryItems(path)) {
            if (!taken(item)) {
                continue;
            }
            std::string itemPath = joinPath(path, item.name);
            add(itemPath, item);
            if (isDirectory(item.attributes)) {
                subdirectories.push_back(std::move(itemPath));
            }
        }
        if (id) {
            ancestors.push_back(*id);
        }
        for (const auto& subdirectory : subdirectories) {
            walkDirectory(subdirectory, ancestors);
        }
        if (id) {
            ancestors.pop_back();
        }
    }

    void add(const std::string& path, const platform::FindRecord& item) {
        std::string name = baseName(path);
        if (!isDirectory(item.attributes)) {
            const auto dot = name.rfind('.');
            if (dot != std::string::npos) {
                name.erase(dot);
            }
        }
        const std::wstring nameText = widen(name);
        const std::wstring pathText = widen(path);
        const std::wstring attributesText = std::to_wstring(item.attributes);
        const std::wstring sizeText = std::to_wstring(static_cast<std::uint32_t>(item.size));
        Document document;  // owns the fields
        document.add(*new Field(L"name", nameText.c_str(), kSearchedField));
        document.add(*new Field(L"path", pathText.c_str(), kStoredField));
        document.add(*new Field(L"attributes", attributesText.c_str(), kStoredField));
        document.add(*new Field(L"size", sizeText.c_str(), kStoredField));
        writer_.addDocument(&document);
    }

    IndexWriter& writer_;
    const std::set<std::string>& extensions_;
    const std::atomic<bool>& stop_;
};

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

}  // namespace

PassResult runIndexPass(const IndexStore& store, const PassInput& input,
                        lucene::analysis::Analyzer& analyzer, const std::atomic<bool>& stopRequested) {
    PassGuard guard(store);
    if (!guard.owns()) {
        return PassResult::Busy;
    }
    const std::string target = store.idleIndex();
    std::unique_ptr<IndexWriter> writer;
    try {
        {
            auto lock = IndexStore::lockOpenClose();
            writer = std::make_unique<IndexWriter>(target.c_str(), &analyzer, true);
        }
        writer->setMaxFieldLength(kIndexMaxFieldLength);
        Walker walker(*writer, input.extensions, stopRequested);
        for (const auto& entry : input.dirs) {
            walker.walkEntry(entry);
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
    } catch (StopWalk&) {
        abandon(writer);
        return PassResult::Stopped;
    } catch (CLuceneError&) {
        abandon(writer);
        return PassResult::Failed;
    }
}

}  // namespace lyrebox

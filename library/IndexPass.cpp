#include "library/IndexPass.h"

#include "library/EntryTerms.h"
#include "library/FolderRanges.h"
#include "library/IndexDocument.h"
#include "library/IndexWalk.h"
#include "library/LibraryText.h"
#include "library/SearchLimits.h"
#include "library/analysis/FilenameAnalyzer.h"
#include "library/analysis/IndexAnalyzer.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <thread>

namespace lyrebox {

namespace {

using lucene::index::IndexWriter;

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

// Batches waiting for the writing thread when the walk makes their terms.
constexpr std::size_t kWriterBehind = EntryChannel::kMaxBatches / 4;

// The walking thread of a pass; however the pass ends, the walk is cancelled
// and joined before the channel goes away.
class WalkThread {
public:
    // folders gets the folder ranges when the pass makes folded words.
    WalkThread(const PassInput& input, const std::atomic<bool>& stop, EntryChannel& channel,
               std::vector<FolderRange>& folders)
        : channel_(channel) {
        thread_ = std::thread([this, &input, &stop, &folders] {
            // The walk makes the terms of the searched fields while the
            // writing thread is behind, and leaves them to it otherwise, so
            // that neither thread waits for the other.
            try {
                EntryTerms terms(input.foldedWords);
                const std::function<void(FoundEntry&)> prepare = [this, &terms](FoundEntry& entry) {
                    if (channel_.waiting() >= kWriterBehind) {
                        terms(entry);
                    }
                };
                result_ = walkSharedEntries(input.dirs, input.extensions, stop, channel_, prepare,
                                            input.foldedWords ? &folders : nullptr);
            } catch (...) {
                // Out of memory before the walk began: nothing may leave the
                // thread, and the writer must not wait for batches.
                result_ = WalkResult::Failed;
                channel_.finish();
            }
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
        // The walk starts first: emptying the idle generation (the unlinking
        // of a whole index's files) and opening the writer overlap it.
        std::vector<FolderRange> folders;  // the walking thread's until it is joined
        WalkThread walk(input, stopRequested, channel, folders);
        {
            auto lock = IndexStore::lockOpenClose();
            // Searchers map the index files they read: every pass writes new
            // files, never rewriting in place one an older searcher may still
            // have mapped (its pages stay readable once it is unlinked).
            std::filesystem::remove_all(target, error);
            if (error) {
                return PassResult::Failed;
            }
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
        IndexDocument document(input.foldedWords);
        EntryTerms terms(input.foldedWords);
        while (auto batch = channel.pop()) {
            for (auto& entry : *batch) {
                if (!entry.termsMade) {
                    terms(entry);
                }
                writer->addDocument(&document.of(entry));
            }
            if (input.added != nullptr) {
                input.added->fetch_add(batch->size(), std::memory_order_relaxed);
            }
            channel.recycle(std::move(*batch));
        }
        const WalkResult walked = walk.join();
        // A stop asked for after the walk ended still ends the pass here:
        // the walk runs ahead of the writer and may be done before it opens.
        if (walked != WalkResult::Complete || stopRequested.load()) {
            abandon(writer);
            return walked == WalkResult::Failed ? PassResult::Failed : PassResult::Stopped;
        }
        if (input.afterWalk) {
            input.afterWalk();
        }
        // The folder ranges are whole once the walk is: they are written
        // (and synced) while CLucene writes the postings, off the pass's
        // last stretch. CLucene cleans up only files named as its own, which
        // this one is not; the generation is not yet current, so no searcher
        // opens it meanwhile.
        std::future<bool> rangesWritten;
        if (input.foldedWords) {
            rangesWritten = std::async(std::launch::async, [&folders, &target] {
                return FolderRanges(std::move(folders)).write((std::filesystem::path(target) / kFolderRangesFile).string());
            });
        }
        writer->optimize();
        {
            auto lock = IndexStore::lockOpenClose();
            writer->close();
            writer.reset();
        }
        if (rangesWritten.valid() && !rangesWritten.get()) {
            return PassResult::Failed;
        }
        auto lock = IndexStore::lockOpenClose();
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

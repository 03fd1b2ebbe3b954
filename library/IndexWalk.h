// The walk of an indexing pass: finds the entries to index below the shared
// directories, in index order, and hands them over in batches.
//
// The walk runs on a thread of its own while the pass's thread feeds CLucene,
// so reading directories and building the index overlap. EntryChannel is the
// one shared object between them; everything else belongs to one thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace lyrebox {

struct FolderRange;

// One entry the walk takes: its full path and what the index keeps of it.
struct FoundEntry {
    std::string path;
    std::uint32_t attributes = 0;
    std::uint32_t size = 0;  // the low 32 bits of the file size
    // Where the part of path below its shared entry begins (the folded
    // words are made of that part).
    std::size_t shareLength = 0;
    // What the writer hands to CLucene, once made (termsMade, see
    // EntryTerms.h): the terms of the searched fields, the folded words
    // first (foldedTerms of them) and then those of the name, one after
    // another in terms, each ending where termEnds says. The walking thread makes
    // them while the writing thread is behind, and the writing thread the
    // others.
    std::wstring terms{};
    std::vector<std::size_t> termEnds{};
    std::size_t foldedTerms = 0;
    bool termsMade = false;
};

// Batches from the walking thread to the writing thread, in order, with a
// bounded number in flight. Safe on both threads.
class EntryChannel {
public:
    using Batch = std::vector<FoundEntry>;
    static constexpr std::size_t kBatchSize = 512;
    static constexpr std::size_t kMaxBatches = 32;

    // Waits while the channel is full; false once the reader has cancelled.
    bool push(Batch batch);
    // No more batches will come.
    void finish();
    // The reader gives up: pushes fail from now on.
    void cancel();
    // The next batch, waiting for it; nothing once finished and drained.
    std::optional<Batch> pop();
    // The reader hands back a batch it is done with, and the walk fills it
    // again: its entries keep their buffers, so that an entry costs the walk
    // no allocation, nor the reader a free of memory another thread made.
    void recycle(Batch batch);
    // A batch handed back, or an empty one when there is none.
    Batch spare();
    // How many batches wait for the reader (a hint, read without the lock).
    std::size_t waiting() const { return waiting_.load(std::memory_order_relaxed); }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Batch> batches_;  // guarded by mutex_, as are the flags
    std::vector<Batch> spares_;
    std::atomic<std::size_t> waiting_{0};  // batches_.size(), for waiting()
    bool finished_ = false;
    bool cancelled_ = false;
};

enum class WalkResult { Complete, Stopped, Failed };

// One directory item as the walk first sees it: its name and the type its
// directory entry reports (DT_* of <dirent.h>), before any stat.
struct WalkItem {
    std::string_view name;
    unsigned char type;
};

// Whether the walk might keep an item, by its name and entry type alone; an
// item that passes is looked up (stat) and then decided by isKept. Items
// refused here are never looked up.
bool mayBeKept(const WalkItem& item, const std::set<std::string>& extensions);
// Whether an item is indexed: a directory, or a file with one of the
// extensions. attributes are those of the looked-up item.
bool isKept(std::string_view name, std::uint32_t attributes, const std::set<std::string>& extensions);

// Walks each shared entry in list order: a file entry is taken as it is; a
// directory gives all its taken items (directories, and files with one of the
// extensions), then the walk of each subdirectory in the order found. Ends
// early when stop is set or the channel is cancelled. Finishes the channel.
// prepare, when given, is called on each entry (in order, on the walking
// thread) before it goes into the channel. folders, when given, gets the
// range of each taken folder's contents, the entries counted from 0 in the
// order taken (so, for a fresh index, its document numbers); folders whose
// walk took nothing have none.
WalkResult walkSharedEntries(const std::vector<std::string>& entries, const std::set<std::string>& extensions,
                             const std::atomic<bool>& stop, EntryChannel& channel,
                             const std::function<void(FoundEntry&)>& prepare = {},
                             std::vector<FolderRange>* folders = nullptr);

}  // namespace lyrebox

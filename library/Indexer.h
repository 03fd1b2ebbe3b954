// The background indexing thread: each run is one pass that rebuilds the
// library index from the indexer's own copy of the shared directories.
//
// Owned by the media library. start() (through MediaLibrary::startIndexer),
// setDirs() and the destructor are called by the owner's thread; the pass runs
// on the indexer's thread and reads the directory list it copied when it
// began, so a new list takes effect with the next pass. Destruction asks a
// running pass to stop (it then keeps the previous index) and waits for it.
#pragma once

#include "platform/Thread.h"
#include "library/IndexPass.h"
#include "library/IndexStore.h"
#include "library/analysis/FilenameAnalyzer.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace lyrebox {

// What the indexer is doing and how its last pass ended, for status lines
// (the dialog's Library page, the web app's listing).
struct IndexerState {
    bool running = false;        // a pass is under way
    std::size_t itemsSoFar = 0;  // entries the running pass has indexed
    bool hasIndex = false;       // a complete index is there to search
    bool hasLastPass = false;    // a pass has ended since the start
    PassResult lastResult = PassResult::Failed;
    std::size_t lastCount = 0;   // entries of the last pass
    double lastSeconds = 0;      // its duration
    std::string lastError;       // why it failed; empty when it was published
    std::uint64_t passesEnded = 0;  // passes ended since the start
};

// "Indexing... N items", "N items indexed in T s", or why the last pass failed.
std::string describeIndexerState(const IndexerState& state);

class Indexer : public platform::Thread {
public:
    Indexer(std::set<std::string> extensions, std::vector<std::string> dirs, std::string indexPath);
    ~Indexer() override;

    void setDirs(std::vector<std::string> dirs);
    // Starts a pass unless one runs, and waits until it has begun; false when
    // none was started. Callers on several threads start at most one pass.
    bool startPass();
    // Ends a running pass early (its walk stops; the previous index stays)
    // and makes later passes stop at once. The destructor calls it.
    void requestStop() { stopRequested_.store(true); }
    // Runs on the indexer's thread after each pass that published an index
    // (with the flag that says to stop early). Set before the first pass.
    void setPublishedHook(std::function<void(const std::atomic<bool>& stop)> hook) { publishedHook_ = std::move(hook); }
    const std::string& indexPath() const { return store_.indexPath(); }
    // How the last finished pass ended (Failed before the first one).
    PassResult lastResult() const { return lastResult_.load(); }
    IndexerState state() const;

protected:
    int run() override;

private:
    std::set<std::string> extensions_;
    std::mutex startMutex_;  // one start at a time
    std::mutex dirsMutex_;  // guards dirs_
    std::vector<std::string> dirs_;
    IndexStore store_;
    lucene::analysis::filename::FilenameAnalyzer analyzer_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<PassResult> lastResult_{PassResult::Failed};
    std::atomic<std::size_t> added_{0};
    mutable std::mutex stateMutex_;  // guards last_
    IndexerState last_;              // only the fields of the last pass
    std::function<void(const std::atomic<bool>&)> publishedHook_;
};

// The index directory beside the module that holds this code: the module's
// path without its extension ("gen_lyrebox.so" -> "gen_lyrebox"); a module
// without one gets ".index" appended, since a directory cannot share its name.
std::string defaultIndexPath();
std::string indexPathForModule(const std::string& modulePath);

}  // namespace lyrebox

// The background indexing thread: each run is one pass that rebuilds the
// library index from the indexer's own copy of the shared directories.
//
// Owned by the media library. start() (through MediaLibrary::startIndexer),
// setDirs() and the destructor are called by the owner's thread; the pass runs
// on the indexer's thread and reads the directory list it copied when it
// began, so a new list takes effect with the next pass. Destruction asks a
// running pass to stop (it then keeps the previous index) and waits for it.
#pragma once

#include "http/Thread.h"
#include "library/IndexPass.h"
#include "library/IndexStore.h"
#include "library/analysis/FilenameAnalyzer.h"

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace lyrebox {

class Indexer : public Thread {
public:
    Indexer(std::set<std::string> extensions, std::vector<std::string> dirs, std::string indexPath);
    ~Indexer() override;

    void setDirs(std::vector<std::string> dirs);
    // Ends a running pass early (its walk stops; the previous index stays)
    // and makes later passes stop at once. The destructor calls it.
    void requestStop() { stopRequested_.store(true); }
    const std::string& indexPath() const { return store_.indexPath(); }
    // How the last finished pass ended (Failed before the first one).
    PassResult lastResult() const { return lastResult_.load(); }

protected:
    int run() override;

private:
    std::set<std::string> extensions_;
    std::mutex dirsMutex_;  // guards dirs_
    std::vector<std::string> dirs_;
    IndexStore store_;
    lucene::analysis::filename::FilenameAnalyzer analyzer_;
    std::atomic<bool> stopRequested_{false};
    std::atomic<PassResult> lastResult_{PassResult::Failed};
};

// The index directory beside the module that holds this code: the module's
// path without its extension ("gen_lyrebox.so" -> "gen_lyrebox"); a module
// without one gets ".index" appended, since a directory cannot share its name.
std::string defaultIndexPath();
std::string indexPathForModule(const std::string& modulePath);

}  // namespace lyrebox

// One indexing pass: walks the shared directories and writes a new index into
// the idle generation of the index directory, then switches searches to it.
//
// Runs on the indexer's thread. Safe against passes of other indexers (it
// does nothing while another pass holds the PassGuard) and against searches
// on any thread (see IndexStore).
#pragma once

#include "library/IndexStore.h"
#include "library/analysis/FilenameAnalyzer.h"

#include <CLucene.h>

#include <atomic>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace lyrebox {

enum class PassResult {
    Published,  // the new index is complete and searches use it
    Busy,       // another pass was running; nothing was touched
    Stopped,    // a stop request ended the walk; the previous index stays
    Failed,     // CLucene or the file system failed; the previous index stays
};

struct PassInput {
    std::vector<std::string> dirs;
    std::set<std::string> extensions;
    // Called on the pass's thread when every document is added, before the
    // new index is committed (progress reporting, tests).
    std::function<void()> afterWalk;
    // When given, counts the entries handed to the writer so far.
    std::atomic<std::size_t>* added = nullptr;
    // Both on for every real pass; the benchmark turns them off to measure a
    // pass as it was before the folded words and the writer's settings.
    bool foldedWords = true;
    bool tunedWriter = true;
};

// names analyses the "name" field (and must outlive the call); the folded
// words need no analyzer of the caller's.
PassResult runIndexPass(const IndexStore& store, const PassInput& input,
                        lucene::analysis::filename::FilenameAnalyzer& names, const std::atomic<bool>& stopRequested);

}  // namespace lyrebox

// lyrebox-index: runs one indexing pass of the library index, as the
// configuration dialog's Reindex does, for the plugin module given:
//
//   lyrebox-index PLUGIN_MODULE SHARED_DIR...
//
// The index goes where the plugin looks for it (beside the module). Used to
// prepare a library for a player that is started afterwards, e.g. by tests.
#include "library/Indexer.h"
#include "library/LibraryText.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs("usage: lyrebox-index PLUGIN_MODULE SHARED_DIR...\n", stderr);
        return 2;
    }
    std::vector<std::string> dirs(argv + 2, argv + argc);
    lyrebox::Indexer indexer(lyrebox::playableExtensions(), dirs, lyrebox::indexPathForModule(argv[1]));
    if (!indexer.start()) {
        std::fputs("lyrebox-index: cannot start the indexing thread\n", stderr);
        return 1;
    }
    indexer.join();
    if (indexer.lastResult() != lyrebox::PassResult::Published) {
        std::fprintf(stderr, "lyrebox-index: the pass did not complete (index %s)\n", indexer.indexPath().c_str());
        return 1;
    }
    return 0;
}

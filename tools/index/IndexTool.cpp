// lyrebox-index: runs one indexing pass of the library index, as the
// configuration dialog's Reindex does, for the plugin module given:
//
//   lyrebox-index [--] PLUGIN_MODULE SHARED_DIR...
//
// The index goes where the plugin looks for it (beside the module). Used to
// prepare a library for a player that is started afterwards, e.g. by tests.
// Every argument is checked before anything is written, so a mistyped option
// never becomes the name of an index folder.
#include "library/Indexer.h"
#include "library/LibraryText.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: lyrebox-index [--] PLUGIN_MODULE SHARED_DIR...\n"
    "Runs one indexing pass over the shared folders and writes the index where\n"
    "the plugin module looks for it (beside it).\n"
    "  -h, --help  print this text and exit\n"
    "  --          end of options (for a name that starts with '-')\n";

// Exit status 2 for a command line that cannot be run.
int usageError(const std::string& problem) {
    if (!problem.empty()) std::fprintf(stderr, "lyrebox-index: %s\n", problem.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> operands;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "-h" || arg == "--help")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (options && arg.size() > 1 && arg.front() == '-') {
            return usageError("unknown option " + std::string(arg));
        } else {
            operands.emplace_back(arg);
        }
    }
    if (operands.size() < 2) return usageError(operands.empty() ? "" : "no shared folder given");
    std::error_code error;
    if (!std::filesystem::is_regular_file(operands[0], error))
        return usageError("no plugin module at " + operands[0]);

    std::vector<std::string> dirs(operands.begin() + 1, operands.end());
    lyrebox::Indexer indexer(lyrebox::playableExtensions(), dirs, lyrebox::indexPathForModule(operands[0]));
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

#include "library/Indexer.h"

#include "platform/Module.h"

#include <chrono>
#include <filesystem>
#include <cstdio>

namespace lyrebox {

Indexer::Indexer(std::set<std::string> extensions, std::vector<std::string> dirs, std::string indexPath)
    : extensions_(std::move(extensions)), dirs_(std::move(dirs)), store_(std::move(indexPath)) {}

Indexer::~Indexer() {
    requestStop();
    join();
}

void Indexer::setDirs(std::vector<std::string> dirs) {
    std::lock_guard<std::mutex> lock(dirsMutex_);
    dirs_ = std::move(dirs);
}

bool Indexer::startPass() {
    std::lock_guard<std::mutex> lock(startMutex_);
    if (isRunning() || !start()) {
        return false;
    }
    waitStarted();
    return true;
}

int Indexer::run() {
    PassResult result = PassResult::Failed;
    const auto began = std::chrono::steady_clock::now();
    added_.store(0);
    try {
        PassInput input;
        {
            std::lock_guard<std::mutex> lock(dirsMutex_);
            input.dirs = dirs_;
        }
        input.extensions = extensions_;
        input.added = &added_;
        result = runIndexPass(store_, input, analyzer_, stopRequested_);
    } catch (...) {
        // Nothing may leave the thread; the previous index stays in use.
        result = PassResult::Failed;
    }
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        last_.hasLastPass = true;
        last_.lastResult = result;
        last_.lastCount = added_.load();
        last_.lastSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
        switch (result) {
            case PassResult::Published: last_.lastError.clear(); break;
            case PassResult::Busy: last_.lastError = "another pass was using the index"; break;
            case PassResult::Stopped: last_.lastError = "the pass was stopped"; break;
            case PassResult::Failed: last_.lastError = "the index could not be written in " + indexPath(); break;
        }
        ++last_.passesEnded;
    }
    lastResult_.store(result);
    if (result == PassResult::Published && publishedHook_) {
        try {
            publishedHook_(stopRequested_);
        } catch (...) {
            // Nothing may leave the thread; the hook's work is only a head start.
        }
    }
    return result == PassResult::Published ? 0 : 1;
}

IndexerState Indexer::state() const {
    IndexerState state;
    {
        std::lock_guard<std::mutex> lock(stateMutex_);
        state = last_;
    }
    state.running = isRunning();
    state.itemsSoFar = state.running ? added_.load() : 0;
    // Without the open/close lock, which a pass or a search may hold a while:
    // the link names only a complete index, and it is replaced in one rename.
    const auto current = store_.currentIndexLocked();
    std::error_code error;
    state.hasIndex = current && std::filesystem::is_directory(*current, error);
    return state;
}

std::string describeIndexerState(const IndexerState& state) {
    if (state.running) {
        return "Indexing... " + std::to_string(state.itemsSoFar) + " items";
    }
    if (!state.hasLastPass) {
        return state.hasIndex ? "" : "No index yet";
    }
    if (state.lastResult != PassResult::Published) {
        return "Indexing failed: " + state.lastError;
    }
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", state.lastSeconds);
    return std::to_string(state.lastCount) + " items indexed in " + seconds + " s";
}

std::string indexPathForModule(const std::string& modulePath) {
    const auto slash = modulePath.rfind('/');
    const auto dot = modulePath.rfind('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return hasExtension ? modulePath.substr(0, dot) : modulePath + ".index";
}

std::string defaultIndexPath() {
    static const int anchor = 0;  // any object of this module
    return indexPathForModule(platform::moduleFileName(&anchor));
}

}  // namespace lyrebox

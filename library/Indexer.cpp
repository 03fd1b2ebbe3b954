#include "library/Indexer.h"

#include "platform/Module.h"

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

int Indexer::run() {
    PassResult result = PassResult::Failed;
    try {
        PassInput input;
        {
            std::lock_guard<std::mutex> lock(dirsMutex_);
            input.dirs = dirs_;
        }
        input.extensions = extensions_;
        result = runIndexPass(store_, input, analyzer_, stopRequested_);
    } catch (...) {
        // Nothing may leave the thread; the previous index stays in use.
        result = PassResult::Failed;
    }
    lastResult_.store(result);
    return result == PassResult::Published ? 0 : 1;
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

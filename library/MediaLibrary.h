// The media library: the shared directories, the path rule, listings, path
// expansion and the three request handlers "library.js", "download" and
// "stream".
//
// One instance, owned by the RequestRouter. Its operations run on connection
// threads, several at a time, and keep no state between calls: the shared
// directories are read through a snapshot of the settings' live list on every
// call, so a change made by the configuration dialog is seen by the next
// request. setSharedDirs is called on the window thread only.
#pragma once

#include "config/SharedDirList.h"
#include "library/HttpGet.h"
#include "library/LibraryText.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace lyrebox {

class Settings;
class HttpRequest;
class HttpResponse;
using ParamMap = std::map<std::string, std::string>;

// Search and indexing state; defined with the search code.
class LibraryIndex;

class MediaLibrary {
public:
    explicit MediaLibrary(Settings& settings);
    // With the index in indexPath instead of beside the module (tests, tools).
    MediaLibrary(Settings& settings, std::string indexPath);
    ~MediaLibrary();
    MediaLibrary(const MediaLibrary&) = delete;
    MediaLibrary& operator=(const MediaLibrary&) = delete;

    SharedDirList::Snapshot sharedDirs() const;
    // Reads this list from now on; gives the indexer a copy.
    void setSharedDirs(SharedDirList& list);

    bool isAllowedPath(const std::string& path) const;
    // One directory level: its listable items (".." included), in the order
    // the file system returns them.
    std::vector<FileEntry> listDirectory(const std::string& path) const;
    // The record of one allowed, listable path; empty (no name) otherwise.
    platform::FindRecord lookupFile(const std::string& path) const;
    // Appends the playable items a path stands for (files, URLs).
    void expandPath(const std::string& path, std::vector<std::string>& items);

    // Up to 500 results in rank order; dirsOnly keeps directories only.
    void search(const std::string& query, std::vector<FileEntry>& results, bool dirsOnly);
    bool startIndexer();
    bool isIndexing() const;
    // The directory that holds the index (its "current" link names the complete one).
    const std::string& indexPath() const;
    // Waits until no pass of this library's indexer runs.
    void waitIndexerIdle() const;

    void browse(HttpRequest& request, const ParamMap& params, HttpResponse& response);    // "library.js"
    void download(HttpRequest& request, const ParamMap& params, HttpResponse& response);  // "download"
    void stream(HttpRequest& request, const ParamMap& params, HttpResponse& response);    // "stream"

    // Bounds of fetching another server's play list; set before serving.
    void setFetchLimits(const FetchLimits& fetchLimits) { fetchLimits_ = fetchLimits; }

private:
    void expandLocal(const std::string& path, std::vector<std::string>& items);
    void expandRemote(const std::string& url, std::vector<std::string>& items);

    std::atomic<SharedDirList*> dirs_;
    FetchLimits fetchLimits_;
    std::unique_ptr<LibraryIndex> index_;
};

}  // namespace lyrebox

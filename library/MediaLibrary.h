// The media library: the shared directories, the path rule, listings, path
// expansion, and the questions behind "library.js", "download" and "stream"
// (answered as values; api/LibraryHandlers makes the HTTP answers).
//
// One instance, owned by the RequestRouter. Its operations run on connection
// threads, several at a time, and keep no state between calls but the
// listings of big folders, which are checked against inotify on each use
// (platform/ListingCache): the shared directories are read through a snapshot
// of the settings' live list on every call, so a change made by the
// configuration dialog is seen by the next request. setSharedDirs is called on the window thread only.
#pragma once

#include "config/SharedDirList.h"
#include "library/FetchGate.h"
#include "library/LibraryAnswers.h"
#include "library/LibraryLimits.h"
#include "library/LibraryText.h"
#include "library/RemoteFetch.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace lyrebox {

class Settings;
}  // namespace lyrebox

namespace platform {
class ListingCache;
}  // namespace platform

namespace lyrebox {

// Search and indexing state; defined with the search code.
class LibraryIndex;
struct AutoIndexTiming;
struct IndexerState;
struct SearchResult;

class MediaLibrary {
public:
    // remoteFetch gets other servers' stream play lists (the api hands in the
    // HTTP client); without one such lists expand to nothing.
    explicit MediaLibrary(Settings& settings, RemoteFetch remoteFetch = {});
    // With the index in indexPath instead of beside the module (tests, tools).
    MediaLibrary(Settings& settings, std::string indexPath, RemoteFetch remoteFetch = {});
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
    // Appends the playable items a path stands for (files, URLs), until
    // items holds limits::kMaxExpansionEntries (plugin/PlaylistLimits.h);
    // false when the expansion had more than fit (what fits is kept). client
    // is the address the request came from: another server's list is fetched
    // only while fewer than limits::kMaxFetchesPerAddress fetches run for it,
    // otherwise it expands to nothing at once.
    bool expandPath(const std::string& path, std::vector<std::string>& items, std::uint32_t client = 0);

    // Up to 500 results in rank order; dirsOnly keeps directories only.
    void search(const std::string& query, std::vector<FileEntry>& results, bool dirsOnly);
    // The same results with the number of all matches and whether the list was cut.
    SearchResult searchWithTotal(const std::string& query, bool dirsOnly);
    bool startIndexer();
    bool isIndexing() const;
    // Whether a pass runs and how far it is, whether an index exists, how the
    // last pass ended. Any thread.
    IndexerState indexerState() const;
    // Automatic indexing: a pass when there are shares but no index, when the
    // shares change (setSharedDirs), and a quiet while after their files
    // change. Off until turned on (the plugin does, from its setting).
    void setAutoIndex(bool on);
    void setAutoIndex(bool on, const AutoIndexTiming& timing);
    bool autoIndexEnabled() const;
    std::uint64_t autoPassesStarted() const;
    bool autoPassPending() const;
    // Folders watched for changes (0 until the watches are in place).
    std::size_t autoWatchedFolders() const;
    // The directory that holds the index (its "current" link names the complete one).
    const std::string& indexPath() const;
    // Waits until no pass of this library's indexer runs.
    void waitIndexerIdle() const;

    // The listing of path ("library.js"): the shares for an empty path or one
    // outside them, search results for a search, nothing for a URL, otherwise
    // the directory level; sorted as sortEntries does.
    LibraryListing browse(std::string path, int sortBy, int sortDir);
    // The file of a download, opened; a failure when there is none to send.
    DownloadFile openDownload(const std::string& path) const;
    // The playable items of a stream list for path; empty when the path is
    // empty, outside the shares or stands for nothing. client as for expandPath.
    std::vector<std::string> streamItems(const std::string& path, std::uint32_t client);

    // Replaces the fetch of other servers' play lists; set before serving.
    void setRemoteFetch(RemoteFetch remoteFetch) { remoteFetch_ = std::move(remoteFetch); }

private:
    bool expandLocal(const std::string& path, std::vector<std::string>& items);
    bool expandRemote(const std::string& url, std::vector<std::string>& items, std::uint32_t client);
    // Drops results outside today's shared directories: the index may be
    // older than the last change of the shares.
    void keepSharedResults(std::vector<FileEntry>& results) const;

    std::atomic<SharedDirList*> dirs_;
    RemoteFetch remoteFetch_;
    FetchGate fetchGate_{limits::kMaxFetchesPerAddress};
    std::unique_ptr<LibraryIndex> index_;
    // Big folders' listings between requests; safe on any thread.
    std::unique_ptr<platform::ListingCache> listings_;
};

}  // namespace lyrebox

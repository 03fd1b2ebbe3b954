#include "api/BrowseJson.h"

#include "api/JsonText.h"
#include "library/BrowseDocument.h"
#include "library/Indexer.h"
#include "library/LibrarySearcher.h"
#include "library/MediaLibrary.h"
#include "library/SearchLimits.h"
#include "platform/DecimalText.h"

#include <filesystem>
#include <system_error>

namespace lyrebox {

namespace {

// The longest shared directory (trailing slashes stripped) that path lies in.
std::string containingSharedDir(const std::string& path, const std::vector<std::string>& dirs) {
    std::string best;
    for (const std::string& entry : dirs) {
        const std::string dir = stripTrailingSlashes(entry);
        if (dir.empty() || !isPathUnderSharedDirs(path, {dir})) continue;
        if (dir.size() > best.size()) best = dir;
    }
    return best;
}

void appendCrumb(std::string& out, bool first, const std::string& name, const std::string& path) {
    if (!first) out += ',';
    out += '{';
    appendJsonKey(out, "name", true);
    appendJsonString(out, name);
    appendJsonKey(out, "path");
    appendJsonPath(out, path);
    out += '}';
}

// The crumbs from the shared directory down to path, and the parent's path.
void appendCrumbsAndParent(std::string& out, const BrowseListing& listing) {
    const std::string here = stripTrailingSlashes(listing.path);
    const std::string& top = listing.sharedDir;
    appendJsonKey(out, "parent");
    if (listing.isRoot || listing.isSearch || top.empty()) {
        out += "null";
    } else if (here == top) {
        out += "\"\"";
    } else {
        const auto slash = here.rfind('/');
        appendJsonPath(out, slash == 0 ? std::string("/") : here.substr(0, slash));
    }
    appendJsonKey(out, "crumbs");
    out += '[';
    if (!listing.isRoot && !listing.isSearch && !top.empty()) {
        appendCrumb(out, true, top, top);
        std::string current = top;
        std::size_t at = top == "/" ? 1 : top.size();
        while (at < here.size()) {
            if (here[at] == '/') {
                ++at;
                continue;
            }
            const std::size_t end = std::min(here.find('/', at), here.size());
            const std::string part = here.substr(at, end - at);
            current = joinPath(current, part);
            appendCrumb(out, false, part, current);
            at = end;
        }
    }
    out += ']';
}

void appendEntry(std::string& out, const FileEntry& entry, bool isRoot) {
    const bool dir = isDirectory(entry.attributes);
    out += '{';
    appendJsonKey(out, "name", true);
    appendJsonString(out, isRoot ? entry.path : baseName(entry.path));
    appendJsonKey(out, "path");
    appendJsonPath(out, entry.path);
    appendJsonKey(out, "type");
    out += dir ? "\"dir\"" : "\"file\"";
    appendJsonKey(out, "ext");
    appendJsonString(out, dir ? std::string() : fileExtension(baseName(entry.path)));
    appendJsonKey(out, "size");
    out += std::to_string(dir ? 0 : entry.size);
    appendJsonKey(out, "mtime");
    out += entry.lastWriteTime == 0 ? std::string("null") : std::to_string(fileTimeToUnixSeconds(entry.lastWriteTime));
    out += '}';
}

}  // namespace

std::string writeBrowseJson(const BrowseListing& listing) {
    std::string out;
    out.reserve(256 + listing.entries.size() * 160);
    out += '{';
    appendJsonKey(out, "path", true);
    appendJsonPath(out, listing.path);
    appendJsonKey(out, "name");
    const std::string here = stripTrailingSlashes(listing.path);
    appendJsonString(out, listing.isRoot ? std::string()
                          : listing.isSearch ? listing.query
                          : here == "/" ? here
                                        : baseName(here));
    appendJsonKey(out, "root");
    appendJsonBool(out, listing.isRoot);
    appendCrumbsAndParent(out, listing);
    appendJsonKey(out, "indexing");
    appendJsonBool(out, listing.facts.indexing);
    appendJsonKey(out, "indexMissing");
    appendJsonBool(out, listing.facts.indexMissing);
    if (listing.isSearch) {
        appendJsonKey(out, "search");
        appendJsonString(out, listing.query);
        appendJsonKey(out, "dirsOnly");
        appendJsonBool(out, listing.dirsOnly);
        appendJsonKey(out, "total");
        out += std::to_string(listing.facts.total);
        appendJsonKey(out, "cut");
        appendJsonBool(out, listing.facts.cut);
    }
    appendJsonKey(out, "entries");
    out += '[';
    bool first = true;
    for (const FileEntry& entry : listing.entries) {
        if (baseName(entry.path) == "..") continue;
        if (!first) out += ',';
        first = false;
        appendEntry(out, entry, listing.isRoot);
    }
    out += "]}";
    return out;
}

void fillIndexState(MediaLibrary& library, SearchFacts& facts) {
    const IndexerState state = library.indexerState();
    facts.indexing = state.running;
    facts.indexMissing = !state.hasIndex;
}

SearchFacts librarySearchFacts(MediaLibrary& library, const std::string& query, bool dirsOnly,
                               std::vector<FileEntry>& results) {
    SearchFacts facts;
    SearchResult found = library.searchWithTotal(query, dirsOnly);
    results.insert(results.end(), std::make_move_iterator(found.items.begin()),
                   std::make_move_iterator(found.items.end()));
    facts.total = found.total;
    facts.cut = found.cut;
    fillIndexState(library, facts);
    return facts;
}

std::string browseJson(MediaLibrary& library, const ParamMap& params) {
    BrowseListing listing;
    listing.path = paramOf(params, "path");
    if (!library.isAllowedPath(listing.path)) listing.path.clear();
    const auto dirs = library.sharedDirs();
    listing.isRoot = listing.path.empty();
    if (listing.isRoot) {
        for (const auto& dir : *dirs) listing.entries.push_back(FileEntry{dir, platform::FILE_ATTRIBUTE_DIRECTORY, 0, 0});
    } else if (listing.path.starts_with(kSearchPrefix) || listing.path.starts_with(kSearchDirsPrefix)) {
        listing.isSearch = true;
        listing.dirsOnly = listing.path.starts_with(kSearchDirsPrefix);
        listing.query = listing.path.substr(listing.dirsOnly ? kSearchDirsPrefix.size() : kSearchPrefix.size());
        listing.facts = librarySearchFacts(library, listing.query, listing.dirsOnly, listing.entries);
    } else if (!listing.path.starts_with(kHttpPrefix)) {
        listing.sharedDir = containingSharedDir(listing.path, *dirs);
        listing.entries = library.listDirectory(listing.path);
    }
    if (!listing.isSearch) fillIndexState(library, listing.facts);
    sortEntries(listing.entries, platform::parseDecimalPrefix<int>(paramOf(params, "sortby")),
                platform::parseDecimalPrefix<int>(paramOf(params, "sortdir")));
    return writeBrowseJson(listing);
}

}  // namespace lyrebox

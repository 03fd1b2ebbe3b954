#include "library/BrowseDocument.h"

#include <algorithm>
#include <string_view>

namespace lyrebox {

namespace {

// Sorts by name through a permutation of precomputed name views, so no
// comparison searches for the last "/" or copies a name.
void sortByName(std::vector<FileEntry>& entries, bool descending) {
    std::vector<std::string_view> names;
    names.reserve(entries.size());
    for (const auto& entry : entries) {
        const std::string_view path(entry.path);
        names.push_back(path.substr(path.rfind('/') + 1));  // npos + 1 == 0
    }
    std::vector<std::size_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    // string_view compares as unsigned bytes, a prefix first.
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return descending ? names[b] < names[a] : names[a] < names[b];
    });
    std::vector<FileEntry> sorted;
    sorted.reserve(entries.size());
    for (std::size_t i : order) sorted.push_back(std::move(entries[i]));
    entries.swap(sorted);
}

}  // namespace

void sortEntries(std::vector<FileEntry>& entries, int sortBy, int sortDir) {
    if (sortDir != 0 && sortDir != 1) return;
    const bool descending = sortDir == 1;
    switch (sortBy) {
        case static_cast<int>(SortKey::Name):
            sortByName(entries, descending);
            break;
        case static_cast<int>(SortKey::Date):
            std::sort(entries.begin(), entries.end(), [descending](const FileEntry& a, const FileEntry& b) {
                return descending ? a.lastWriteTime > b.lastWriteTime : a.lastWriteTime < b.lastWriteTime;
            });
            break;
        case static_cast<int>(SortKey::Size):
            std::sort(entries.begin(), entries.end(), [descending](const FileEntry& a, const FileEntry& b) {
                return descending ? a.size > b.size : a.size < b.size;
            });
            break;
        default:
            break;
    }
}

std::string safeCallbackName(const std::string& callback) {
    for (char c : callback) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
                        c == '$' || c == '.';
        if (!ok) return {};
    }
    return callback;
}

std::string writeBrowseDocument(const std::string& path, const std::string& authToken,
                                const std::vector<FileEntry>& entries, bool isRoot) {
    std::string out;
    out.reserve(64 + entries.size() * 160);
    out += "{\"path\" : \"";
    out += percentEncode(path);
    out += "\",\n\"auth\" : \"";
    out += authToken;
    out += "\",\n\"files\" : [\n";
    bool wroteAny = false;
    if (!isRoot) {
        out += "{\"name\" : \"..\",\"type\" : \"$UP$\" }";
        wroteAny = true;
    }
    for (const auto& entry : entries) {
        const std::string name = baseName(entry.path);
        if (name == "..") continue;
        const std::string type = isDirectory(entry.attributes) ? std::string("$DIR$") : fileExtension(entry.path);
        if (wroteAny) out += ',';
        wroteAny = true;
        out += "\n{\"name\" : \"";
        out += percentEncode(isRoot ? entry.path : name);
        out += "\",\"path\" : \"";
        out += percentEncode(entry.path);
        out += "\",\"type\" : \"";
        out += percentEncode(type);
        out += "\" }\n";
    }
    out += "]}";
    return out;
}

std::string wrapInCallback(const std::string& callback, const std::string& document) {
    std::string out;
    out.reserve(callback.size() + document.size() + 3);
    out += callback;
    out += '(';
    out += document;
    out += ");";
    return out;
}

}  // namespace lyrebox

#include "library/BrowseDocument.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

namespace lyrebox {

namespace {

// Moves the entries into the order of a sorted permutation.
void applyOrder(std::vector<FileEntry>& entries, const std::vector<std::uint32_t>& order) {
    std::vector<FileEntry> sorted;
    sorted.reserve(entries.size());
    for (std::uint32_t i : order) sorted.push_back(std::move(entries[i]));
    entries.swap(sorted);
}

// Sorts a permutation by keys computed once per entry (the name's view, the
// time, the size), so no comparison searches for the last "/" or touches an
// entry. The permutation goes through the same comparisons as sorting the
// entries themselves would, so equal keys keep the order they had before.
template <typename Key>
void sortByKey(std::vector<FileEntry>& entries, bool descending, Key keyOf) {
    using K = decltype(keyOf(entries.front()));
    std::vector<K> keys;
    keys.reserve(entries.size());
    for (const auto& entry : entries) keys.push_back(keyOf(entry));
    std::vector<std::uint32_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<std::uint32_t>(i);
    // string_view compares as unsigned bytes, a prefix first.
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return descending ? keys[b] < keys[a] : keys[a] < keys[b];
    });
    applyOrder(entries, order);
}

std::string_view nameOf(std::string_view path) { return path.substr(path.rfind('/') + 1); }  // npos + 1 == 0

std::string_view extensionOf(std::string_view name) {
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? name : name.substr(dot + 1);
}

void appendBrowseDocument(std::string& out, const std::string& path, const std::string& authToken,
                          const std::vector<FileEntry>& entries, bool isRoot) {
    out += "{\"path\" : \"";
    appendPercentEncoded(out, path);
    out += "\",\n\"auth\" : \"";
    out += authToken;
    out += "\",\n\"files\" : [\n";
    bool wroteAny = false;
    if (!isRoot) {
        out += "{\"name\" : \"..\",\"type\" : \"$UP$\" }";
        wroteAny = true;
    }
    for (const auto& entry : entries) {
        const std::string_view full(entry.path);
        const std::string_view name = nameOf(full);
        if (name == "..") continue;
        if (wroteAny) out += ',';
        wroteAny = true;
        out += "\n{\"name\" : \"";
        appendPercentEncoded(out, isRoot ? full : name);
        out += "\",\"path\" : \"";
        appendPercentEncoded(out, full);
        out += "\",\"type\" : \"";
        if (isDirectory(entry.attributes)) out += "%24DIR%24";  // "$DIR$"
        else appendPercentEncoded(out, extensionOf(full), true);
        out += "\" }\n";
    }
    out += "]}";
}

// Room for the document in the worst case (every byte encoded), so it is
// written without a reallocation; the pages beyond what is written are never touched.
std::size_t browseDocumentBound(const std::string& path, const std::string& authToken,
                                const std::vector<FileEntry>& entries) {
    std::size_t size = 96 + 3 * path.size() + authToken.size();
    for (const auto& entry : entries) size += 64 + 9 * entry.path.size();
    return size;
}

}  // namespace

void sortEntries(std::vector<FileEntry>& entries, int sortBy, int sortDir) {
    if (sortDir != 0 && sortDir != 1) return;
    if (entries.empty()) return;
    const bool descending = sortDir == 1;
    switch (sortBy) {
        case static_cast<int>(SortKey::Name):
            sortByKey(entries, descending, [](const FileEntry& e) { return nameOf(e.path); });
            break;
        case static_cast<int>(SortKey::Date):
            sortByKey(entries, descending, [](const FileEntry& e) { return e.lastWriteTime; });
            break;
        case static_cast<int>(SortKey::Size):
            sortByKey(entries, descending, [](const FileEntry& e) { return e.size; });
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
    out.reserve(browseDocumentBound(path, authToken, entries));
    appendBrowseDocument(out, path, authToken, entries, isRoot);
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

std::string writeBrowseAnswer(const std::string& callback, const std::string& path, const std::string& authToken,
                              const std::vector<FileEntry>& entries, bool isRoot) {
    std::string out;
    out.reserve(callback.size() + 3 + browseDocumentBound(path, authToken, entries));
    out += callback;
    out += '(';
    appendBrowseDocument(out, path, authToken, entries, isRoot);
    out += ");";
    return out;
}

}  // namespace lyrebox

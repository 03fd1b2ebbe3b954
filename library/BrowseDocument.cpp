#include "library/BrowseDocument.h"

#include <algorithm>
#include <cstring>

namespace lyrebox {

namespace {

// Byte order of the names (unsigned bytes, a prefix first), without copying them.
int compareNames(const std::string& a, const std::string& b) {
    const auto sa = a.rfind('/') + 1;  // npos + 1 == 0
    const auto sb = b.rfind('/') + 1;
    const std::size_t la = a.size() - sa;
    const std::size_t lb = b.size() - sb;
    const int c = std::memcmp(a.data() + sa, b.data() + sb, std::min(la, lb));
    if (c != 0) return c;
    return la < lb ? -1 : (la > lb ? 1 : 0);
}

}  // namespace

void sortEntries(std::vector<FileEntry>& entries, int sortBy, int sortDir) {
    if (sortDir != 0 && sortDir != 1) return;
    const bool descending = sortDir == 1;
    switch (sortBy) {
        case static_cast<int>(SortKey::Name):
            std::sort(entries.begin(), entries.end(), [descending](const FileEntry& a, const FileEntry& b) {
                const int c = compareNames(a.path, b.path);
                return descending ? c > 0 : c < 0;
            });
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

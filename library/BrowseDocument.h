// The "library.js" answer as pure functions: entry ordering, the callback
// rule and the JSON listing, so their exact bytes can be tested without a
// server.
#pragma once

#include "library/LibraryText.h"

#include <string>
#include <vector>

namespace lyrebox {

enum class SortKey { Name = 0, Date = 1, Size = 2 };

// Sorts by the request's "sortby" (0 name, 1 date, 2 size) and "sortdir"
// (0 ascending, 1 descending). Any other value leaves the order as it is.
void sortEntries(std::vector<FileEntry>& entries, int sortBy, int sortDir);

// The callback name when it is made only of letters, digits, "_", "$" and
// "."; otherwise empty, so a request cannot inject script around the listing.
std::string safeCallbackName(const std::string& callback);

// The listing document. path is the echoed (already rule-checked) path;
// isRoot selects the shared-directory root form (full paths as names, no up
// entry).
std::string writeBrowseDocument(const std::string& path, const std::string& authToken,
                                const std::vector<FileEntry>& entries, bool isRoot);

// callback + "(" + document + ");"
std::string wrapInCallback(const std::string& callback, const std::string& document);

// wrapInCallback(callback, writeBrowseDocument(...)), written into one buffer.
std::string writeBrowseAnswer(const std::string& callback, const std::string& path, const std::string& authToken,
                              const std::vector<FileEntry>& entries, bool isRoot);

}  // namespace lyrebox

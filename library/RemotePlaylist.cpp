// Fetching another server's stream play list and expanding it into its
// download URLs.
#include "library/LibraryLimits.h"
#include "library/M3uPlaylist.h"
#include "library/MediaLibrary.h"

#include <string_view>

namespace lyrebox {

bool MediaLibrary::expandRemote(const std::string& url, std::vector<std::string>& items, std::uint32_t client) {
    if (!remoteFetch_) return true;
    const FetchGate::Pass pass(fetchGate_, client);
    if (!pass.admitted()) return true;
    const FetchedBody fetched = remoteFetch_(url);
    if (!fetched.ok) return true;
    // A body cut short (at a size bound, or by the server) ends in the middle
    // of a line; that line is not an entry. The bound is kept here as well,
    // whatever fetch was handed in.
    std::string_view body = fetched.body;
    bool cut = fetched.cutShort;
    if (body.size() > limits::kRemoteMaxResponseBytes) {
        body = body.substr(0, limits::kRemoteMaxResponseBytes);
        cut = true;
    }
    return parseStreamPlaylist(cut ? wholeLines(body) : body, items, limits::kMaxExpansionEntries);
}

}  // namespace lyrebox

// Fetching another server's stream play list: the URL parser, the bounded
// GET and the expansion of the list into its download URLs.
#include "library/HttpGet.h"
#include "library/LibraryLimits.h"
#include "library/M3uPlaylist.h"
#include "library/MediaLibrary.h"

#include "http/HttpRequest.h"
#include "http/HttpResponse.h"
#include "platform/Socket.h"

namespace lyrebox {

std::optional<HttpUrl> parseHttpUrl(const std::string& url) {
    if (!hasPrefix(url, kHttpPrefix)) return std::nullopt;
    const std::string rest = url.substr(kHttpPrefix.size());
    const auto slash = rest.find('/');
    if (slash == std::string::npos) return std::nullopt;
    HttpUrl parsed;
    parsed.hostPart = rest.substr(0, slash);
    std::string portText;
    const auto colon = parsed.hostPart.find(':');
    parsed.host = parsed.hostPart.substr(0, colon);
    if (colon != std::string::npos) {
        portText = parsed.hostPart.substr(colon + 1);
        if (portText.empty() || portText.size() > 5) return std::nullopt;
        unsigned port = 0;
        for (char c : portText) {
            if (c < '0' || c > '9') return std::nullopt;
            port = port * 10 + static_cast<unsigned>(c - '0');
        }
        if (port == 0 || port > 65535) return std::nullopt;
        parsed.port = static_cast<std::uint16_t>(port);
    }
    if (parsed.host.empty()) return std::nullopt;
    const std::string target = rest.substr(slash);
    const auto question = target.find('?');
    parsed.path = target.substr(0, question);
    if (question != std::string::npos) parsed.query = target.substr(question + 1);
    return parsed;
}

void MediaLibrary::expandRemote(const std::string& url, std::vector<std::string>& items) {
    HttpResponse response;
    if (!httpGet(url, response, fetchLimits_)) return;
    parseStreamPlaylist(response.body(), items);
}

}  // namespace lyrebox

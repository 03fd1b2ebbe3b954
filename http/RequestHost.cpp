#include "http/HttpRequest.h"

#include <cctype>

namespace lyrebox {

namespace {

bool isHostChar(unsigned char c) { return std::isalnum(c) || c == '-' || c == '.' || c == '_'; }

bool isPort(std::string_view text) {
    if (text.empty() || text.size() > 5) return false;
    for (unsigned char c : text)
        if (!std::isdigit(c)) return false;
    return true;
}

bool isPlainHost(std::string_view text) {
    if (text.empty()) return false;
    for (unsigned char c : text)
        if (!isHostChar(c)) return false;
    return true;
}

bool isBracketedV6(std::string_view text) {
    if (text.size() < 3 || text.front() != '[' || text.back() != ']') return false;
    for (unsigned char c : text.substr(1, text.size() - 2))
        if (!std::isxdigit(c) && c != ':' && c != '.') return false;
    return true;
}

bool isValidHost(std::string_view text) {
    if (!text.empty() && text.front() == '[') {
        std::size_t close = text.find(']');
        if (close == std::string_view::npos) return false;
        std::string_view rest = text.substr(close + 1);
        return isBracketedV6(text.substr(0, close + 1)) &&
               (rest.empty() || (rest.front() == ':' && isPort(rest.substr(1))));
    }
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) return isPlainHost(text);
    return isPlainHost(text.substr(0, colon)) && isPort(text.substr(colon + 1));
}

}  // namespace

std::string requestHost(const HttpRequest& request) {
    std::string host = request.header("Host");
    return isValidHost(host) ? host : std::string();
}

}  // namespace lyrebox

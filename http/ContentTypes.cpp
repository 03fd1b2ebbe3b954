#include "http/ContentTypes.h"

#include <cctype>

namespace lyrebox {

namespace {

std::string_view extensionOf(std::string_view name) {
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
}

std::string lowerCase(std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

const std::map<std::string, std::string>& contentTypes() {
    static const std::map<std::string, std::string> table = {
        {"jpg", "image/jpeg"}, {"gif", "image/gif"},  {"css", "text/css"},       {"xml", "text/xml"},
        {"js", "text/javascript"}, {"mp3", "audio/mpeg"}, {"m3u", "audio/x-mpegurl"}, {"ico", "image/x-icon"},
    };
    return table;
}

std::string routedContentType(std::string_view name, AnswerKind kind) {
    if (kind == AnswerKind::Page) return kHtmlType;
    const auto& types = contentTypes();
    const auto found = types.find(std::string(extensionOf(name)));
    return found == types.end() ? kPlainTextType : found->second;
}

std::string downloadContentType(std::string_view fileName) {
    // Every extension the library lists as playable has a row here.
    static const std::map<std::string, std::string, std::less<>> audio = {
        {"mp3", "audio/mpeg"}, {"ogg", "audio/ogg"},  {"flac", "audio/flac"},     {"mp4", "audio/mp4"},
        {"m4a", "audio/mp4"},  {"wav", "audio/wav"},  {"wma", "audio/x-ms-wma"},
    };
    const auto found = audio.find(lowerCase(extensionOf(fileName)));
    return found == audio.end() ? kBinaryType : found->second;
}

}  // namespace lyrebox

// Which type each answer says it is, decided here for every routed name and
// every downloaded file, so no answer falls back to a type a browser would
// run as a page.
//
// The tables are built on first use (the server's constructor calls
// contentTypes() before any connection exists) and read-only afterwards, so
// any thread may call these functions.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace lyrebox {

inline constexpr const char* kHtmlType = "text/html";
inline constexpr const char* kPlainTextType = "text/plain; charset=utf-8";
inline constexpr const char* kBinaryType = "application/octet-stream";

// Extension (without the dot, case-sensitive) of a routed name to its type:
// the web app's scripts, style sheets, images, the XML documents and M3U.
const std::map<std::string, std::string>& contentTypes();

// How a routed name is answered: a page of the web app (HTML), or anything
// else, whose type follows its extension and is plain text without one.
enum class AnswerKind { Page, Other };

std::string routedContentType(std::string_view name, AnswerKind kind);

// A downloaded file: an audio type for every playable extension in any
// letter case, anything else as opaque bytes.
std::string downloadContentType(std::string_view fileName);

}  // namespace lyrebox

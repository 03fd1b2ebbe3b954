// Pure parsing functions of the HTTP layer: no sockets, no state, so they
// can be unit-tested and fuzzed on bytes alone. Any thread may call them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace lyrebox {

using HeaderMap = std::map<std::string, std::string>;
using ParamMap = std::map<std::string, std::string>;
enum class HttpMethod { Get, Post };

// Position just past the first CR LF CR LF at or after `from`, or npos.
std::size_t findHeadEnd(std::string_view bytes, std::size_t from = 0);

struct RequestLine {
    int status = 0;  // 0, 400 or 501
    std::string reason;
    HttpMethod method = HttpMethod::Get;
    std::string path, query, protocol;
};
// Parses one request line (without its CR LF).
RequestLine parseRequestLine(std::string_view line);

// Adds header lines separated by CR LF; the first occurrence of a name wins.
void parseHeaderLines(std::string_view lines, HeaderMap& headers);

// Appends one "Name: value" line per header, in map order, then the empty line.
void appendHeaderLines(std::string& out, const HeaderMap& headers);

// Adds "&"-separated name=value pairs, percent-decoded; the first occurrence wins.
void parseParams(std::string_view text, ParamMap& params);

// The value of a parameter, or "" when there is none.
std::string paramOf(const ParamMap& params, const std::string& name);

// "%XX" decoded once, anything else (including "+") kept.
std::string percentDecode(std::string_view text);

// Text safe inside HTML elements and attribute values.
std::string htmlEscape(std::string_view text);
// The same text appended to out.
void appendHtmlEscaped(std::string& out, std::string_view text);

struct ParsedHead {
    RequestLine line;
    HeaderMap headers;
};
// Parses a whole head (request line, header lines, optional terminator).
// A head without any CR LF is 400.
ParsedHead parseHead(std::string_view head);

}  // namespace lyrebox

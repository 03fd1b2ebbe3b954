#include "http/HttpParse.h"

#include <limits>

namespace lyrebox {

namespace {

constexpr std::string_view kCrLf = "\r\n";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view skipSpaces(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    return text.substr(i);
}

RequestLine failed(int status, const char* reason) {
    RequestLine line;
    line.status = status;
    line.reason = reason;
    return line;
}

}  // namespace

std::size_t findHeadEnd(std::string_view bytes, std::size_t from) {
    if (from > bytes.size()) return std::string_view::npos;
    std::size_t pos = bytes.find("\r\n\r\n", from);
    return pos == std::string_view::npos ? pos : pos + 4;
}

RequestLine parseRequestLine(std::string_view line) {
    std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return failed(501, "Method not implemented");
    std::string_view method = line.substr(0, space);
    RequestLine result;
    if (method == "GET") {
        result.method = HttpMethod::Get;
    } else if (method == "POST") {
        result.method = HttpMethod::Post;
    } else {
        return failed(501, "Method not implemented");
    }
    std::string_view rest = line.substr(space + 1);
    std::size_t targetEnd = rest.find(' ');
    std::string_view target = rest.substr(0, targetEnd);
    if (target.empty() || target.front() != '/') return failed(400, "Bad Request");
    std::size_t question = target.find('?');
    if (question != std::string_view::npos) {
        // A query must be followed by the protocol word.
        if (targetEnd == std::string_view::npos) return failed(400, "Bad Request");
        result.path = target.substr(0, question);
        result.query = target.substr(question + 1);
    } else {
        result.path = target;
    }
    if (targetEnd != std::string_view::npos) result.protocol = rest.substr(targetEnd + 1);
    return result;
}

void parseHeaderLines(std::string_view lines, HeaderMap& headers) {
    while (!lines.empty()) {
        std::size_t end = lines.find(kCrLf);
        std::string_view line = lines.substr(0, end);
        lines = end == std::string_view::npos ? std::string_view() : lines.substr(end + 2);
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) continue;
        headers.try_emplace(std::string(line.substr(0, colon)),
                            std::string(skipSpaces(line.substr(colon + 1))));
    }
}

void parseParams(std::string_view text, ParamMap& params) {
    while (!text.empty()) {
        std::size_t amp = text.find('&');
        std::string_view piece = text.substr(0, amp);
        text = amp == std::string_view::npos ? std::string_view() : text.substr(amp + 1);
        std::size_t eq = piece.find('=');
        if (eq == std::string_view::npos) continue;
        params.try_emplace(percentDecode(piece.substr(0, eq)),
                           percentDecode(skipSpaces(piece.substr(eq + 1))));
    }
}

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int hi = hexValue(text[i + 1]);
            int lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string paramOf(const ParamMap& params, const std::string& name) {
    const auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
}

std::string htmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    appendHtmlEscaped(out, text);
    return out;
}

void appendHtmlEscaped(std::string& out, std::string_view text) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::string_view entity;
        switch (text[i]) {
            case '&': entity = "&amp;"; break;
            case '<': entity = "&lt;"; break;
            case '>': entity = "&gt;"; break;
            case '"': entity = "&quot;"; break;
            case '\'': entity = "&#39;"; break;
            default: continue;
        }
        out.append(text.substr(start, i - start));
        out += entity;
        start = i + 1;
    }
    out.append(text.substr(start));
}

ParsedHead parseHead(std::string_view head) {
    ParsedHead parsed;
    std::size_t lineEnd = head.find(kCrLf);
    if (lineEnd == std::string_view::npos) {
        parsed.line = failed(400, "Bad Request");
        return parsed;
    }
    parsed.line = parseRequestLine(head.substr(0, lineEnd));
    if (parsed.line.status != 0) return parsed;
    std::string_view lines = head.substr(lineEnd + 2);
    std::size_t terminator = head.find("\r\n\r\n");
    if (terminator != std::string_view::npos) {
        // The terminator's first CR LF ends the last header line.
        lines = terminator <= lineEnd ? std::string_view()
                                      : head.substr(lineEnd + 2, terminator - lineEnd - 2);
    }
    parseHeaderLines(lines, parsed.headers);
    return parsed;
}

void appendHeaderLines(std::string& out, const HeaderMap& headers) {
    for (const auto& [name, value] : headers) {
        out += name;
        out += ": ";
        out += value;
        out += "\r\n";
    }
    out += "\r\n";
}

}  // namespace lyrebox

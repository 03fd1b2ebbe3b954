// The diagnostic page's view of a request. Everything shown came from the
// network, so every text is escaped.
#include "http/HttpRequest.h"

#include <ostream>
#include <string>

namespace lyrebox {

namespace {

constexpr const char* kRowStart = "<tr bgcolor=\"eeeeee\"><td valign=\"top\"><b>";
constexpr const char* kRowMiddlePre = "</b></td><td valign=\"top\"><pre>";
constexpr const char* kRowEndPre = "</pre></td></tr>";
constexpr const char* kRowMiddleTable = "</b></td><td valign=\"top\"><table border=\"0\">";
constexpr const char* kRowEndTable = "</table></td></tr>";

void preRow(std::string& out, const char* label, const std::string& text) {
    out += kRowStart;
    out += label;
    out += kRowMiddlePre;
    appendHtmlEscaped(out, text);
    out += kRowEndPre;
}

void mapRow(std::string& out, const char* label, const std::map<std::string, std::string>& entries) {
    out += kRowStart;
    out += label;
    out += kRowMiddleTable;
    for (const auto& [name, value] : entries) {
        out += "<tr><td valign=\"top\"><i>";
        appendHtmlEscaped(out, name);
        out += ":</i></td><td valign=\"top\">";
        appendHtmlEscaped(out, value);
        out += "</td>";
    }
    out += kRowEndTable;
}

}  // namespace

void HttpRequest::writeHtmlDump(std::ostream& out) const {
    std::string text;
    appendHtmlDump(text);
    out << text;
}

void HttpRequest::appendHtmlDump(std::string& out) const {
    out.reserve(out.size() + 1024 + raw_.size() + body_.size());
    out += "<table border=\"0\" cellspacing=\"2\">\r\n";
    preRow(out, "Request:", raw_);
    preRow(out, "Request URI:", path_);
    preRow(out, "Protocol:", protocol_);
    mapRow(out, "Headers:", headers_);
    mapRow(out, "Params:", params_);
    preRow(out, "Data:", body_);
    out += "</table>";
}

}  // namespace lyrebox

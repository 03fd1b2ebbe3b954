// The diagnostic page's view of a request. Everything shown came from the
// network, so every text is escaped.
#include "http/HttpRequest.h"

#include <ostream>

namespace lyrebox {

namespace {

constexpr const char* kRowStart = "<tr bgcolor=\"eeeeee\"><td valign=\"top\"><b>";
constexpr const char* kRowMiddlePre = "</b></td><td valign=\"top\"><pre>";
constexpr const char* kRowEndPre = "</pre></td></tr>";
constexpr const char* kRowMiddleTable = "</b></td><td valign=\"top\"><table border=\"0\">";
constexpr const char* kRowEndTable = "</table></td></tr>";

void preRow(std::ostream& out, const char* label, const std::string& text) {
    out << kRowStart << label << kRowMiddlePre << htmlEscape(text) << kRowEndPre;
}

void mapRow(std::ostream& out, const char* label, const std::map<std::string, std::string>& entries) {
    out << kRowStart << label << kRowMiddleTable;
    for (const auto& [name, value] : entries) {
        out << "<tr><td valign=\"top\"><i>" << htmlEscape(name) << ":</i></td><td valign=\"top\">"
            << htmlEscape(value) << "</td>";
    }
    out << kRowEndTable;
}

}  // namespace

void HttpRequest::writeHtmlDump(std::ostream& out) const {
    out << "<table border=\"0\" cellspacing=\"2\">\r\n";
    preRow(out, "Request:", raw_);
    preRow(out, "Request URI:", path_);
    preRow(out, "Protocol:", protocol_);
    mapRow(out, "Headers:", headers_);
    mapRow(out, "Params:", params_);
    preRow(out, "Data:", body_);
    out << "</table>";
}

}  // namespace lyrebox

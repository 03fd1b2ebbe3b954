#include "library/ByteRange.h"

#include <limits>
#include <optional>

namespace lyrebox {

namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Digits only; a value too large for 64 bits saturates, which still orders
// correctly against any file size.
std::optional<std::uint64_t> parseDigits(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const unsigned digit = static_cast<unsigned>(c - '0');
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return value;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

ByteRange parseByteRange(std::string_view header, std::uint64_t size) {
    ByteRange whole;
    const auto equals = header.find('=');
    if (equals == std::string_view::npos) return whole;
    if (!equalsIgnoreCase(trim(header.substr(0, equals)), "bytes")) return whole;
    const std::string_view rangeSet = trim(header.substr(equals + 1));
    if (rangeSet.find(',') != std::string_view::npos) return whole;
    const auto dash = rangeSet.find('-');
    if (dash == std::string_view::npos) return whole;
    const std::string_view firstText = trim(rangeSet.substr(0, dash));
    const std::string_view lastText = trim(rangeSet.substr(dash + 1));

    ByteRange range;
    if (firstText.empty()) {
        // Suffix form: the last n bytes.
        const auto count = parseDigits(lastText);
        if (!count) return whole;
        if (*count == 0 || size == 0) {
            range.kind = ByteRange::Kind::Unsatisfiable;
            return range;
        }
        range.kind = ByteRange::Kind::Partial;
        range.first = *count >= size ? 0 : size - *count;
        range.last = size - 1;
        return range;
    }
    const auto first = parseDigits(firstText);
    if (!first) return whole;
    std::uint64_t last = std::numeric_limits<std::uint64_t>::max();
    if (!lastText.empty()) {
        const auto parsed = parseDigits(lastText);
        if (!parsed || *parsed < *first) return whole;
        last = *parsed;
    }
    if (*first >= size) {
        range.kind = ByteRange::Kind::Unsatisfiable;
        return range;
    }
    range.kind = ByteRange::Kind::Partial;
    range.first = *first;
    range.last = last >= size ? size - 1 : last;
    return range;
}

}  // namespace lyrebox

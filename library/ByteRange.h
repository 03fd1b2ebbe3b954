// The "Range" header of a download as a pure function: one byte range of
// RFC 9110 ("a-b", "a-", "-n") against a file size.
#pragma once

#include <cstdint>
#include <string_view>

namespace lyrebox {

struct ByteRange {
    enum class Kind {
        Whole,          // no usable range: answer the whole file with 200
        Partial,        // answer first..last (inclusive) with 206
        Unsatisfiable,  // answer 416 with "bytes */size"
    };
    Kind kind = Kind::Whole;
    std::uint64_t first = 0;
    std::uint64_t last = 0;

    std::uint64_t length() const { return last - first + 1; }
};

// Absent, empty, malformed and multi-range headers give Whole (a server may
// ignore a Range it does not serve); the unit must be "bytes" (any case).
ByteRange parseByteRange(std::string_view header, std::uint64_t size);

}  // namespace lyrebox

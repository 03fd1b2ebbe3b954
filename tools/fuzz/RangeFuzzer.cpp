// The download's Range parser against arbitrary header text and file sizes.
// Besides crashes it checks the answer itself: a partial range lies inside
// the file and is never empty, and 416 is given only when no byte of the
// file can be served.
#include "library/ByteRange.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte picks the file size: small sizes (the edge cases live
    // there) or a full 64-bit value from the next eight bytes.
    if (size < 1) return 0;
    std::uint64_t fileSize = data[0];
    ++data;
    --size;
    if (fileSize >= 0xF0 && size >= 8) {
        std::memcpy(&fileSize, data, 8);
        data += 8;
        size -= 8;
    }
    const std::string_view header(reinterpret_cast<const char*>(data), size);
    const lyrebox::ByteRange range = lyrebox::parseByteRange(header, fileSize);

    switch (range.kind) {
    case lyrebox::ByteRange::Kind::Whole:
        break;
    case lyrebox::ByteRange::Kind::Partial:
        if (fileSize == 0) std::abort();
        if (range.first > range.last) std::abort();
        if (range.last >= fileSize) std::abort();
        if (range.length() == 0 || range.length() > fileSize) std::abort();
        break;
    case lyrebox::ByteRange::Kind::Unsatisfiable:
        // Only "bytes=" headers can be refused.
        if (header.find('=') == std::string_view::npos) std::abort();
        break;
    }
    // The same header against a larger file serves the same range or more
    // of it, never a refusal or fewer bytes.
    if (range.kind == lyrebox::ByteRange::Kind::Partial && fileSize < UINT64_MAX) {
        const auto larger = lyrebox::parseByteRange(header, fileSize + 1);
        if (larger.kind != lyrebox::ByteRange::Kind::Partial) std::abort();
        if (larger.last < range.last || larger.length() < range.length()) std::abort();
    }
    return 0;
}

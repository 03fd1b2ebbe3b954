// The picture stored inside a music file, read with TagLib: ID3v2 APIC
// frames (MP3, WAV), FLAC picture blocks, MP4 "covr" items, Vorbis and Opus
// comment pictures, ASF "WM/Picture". A front cover is preferred over other
// picture types. Safe on any thread (each call opens its own file object).
#pragma once

#include <cstddef>
#include <string>

namespace lyrebox {

// The picture's bytes, empty when the file has none (or cannot be read, or
// its format is not one of the above). Pictures over maxBytes are ignored.
std::string readEmbeddedPicture(const std::string& path, std::size_t maxBytes);

}  // namespace lyrebox

// GStreamer set-up shared by the playback engine and the tag reader.
#pragma once

#include "host/audio/TagCache.h"

#include <string>

namespace lyrebox {

// Initialises GStreamer once per process (any thread) and prefers the mpg123
// decoder for mp3, which spares loading libav for the most common type.
void ensureGstInitialized();

// A URI for playbin: URLs pass as they are, paths become file:// URIs
// (spaces, '#', '%' and non-ASCII bytes escaped). Empty when it cannot convert.
std::string locationToUri(const std::string& location);

// Tags and length of a stream by GStreamer's discoverer (blocking, with a
// time-out); readable is false when the stream cannot be opened.
TrackTags discoverTags(const std::string& location);

}  // namespace lyrebox

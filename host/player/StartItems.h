// The files and folders named on the host's command line, turned into play-list
// entries: folders expand to the playable files below them, in byte order of
// their full paths; files and http(s):// URLs pass as given.
#pragma once

#include <string>
#include <vector>

namespace lyrebox {

struct StartItems {
    std::vector<std::string> entries;
    std::vector<std::string> missing;  // arguments that name nothing
};

// Extensions mp3 wav ogg flac mp4 m4a wma, in any case.
bool hasPlayableExtension(const std::string& path);

StartItems expandStartItems(const std::vector<std::string>& arguments);

}  // namespace lyrebox

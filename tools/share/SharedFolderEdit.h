// Adds a folder to the plugin's shared folders in its INI file, for the run
// script: only the "Shared Dirs" key is rewritten (atomically, through the
// platform's profile functions), every other key stays as it is.
#pragma once

#include <string>

namespace lyrebox {

enum class ShareResult { Added, AlreadyShared, Refused, Failed };

// folder must be absolute. A folder already shared, or inside a shared one,
// is left alone; one whose name holds ';' or a line break cannot be listed
// and is refused. message says what happened, for the user.
ShareResult shareFolder(const std::string& iniPath, const std::string& folder, std::string& message);

}  // namespace lyrebox

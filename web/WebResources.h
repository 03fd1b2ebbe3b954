// The web application's files, compiled into the module that links
// lyrebox-web and registered as its resources (platform/Resources.h) when the
// module loads. Nothing is read from disk at run time.
#pragma once

#include <cstddef>

namespace lyrebox::web {

// True once the resource table is registered. Calling it also keeps the
// linker from dropping the table out of a static library.
bool resourcesRegistered();

// Number of embedded assets (the routed ones and the console-only page).
std::size_t resourceCount();

}  // namespace lyrebox::web

// The web application's files, compiled into the module that links
// lyrebox-web and registered as its resources (platform/Resources.h) when the
// module loads. Nothing is read from disk at run time.
#pragma once

#include <cstddef>

namespace lyrebox::web {

// True once the resource table is registered. Calling it also keeps the
// linker from dropping the table out of a static library.
bool resourcesRegistered();

// Number of embedded assets of the classic pages (the routed ones and the
// console-only page), the module's stored resource layout.
std::size_t resourceCount();

// Number of embedded assets of the touch remote, stored after the classic ones.
std::size_t remoteResourceCount();

}  // namespace lyrebox::web

// The library's request names: "library.js", "download" and "stream".
#pragma once

namespace lyrebox {

class RequestRouter;

void registerLibraryHandlers(RequestRouter& router);

}  // namespace lyrebox

// The handlers that serve the embedded web application (pages, scripts,
// style sheets, images): a plain one that sends a resource's exact bytes, and
// a template one that fills in the markers of api/Templates.h first.
#pragma once

#include "api/Templates.h"

namespace lyrebox {

class HttpRequest;
class RequestRouter;

// Enters every asset name in the router's tables. Called by the router's
// constructor.
void registerAssetHandlers(RequestRouter& router);

// The marker values for one template request: the request's host, a new
// play-list id (drawn under the router's playlistLock and its served ids),
// whether the media library is on, and the product version.
MarkerTable buildMarkerTable(RequestRouter& router, const HttpRequest& request);

}  // namespace lyrebox

// The library's request names: "library.js", "download" and "stream". The
// library answers the questions; these functions make the HTTP answers of
// them (status pages, headers, byte ranges, the file's bytes). Any
// connection thread.
#pragma once

namespace lyrebox {

class HttpRequest;
class HttpResponse;
class MediaLibrary;
class RequestRouter;

void registerLibraryHandlers(RequestRouter& router);

// "library.js": the listing as a script, wrapped in the request's callback.
void serveBrowse(MediaLibrary& library, HttpRequest& request, HttpResponse& response);
// "download": one file of a shared directory, whole or one byte range,
// streamed from the file to the socket with bounded memory.
void serveDownload(MediaLibrary& library, HttpRequest& request, HttpResponse& response);
// "stream": an M3U list of download addresses for what a path stands for.
void serveStream(MediaLibrary& library, HttpRequest& request, HttpResponse& response);

}  // namespace lyrebox

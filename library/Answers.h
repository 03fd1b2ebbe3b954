// The library's error answers, shared by its handlers.
#pragma once

namespace lyrebox {

class HttpResponse;

void answerNotFound(HttpResponse& response);              // 404
void answerInternalError(HttpResponse& response);         // 500

}  // namespace lyrebox

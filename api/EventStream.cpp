#include "api/EventStream.h"

#include "api/EventHub.h"
#include "api/RemoteLimits.h"
#include "http/HttpResponse.h"
#include "platform/Socket.h"

#include <chrono>
#include <string>

namespace lyrebox {

using Clock = std::chrono::steady_clock;

void serveEventStream(EventHub& hub, HttpResponse& response) {
    platform::Socket* socket = response.socket();
    const auto subscription = socket ? hub.subscribe() : nullptr;
    if (!subscription) {
        response.setStatus(503, "Service Unavailable");
        response.setHeader("Connection", "close");
        response.setBody("<h1>503 Service Unavailable</h1>");
        response.send();
        return;
    }
    response.setHeader("Content-Type", "text/event-stream");
    response.setHeader("Cache-Control", "no-cache");
    response.setHeader("Connection", "close");
    response.setHeader("X-Accel-Buffering", "no");  // a buffering proxy would hold events back
    response.removeHeader("Content-Length");
    std::string out = response.headText();
    out += "retry: " + std::to_string(remote::kRetryMs) + "\n\n";
    bool open = response.sendBytes(out.data(), out.size()) == out.size();
    auto lastWrite = Clock::now();
    while (open) {
        const auto due = lastWrite + remote::kKeepAlivePeriod;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
        const auto woke = platform::waitReadableOrSignal(*socket, subscription->signal(),
                                                         left.count() > 0 ? left : std::chrono::milliseconds(0));
        if (woke == platform::WaitResult::Signalled) {
            subscription->signal().clear();
            out = hub.takeNewEvents(*subscription);
        } else if (woke == platform::WaitResult::TimedOut) {
            out = ": keep-alive\n\n";
        } else {
            break;  // the client went or spoke, or the server is closing
        }
        if (out.empty()) continue;
        open = response.sendBytes(out.data(), out.size()) == out.size();
        lastWrite = Clock::now();
    }
    // No length was sent: only the end of the connection ends the answer.
    socket->shutdownBoth();
}

}  // namespace lyrebox

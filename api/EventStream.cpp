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
    const auto subscription = socket ? hub.subscribe(*socket) : nullptr;
    if (!subscription) {
        response.setHeader("Connection", "close");
        response.sendStatusPage(503, "Service Unavailable");
        return;
    }
    response.setHeader("Content-Type", "text/event-stream");
    response.setHeader("Cache-Control", "no-cache");
    response.setHeader("Connection", "close");
    response.setHeader("X-Accel-Buffering", "no");  // a buffering proxy would hold events back
    response.removeHeader("Content-Length");
    // The head goes out under the subscription's write lock, like every
    // later write: the sampler may already have events for this stream.
    const std::string head = response.headText() + "retry: " + std::to_string(remote::kRetryMs) + "\n\n";
    bool open = subscription->start(head);
    auto lastComment = Clock::now();
    while (open) {
        const auto due = lastComment + remote::kKeepAlivePeriod;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now());
        const auto woke = platform::waitReadableOrSignal(*socket, subscription->signal(),
                                                         left.count() > 0 ? left : std::chrono::milliseconds(0));
        if (woke == platform::WaitResult::Signalled) {
            subscription->signal().clear();
            open = subscription->flush();
        } else if (woke == platform::WaitResult::TimedOut) {
            open = subscription->flush(": keep-alive\n\n");
            lastComment = Clock::now();
        } else {
            break;  // the client went or spoke, or the server is closing
        }
    }
    // No length was sent: only the end of the connection ends the answer.
    socket->shutdownBoth();
}

}  // namespace lyrebox

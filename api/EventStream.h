// The "events" answer: a server-sent event stream fed by the EventHub.
//
// Runs on the connection's own thread for as long as the stream lasts: it
// sleeps until its subscription is signalled, the keep-alive comment is due,
// or the socket becomes readable (the client went, sent bytes, or the server
// shut the socket at quit), so a quit ends it at once. The idle time-out of
// the connection does not apply while it runs; the connection counts toward
// the caps like any other. The answer has no length, so the connection ends
// with the stream.
#pragma once

namespace lyrebox {

class EventHub;
class HttpResponse;

void serveEventStream(EventHub& hub, HttpResponse& response);

}  // namespace lyrebox

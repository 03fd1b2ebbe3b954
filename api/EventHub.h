// The remote's live updates: one sampler thread that asks the player for its
// state while at least one event stream listens, and the subscriptions of
// those streams.
//
// The sampler starts with the first subscription and ends with the last, so
// nobody listening means no questions to the player. It samples every
// kSamplePeriod, and at once (at most every kMinKickGap) when kick() says a
// command has just changed the player. When a sample differs from the last
// one sent, it stores the new event text and hands it to every stream: it
// writes the text to the socket itself when that fits without waiting and no
// other write is under way (one thread doing two hundred small sends instead
// of two hundred threads woken), and otherwise keeps the rest and wakes the
// stream's own connection thread to finish with an ordinary send, so a slow
// client never holds up the sampler or the others.
//
// Thread contract: subscribe(), kick() and takeNewEvents() are called by
// connection threads; mutex_ guards everything below it and is never held
// while the player is asked (the sampler reads through the gateway with no
// lock of this hub or of the router). The destructor runs on the thread
// that destroys the router (the player's window thread in the plugin): it
// stops the sampler and waits for it while answering messages sent to that
// thread, so a sample in progress can finish.
#pragma once

#include "api/RemoteStatus.h"
#include "platform/Event.h"
#include "platform/Socket.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace lyrebox {

class PlayerGateway;
class PlaylistRevision;

class EventHub {
public:
    class Subscription;

    EventHub(PlayerGateway& gateway, PlaylistRevision& revision);
    ~EventHub();
    EventHub(const EventHub&) = delete;
    EventHub& operator=(const EventHub&) = delete;

    // Null when the hub is stopping or no wake signal could be made. The
    // subscription's signal is set at once when events are waiting for it.
    // The socket must stay open while the subscription lives.
    std::unique_ptr<Subscription> subscribe(platform::Socket& socket);
    // A command has changed the player: sample soon. Nothing happens when
    // nobody listens.
    void kick();
    // The events this subscription has not received yet, as stream text;
    // empty when there are none.
    std::string takeNewEvents(Subscription& subscription);

    // For tests and the diagnostics: whether the sampler thread runs, how many
    // samples it has taken in all, and a wait for its end.
    bool isSampling() const;
    std::uint64_t samplesTaken() const;
    std::size_t listenerCount() const;
    void waitSamplerStopped() const { samplerEnded_.wait(); }

private:
    void unsubscribe(Subscription* subscription);
    void samplerLoop();
    void sampleOnce();
    // With mutex_ held: the events the subscription lacks, marked as taken.
    std::string newEventsLocked(Subscription& subscription);
    // With mutex_ held: writes what fits now, leaves the rest to the stream.
    void deliverLocked(Subscription& subscription);

    PlayerGateway& gateway_;
    PlaylistRevision& revision_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::set<Subscription*> listeners_;
    bool running_ = false;
    bool kicked_ = false;
    bool stopping_ = false;
    std::uint64_t samples_ = 0;
    bool haveStatus_ = false;
    RemoteStatus lastStatus_;
    std::chrono::steady_clock::time_point lastStatusTime_;
    std::uint64_t statusSeq_ = 0, playlistSeq_ = 0;
    std::string statusEvent_, playlistEvent_;
    std::uint64_t lastRevision_ = 0;
    int lastLength_ = -1;
    std::thread sampler_;
    platform::Event samplerEnded_{true};
};

// One listening stream, used by its connection thread. Its signal is set when
// bytes wait for it; the stream clears it and calls flush(). Every write to
// the socket, the sampler's and the stream's own, happens under writeMutex_,
// so the bytes of two events never interleave; the sampler only try-locks it.
// Destroying the subscription ends it.
class EventHub::Subscription {
public:
    Subscription(EventHub& hub, platform::Socket& socket) : hub_(hub), socket_(socket) {}
    ~Subscription() { hub_.unsubscribe(this); }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

    platform::WakeSignal& signal() { return signal_; }
    // Sends the answer's head and the events waiting; until then the sampler
    // writes nothing to this stream. False when the connection failed.
    bool start(const std::string& head);
    // Sends what the sampler left over, the events not yet sent, then extra;
    // false when the connection failed.
    bool flush(const std::string& extra = {});

private:
    friend class EventHub;
    EventHub& hub_;
    platform::Socket& socket_;
    platform::WakeSignal signal_;
    std::mutex writeMutex_;
    std::string pending_;  // guarded by writeMutex_
    bool started_ = false;  // guarded by writeMutex_
    std::uint64_t statusSent_ = 0, playlistSent_ = 0;  // guarded by the hub's mutex
};

}  // namespace lyrebox

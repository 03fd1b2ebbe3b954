// The remote's live updates: one sampler thread that asks the player for its
// state while at least one event stream listens, and the subscriptions of
// those streams.
//
// The sampler starts with the first subscription and ends with the last, so
// nobody listening means no questions to the player. It samples every
// kSamplePeriod, and at once (at most every kMinKickGap) when kick() says a
// command has just changed the player. When a sample differs from the last
// one sent, it stores the new event text and wakes every subscription's
// signal; each stream's own connection thread then copies the text and
// writes it, so a slow client never holds up the sampler or the others.
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
    std::unique_ptr<Subscription> subscribe();
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

// One listening stream. Its signal is set when new events wait; the stream
// clears it and calls takeNewEvents(). Destroying it ends the subscription.
class EventHub::Subscription {
public:
    explicit Subscription(EventHub& hub) : hub_(hub) {}
    ~Subscription() { hub_.unsubscribe(this); }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;

    platform::WakeSignal& signal() { return signal_; }

private:
    friend class EventHub;
    EventHub& hub_;
    platform::WakeSignal signal_;
    std::uint64_t statusSent_ = 0, playlistSent_ = 0;  // guarded by the hub's mutex
};

}  // namespace lyrebox

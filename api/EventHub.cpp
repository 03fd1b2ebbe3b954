#include "api/EventHub.h"

#include "api/PlaylistRevision.h"
#include "api/RemoteLimits.h"

namespace lyrebox {

using Clock = std::chrono::steady_clock;

namespace {

std::string eventText(const char* name, const std::string& data) {
    std::string text = "event: ";
    text += name;
    text += "\ndata: ";
    text += data;  // one line: the JSON writers never write a line end
    text += "\n\n";
    return text;
}

}  // namespace

EventHub::EventHub(PlayerGateway& gateway, PlaylistRevision& revision) : gateway_(gateway), revision_(revision) {}

EventHub::~EventHub() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    // Pumping: a sample may be waiting for this very thread to answer it.
    samplerEnded_.waitPumping();
    if (sampler_.joinable()) sampler_.join();
}

std::unique_ptr<EventHub::Subscription> EventHub::subscribe(platform::Socket& socket) {
    auto subscription = std::make_unique<Subscription>(*this, socket);
    if (!subscription->signal().valid()) return nullptr;
    std::lock_guard lock(mutex_);
    if (stopping_) return nullptr;
    listeners_.insert(subscription.get());
    if (!running_) {
        // The last run has ended (or is about to return): its old sample may
        // be stale, so the new run starts afresh.
        if (sampler_.joinable()) sampler_.join();
        haveStatus_ = false;
        statusEvent_.clear();
        playlistEvent_.clear();
        lastLength_ = -1;
        running_ = true;
        samplerEnded_.reset();
        try {
            sampler_ = std::thread([this] { samplerLoop(); });
        } catch (...) {
            running_ = false;
            samplerEnded_.set();
            listeners_.erase(subscription.get());
            return nullptr;
        }
    } else if (!statusEvent_.empty()) {
        subscription->signal().signal();
    }
    return subscription;
}

void EventHub::unsubscribe(Subscription* subscription) {
    bool last = false;
    {
        std::lock_guard lock(mutex_);
        last = listeners_.erase(subscription) != 0 && listeners_.empty();
    }
    if (last) wake_.notify_all();
}

void EventHub::kick() {
    {
        std::lock_guard lock(mutex_);
        if (listeners_.empty()) return;
        kicked_ = true;
    }
    wake_.notify_all();
}

std::string EventHub::takeNewEvents(Subscription& subscription) {
    std::lock_guard lock(mutex_);
    return newEventsLocked(subscription);
}

std::string EventHub::newEventsLocked(Subscription& subscription) {
    std::string text;
    if (!statusEvent_.empty() && subscription.statusSent_ != statusSeq_) {
        text += statusEvent_;
        subscription.statusSent_ = statusSeq_;
    }
    if (!playlistEvent_.empty() && subscription.playlistSent_ != playlistSeq_) {
        text += playlistEvent_;
        subscription.playlistSent_ = playlistSeq_;
    }
    return text;
}

bool EventHub::isSampling() const {
    std::lock_guard lock(mutex_);
    return running_;
}

std::uint64_t EventHub::samplesTaken() const {
    std::lock_guard lock(mutex_);
    return samples_;
}

std::size_t EventHub::listenerCount() const {
    std::lock_guard lock(mutex_);
    return listeners_.size();
}

void EventHub::samplerLoop() {
    std::unique_lock lock(mutex_);
    while (!stopping_ && !listeners_.empty()) {
        kicked_ = false;
        lock.unlock();
        try {
            sampleOnce();
        } catch (...) {
            // A failed sample (memory) is skipped; the next one may succeed.
        }
        const auto sampled = Clock::now();
        lock.lock();
        const auto idle = [this] { return stopping_ || listeners_.empty(); };
        wake_.wait_until(lock, sampled + remote::kSamplePeriod, [&] { return idle() || kicked_; });
        // A kick right after a sample waits out the short gap, so a burst of
        // commands costs the player a few samples, not one per command.
        if (kicked_) wake_.wait_until(lock, sampled + remote::kMinKickGap, idle);
    }
    running_ = false;
    lock.unlock();
    samplerEnded_.set();
}

void EventHub::sampleOnce() {
    const RemoteStatus status = readRemoteStatus(gateway_, revision_);
    const auto now = Clock::now();
    std::string statusText;
    bool changed = false;
    {
        std::lock_guard lock(mutex_);
        ++samples_;
    }
    // The texts are written outside the lock; only the swap-in is inside.
    bool statusNew = false;
    {
        std::lock_guard lock(mutex_);
        const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(now - lastStatusTime_).count();
        statusNew = !haveStatus_ || statusChanged(lastStatus_, status, since);
    }
    if (statusNew) statusText = eventText("status", writeStatusJson(status));
    std::lock_guard lock(mutex_);
    if (statusNew) {
        statusEvent_ = std::move(statusText);
        ++statusSeq_;
        lastStatus_ = status;
        lastStatusTime_ = now;
        haveStatus_ = true;
        changed = true;
    }
    if (playlistEvent_.empty() || status.revision != lastRevision_ || status.length != lastLength_) {
        playlistEvent_ = eventText("playlist", writePlaylistEventJson(status.revision, status.length));
        ++playlistSeq_;
        lastRevision_ = status.revision;
        lastLength_ = status.length;
        changed = true;
    }
    if (changed) {
        for (Subscription* subscription : listeners_) deliverLocked(*subscription);
    }
}

void EventHub::deliverLocked(Subscription& subscription) {
    std::unique_lock write(subscription.writeMutex_, std::try_to_lock);
    if (!write.owns_lock() || !subscription.started_ || !subscription.pending_.empty()) {
        // A write is under way, the head is not out yet, or earlier bytes
        // still wait: the stream's thread takes the events itself, in order.
        subscription.signal().signal();
        return;
    }
    std::string text = newEventsLocked(subscription);
    if (text.empty()) return;
    const long sent = subscription.socket_.sendNow(text.data(), text.size());
    if (sent == static_cast<long>(text.size())) return;
    subscription.pending_ = text.substr(sent > 0 ? static_cast<std::size_t>(sent) : 0);
    subscription.signal().signal();
}

bool EventHub::Subscription::start(const std::string& head) {
    std::lock_guard write(writeMutex_);
    const std::string text = head + hub_.takeNewEvents(*this);
    started_ = true;
    return socket_.sendAll(text.data(), text.size()) == text.size();
}

bool EventHub::Subscription::flush(const std::string& extra) {
    std::lock_guard write(writeMutex_);
    std::string text = std::move(pending_);
    pending_.clear();
    text += hub_.takeNewEvents(*this);
    text += extra;
    return text.empty() || socket_.sendAll(text.data(), text.size()) == text.size();
}

}  // namespace lyrebox

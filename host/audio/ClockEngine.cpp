#include "host/audio/ClockEngine.h"

#include <algorithm>

namespace lyrebox {

ClockEngine::ClockEngine(TagCache& tags) : ClockEngine(tags, Options{}) {}

ClockEngine::ClockEngine(TagCache& tags, Options options) : tags_(tags), options_(std::move(options)) {
    if (options_.tick.count() > 0)
        timer_ = platform::MessageLoop::current().addTimer(options_.tick, [this] { checkEnd(); });
}

ClockEngine::~ClockEngine() {
    if (timer_ >= 0)
        platform::MessageLoop::current().removeTimer(timer_);
}

bool ClockEngine::start(const std::string& location) {
    // Streams are not opened: they play with an unknown length.
    TrackTags info;
    if (isUrlLocation(location))
        info.readable = true;
    else
        info = tags_.lookup(location);
    if (options_.failUnreadable && !info.readable) {
        state_ = State::Stopped;
        return false;
    }
    lengthMs_ = info.lengthMs;
    offsetMs_ = 0;
    startedAt_ = options_.clock();
    state_ = State::Playing;
    return true;
}

void ClockEngine::pause() {
    if (state_ != State::Playing)
        return;
    offsetMs_ = positionMs();
    state_ = State::Paused;
}

void ClockEngine::resume() {
    if (state_ != State::Paused)
        return;
    startedAt_ = options_.clock();
    state_ = State::Playing;
}

void ClockEngine::stop() {
    state_ = State::Stopped;
    offsetMs_ = 0;
}

std::int64_t ClockEngine::positionMs() {
    switch (state_) {
    case State::Stopped:
        return 0;
    case State::Paused:
        return offsetMs_;
    case State::Playing:
        break;
    }
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(options_.clock() - startedAt_).count();
    const std::int64_t position = offsetMs_ + std::max<std::int64_t>(elapsed, 0);
    return lengthMs_ > 0 ? std::min(position, lengthMs_) : position;
}

std::int64_t ClockEngine::durationMs() { return state_ == State::Stopped ? 0 : lengthMs_; }

bool ClockEngine::seek(std::int64_t ms) {
    if (state_ == State::Stopped)
        return false;
    offsetMs_ = std::max<std::int64_t>(ms, 0);
    if (lengthMs_ > 0)
        offsetMs_ = std::min(offsetMs_, lengthMs_);
    startedAt_ = options_.clock();
    return true;
}

void ClockEngine::checkEnd() {
    if (state_ == State::Playing && lengthMs_ > 0 && positionMs() >= lengthMs_) {
        state_ = State::Stopped;
        notifyEnded();
    }
}

}  // namespace lyrebox

// A silent engine without GStreamer: the time within a track advances with a
// steady clock, track lengths come from the tag cache, and a loop timer
// notices the end of a track. Used by in-process tests of the player and
// the plugin.
//
// Thread contract: the creating thread's MessageLoop runs the end-of-track
// timer; every method runs on that thread.
#pragma once

#include "host/audio/AudioEngine.h"
#include "host/audio/TagCache.h"
#include "platform/MessageLoop.h"

#include <chrono>

namespace lyrebox {

class ClockEngine final : public AudioEngine {
public:
    using TimePoint = std::chrono::steady_clock::time_point;
    using Clock = std::function<TimePoint()>;

    struct Options {
        // Locations that do not exist (or TagLib cannot read) fail to start,
        // as with real audio. Off by default, so that tests may use made-up
        // names; such entries then play with an unknown length, forever.
        bool failUnreadable = false;
        // How often the loop timer looks for the end of the track; 0 installs
        // no timer (the owner calls checkEnd()).
        std::chrono::milliseconds tick{100};
        Clock clock = [] { return std::chrono::steady_clock::now(); };
    };

    explicit ClockEngine(TagCache& tags);
    ClockEngine(TagCache& tags, Options options);
    ~ClockEngine() override;
    ClockEngine(const ClockEngine&) = delete;
    ClockEngine& operator=(const ClockEngine&) = delete;

    bool start(const std::string& location) override;
    void pause() override;
    void resume() override;
    void stop() override;
    std::int64_t positionMs() override;
    std::int64_t durationMs() override;
    bool seek(std::int64_t ms) override;
    void setVolume(int level) override { volume_ = level; }
    int bitrateKbps() override { return 0; }
    std::string describe() const override { return "silent clock"; }

    // Reports trackEnded when the time has reached the track's length.
    void checkEnd();
    int volume() const { return volume_; }

private:
    enum class State { Stopped, Playing, Paused };

    TagCache& tags_;
    Options options_;
    platform::MessageLoop::TimerId timer_ = -1;
    State state_ = State::Stopped;
    std::int64_t lengthMs_ = 0;
    std::int64_t offsetMs_ = 0;   // position at startedAt_ (or the frozen one while paused)
    TimePoint startedAt_{};
    int volume_ = 255;
};

}  // namespace lyrebox

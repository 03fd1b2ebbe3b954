// The sound output behind the player: starts one location at a time, pauses,
// seeks and reports the time within the track.
//
// Thread contract: an engine belongs to the thread that created it, which must
// run a platform::MessageLoop (the engine watches its own event sources there).
// Every method and both callbacks run on that thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace lyrebox {

class AudioEngine {
public:
    struct Callbacks {
        std::function<void()> trackEnded;   // the track played to its end
        std::function<void()> trackFailed;  // the track could not be played (after start() succeeded)
    };

    virtual ~AudioEngine() = default;

    void setCallbacks(Callbacks callbacks) { callbacks_ = std::move(callbacks); }

    // Starts a local path or an http(s):// URL from its beginning. False when it
    // fails at once; trackFailed is not called for that failure.
    virtual bool start(const std::string& location) = 0;
    virtual void pause() = 0;
    virtual void resume() = 0;
    virtual void stop() = 0;

    // Time within the track in ms (0 when stopped).
    virtual std::int64_t positionMs() = 0;
    // Length of the track in ms, 0 when unknown.
    virtual std::int64_t durationMs() = 0;
    // Seeks within the started track; false when the engine cannot seek now.
    virtual bool seek(std::int64_t ms) = 0;
    // 0..255, mapped the way desktop mixers show it.
    virtual void setVolume(int level) = 0;
    // Bit rate the engine saw in the stream in kbit/s, 0 when unknown.
    virtual int bitrateKbps() = 0;
    // Short description for the user ("gstreamer/pulsesink", "silent clock").
    virtual std::string describe() const = 0;

protected:
    void notifyEnded() { if (callbacks_.trackEnded) callbacks_.trackEnded(); }
    void notifyFailed() { if (callbacks_.trackFailed) callbacks_.trackFailed(); }

private:
    Callbacks callbacks_;
};

// Locations that name a network stream rather than a local file.
bool isUrlLocation(const std::string& location);

}  // namespace lyrebox

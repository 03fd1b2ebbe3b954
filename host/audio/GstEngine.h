// Playback through GStreamer's playbin: local files and http:// streams,
// audio only, with software volume. The sink is chosen once: pulsesink, else
// alsasink, else a silent real-time fakesink (forced by LYREBOX_AUDIO=null),
// so a machine without a sound device still plays in real time.
//
// Thread contract: the creating thread's MessageLoop watches the pipeline's
// bus; every method and both callbacks run on that thread, so all pipeline
// state changes happen there.
#pragma once

#include "host/audio/AudioEngine.h"

#include <memory>

typedef struct _GstElement GstElement;
typedef struct _GstBus GstBus;
typedef struct _GstMessage GstMessage;

namespace lyrebox {

class GstEngine final : public AudioEngine {
public:
    // Null when GStreamer or playbin is missing.
    static std::unique_ptr<GstEngine> create();
    ~GstEngine() override;
    GstEngine(const GstEngine&) = delete;
    GstEngine& operator=(const GstEngine&) = delete;

    bool start(const std::string& location) override;
    void pause() override;
    void resume() override;
    void stop() override;
    std::int64_t positionMs() override;
    std::int64_t durationMs() override;
    bool seek(std::int64_t ms) override;
    void setVolume(int level) override;
    int bitrateKbps() override { return bitrateKbps_; }
    std::string describe() const override { return "gstreamer/" + sinkName_; }

    // playbin's linear volume for a level of 0..255 (clamped).
    static double linearVolume(int level);

    // Handles whatever the bus holds; the loop calls it when the bus fd is readable.
    void dispatchBus();

private:
    enum class State { Stopped, Playing, Paused };

    GstEngine(GstElement* playbin, std::string sinkName);
    void resetPipeline(bool afterError);
    void drainBus();
    // True when the message ended the track (the caller stops dispatching).
    bool handleMessage(GstMessage* message);
    bool fromSink(GstMessage* message);
    static bool isSeekRefused(GstMessage* message);
    // Starts the current URI again from its beginning; false when it fails at once.
    bool restartTrack();
    // Replaces a failed device sink by the silent one and restarts the track.
    bool fallBackToSilence();

    GstElement* playbin_ = nullptr;
    GstBus* bus_ = nullptr;
    int busFd_ = -1;
    std::string sinkName_;
    std::string uri_;
    State state_ = State::Stopped;
    bool prerolled_ = false;
    bool buffering_ = false;
    std::int64_t pendingSeekMs_ = -1;
    std::int64_t lastPositionMs_ = 0;
    std::int64_t durationMs_ = 0;
    int bitrateKbps_ = 0;
};

}  // namespace lyrebox

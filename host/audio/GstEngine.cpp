#include "host/audio/GstEngine.h"

#include "host/audio/GstSupport.h"
#include "platform/MessageLoop.h"

#include <gst/audio/streamvolume.h>
#include <gst/gst.h>

#include <cstdlib>
#include <cstring>

namespace lyrebox {

namespace {

constexpr guint kPlaybinAudio = 0x2;
constexpr guint kPlaybinSoftVolume = 0x10;
constexpr auto kSeekFlags = GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE);

// A device sink that can open now, or null; it is probed in READY and left in NULL.
GstElement* openableSink(const char* factory) {
    GstElement* sink = gst_element_factory_make(factory, nullptr);
    if (!sink)
        return nullptr;
    gst_object_ref_sink(sink);
    const bool usable = gst_element_set_state(sink, GST_STATE_READY) != GST_STATE_CHANGE_FAILURE;
    gst_element_set_state(sink, GST_STATE_NULL);
    if (!usable) {
        gst_object_unref(sink);
        return nullptr;
    }
    return sink;
}

// Returns a sink with a reference owned by the caller, and names it.
GstElement* chooseSink(std::string& name) {
    const char* forced = std::getenv("LYREBOX_AUDIO");
    const bool silent = forced && std::strcmp(forced, "null") == 0;
    if (!silent) {
        for (const char* factory : {"pulsesink", "alsasink"}) {
            if (GstElement* sink = openableSink(factory)) {
                name = factory;
                return sink;
            }
        }
    }
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (!sink)
        return nullptr;
    gst_object_ref_sink(sink);
    g_object_set(sink, "sync", TRUE, nullptr);  // silent, but in real time
    name = "fakesink";
    return sink;
}

std::int64_t toMs(gint64 ns) { return ns < 0 ? 0 : static_cast<std::int64_t>(ns / GST_MSECOND); }

}  // namespace

std::unique_ptr<GstEngine> GstEngine::create() {
    ensureGstInitialized();
    GstElement* playbin = gst_element_factory_make("playbin", "player");
    if (!playbin)
        return nullptr;
    gst_object_ref_sink(playbin);
    std::string sinkName;
    GstElement* sink = chooseSink(sinkName);
    if (!sink) {
        gst_object_unref(playbin);
        return nullptr;
    }
    g_object_set(playbin, "audio-sink", sink, "flags", kPlaybinAudio | kPlaybinSoftVolume, nullptr);
    gst_object_unref(sink);  // playbin holds it now
    return std::unique_ptr<GstEngine>(new GstEngine(playbin, std::move(sinkName)));
}

GstEngine::GstEngine(GstElement* playbin, std::string sinkName)
    : playbin_(playbin), bus_(gst_element_get_bus(playbin)), sinkName_(std::move(sinkName)) {
    GPollFD pollFd{};
    gst_bus_get_pollfd(bus_, &pollFd);
    busFd_ = pollFd.fd;
    platform::MessageLoop::current().addFd(busFd_, [this] { dispatchBus(); });
}

GstEngine::~GstEngine() {
    platform::MessageLoop::current().removeFd(busFd_);
    gst_element_set_state(playbin_, GST_STATE_NULL);
    drainBus();
    gst_object_unref(bus_);
    gst_object_unref(playbin_);
}

void GstEngine::drainBus() {
    while (GstMessage* message = gst_bus_pop(bus_))
        gst_message_unref(message);
}

void GstEngine::resetPipeline(bool afterError) {
    // After an error only NULL tears down the failed source; READY would let
    // it keep posting errors that then kill the next track.
    gst_element_set_state(playbin_, afterError ? GST_STATE_NULL : GST_STATE_READY);
    drainBus();
    state_ = State::Stopped;
    prerolled_ = false;
    buffering_ = false;
    pendingSeekMs_ = -1;
    lastPositionMs_ = 0;
    durationMs_ = 0;
    bitrateKbps_ = 0;
}

bool GstEngine::start(const std::string& location) {
    resetPipeline(false);
    uri_ = locationToUri(location);
    if (uri_.empty())
        return false;
    g_object_set(playbin_, "uri", uri_.c_str(), nullptr);
    if (gst_element_set_state(playbin_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        // A missing file fails here, synchronously, with its errors already on the bus.
        resetPipeline(true);
        return false;
    }
    state_ = State::Playing;
    return true;
}

void GstEngine::pause() {
    if (state_ != State::Playing)
        return;
    lastPositionMs_ = positionMs();
    gst_element_set_state(playbin_, GST_STATE_PAUSED);
    state_ = State::Paused;
}

void GstEngine::resume() {
    if (state_ != State::Paused)
        return;
    state_ = State::Playing;
    if (!buffering_)
        gst_element_set_state(playbin_, GST_STATE_PLAYING);
}

void GstEngine::stop() {
    // Also after an end of stream, which leaves the pipeline in PLAYING.
    resetPipeline(false);
}

std::int64_t GstEngine::positionMs() {
    if (state_ == State::Stopped)
        return 0;
    gint64 ns = 0;
    // The query fails before preroll and briefly after a seek: keep the last value.
    if (pendingSeekMs_ < 0 && gst_element_query_position(playbin_, GST_FORMAT_TIME, &ns))
        lastPositionMs_ = toMs(ns);
    return lastPositionMs_;
}

std::int64_t GstEngine::durationMs() {
    if (state_ == State::Stopped)
        return 0;
    gint64 ns = 0;
    if (durationMs_ <= 0 && gst_element_query_duration(playbin_, GST_FORMAT_TIME, &ns))
        durationMs_ = toMs(ns);
    return durationMs_;
}

bool GstEngine::seek(std::int64_t ms) {
    if (state_ == State::Stopped)
        return false;
    if (ms < 0)
        ms = 0;
    lastPositionMs_ = ms;
    if (!prerolled_ ||
        !gst_element_seek_simple(playbin_, GST_FORMAT_TIME, kSeekFlags, static_cast<gint64>(ms) * GST_MSECOND))
        pendingSeekMs_ = ms;  // applied once the pipeline has prerolled
    else
        pendingSeekMs_ = -1;
    return true;
}

double GstEngine::linearVolume(int level) {
    if (level < 0) level = 0;
    if (level > 255) level = 255;
    // Cubic, as desktop mixers show a volume: 128 of 255 is "50 %".
    return gst_stream_volume_convert_volume(GST_STREAM_VOLUME_FORMAT_CUBIC, GST_STREAM_VOLUME_FORMAT_LINEAR,
                                            level / 255.0);
}

void GstEngine::setVolume(int level) { g_object_set(playbin_, "volume", linearVolume(level), nullptr); }

bool GstEngine::fromSink(GstMessage* message) {
    GstElement* sink = nullptr;
    g_object_get(playbin_, "audio-sink", &sink, nullptr);
    if (!sink)
        return false;
    GstObject* source = GST_MESSAGE_SRC(message);
    const bool inSink = source == GST_OBJECT(sink) || gst_object_has_as_ancestor(source, GST_OBJECT(sink));
    gst_object_unref(sink);
    return inSink;
}

bool GstEngine::isSeekRefused(GstMessage* message) {
    GError* error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const bool refused = error && error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_SEEK;
    if (error)
        g_error_free(error);
    return refused;
}

bool GstEngine::restartTrack() {
    // A server without ranges refuses seeks although the stream claimed to
    // be seekable; the track starts over instead of being given up.
    resetPipeline(true);
    g_object_set(playbin_, "uri", uri_.c_str(), nullptr);
    if (gst_element_set_state(playbin_, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        resetPipeline(true);
        return false;
    }
    state_ = State::Playing;
    return true;
}

bool GstEngine::fallBackToSilence() {
    // The sound device went away (a sound server ended): go on silently
    // rather than failing every track from now on.
    resetPipeline(true);
    GstElement* sink = gst_element_factory_make("fakesink", nullptr);
    if (!sink)
        return false;
    g_object_set(sink, "sync", TRUE, nullptr);
    g_object_set(playbin_, "audio-sink", sink, nullptr);
    sinkName_ = "fakesink";
    return restartTrack();
}

void GstEngine::dispatchBus() {
    while (GstMessage* message = gst_bus_pop(bus_)) {
        const GstMessageType type = GST_MESSAGE_TYPE(message);
        const bool ended = handleMessage(message);
        gst_message_unref(message);
        if (ended) {
            // The player starts the next track from here; what is left on the
            // bus belongs to it and is read on the next wake-up.
            if (type == GST_MESSAGE_EOS)
                notifyEnded();
            else
                notifyFailed();
            return;
        }
    }
}

bool GstEngine::handleMessage(GstMessage* message) {
    const bool fromPipeline = GST_MESSAGE_SRC(message) == GST_OBJECT(playbin_);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_EOS:
        if (state_ == State::Stopped)
            return false;
        state_ = State::Stopped;
        return true;
    case GST_MESSAGE_ERROR:
        if (state_ == State::Stopped)
            return false;  // left over from a track already given up
        if (sinkName_ != "fakesink" && fromSink(message))
            return !fallBackToSilence();
        if (isSeekRefused(message))
            return !restartTrack();
        // One failure posts several errors; the reset drains the rest.
        resetPipeline(true);
        return true;
    case GST_MESSAGE_ASYNC_DONE:
        if (fromPipeline) {
            prerolled_ = true;
            if (pendingSeekMs_ >= 0) {
                gst_element_seek_simple(playbin_, GST_FORMAT_TIME, kSeekFlags,
                                        static_cast<gint64>(pendingSeekMs_) * GST_MSECOND);
                pendingSeekMs_ = -1;
            }
        }
        return false;
    case GST_MESSAGE_DURATION_CHANGED:
        durationMs_ = 0;  // estimated first for mp3; asked again on the next poll
        return false;
    case GST_MESSAGE_TAG: {
        GstTagList* tags = nullptr;
        gst_message_parse_tag(message, &tags);
        guint bitrate = 0;
        if (tags && ((gst_tag_list_get_uint(tags, GST_TAG_BITRATE, &bitrate) && bitrate > 0) ||
                     gst_tag_list_get_uint(tags, GST_TAG_NOMINAL_BITRATE, &bitrate)) && bitrate > 0)
            bitrateKbps_ = static_cast<int>((bitrate + 500) / 1000);
        if (tags)
            gst_tag_list_unref(tags);
        return false;
    }
    case GST_MESSAGE_BUFFERING: {
        gint percent = 100;
        gst_message_parse_buffering(message, &percent);
        // Tracked while paused too, so that resume() knows whether it may play.
        const bool wasBuffering = buffering_;
        buffering_ = percent < 100;
        if (state_ == State::Playing && buffering_ != wasBuffering)
            gst_element_set_state(playbin_, buffering_ ? GST_STATE_PAUSED : GST_STATE_PLAYING);
        return false;
    }
    default:
        return false;
    }
}

}  // namespace lyrebox

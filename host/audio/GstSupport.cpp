#include "host/audio/GstSupport.h"

#include "host/audio/AudioEngine.h"

#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>

#include <mutex>

namespace lyrebox {

namespace {

constexpr GstClockTime kDiscoverTimeout = 5 * GST_SECOND;

std::string tagString(const GstTagList* list, const char* tag) {
    gchar* value = nullptr;
    if (!list || !gst_tag_list_get_string(list, tag, &value) || !value)
        return {};
    std::string text(value);
    g_free(value);
    return text;
}

}  // namespace

void ensureGstInitialized() {
    static std::once_flag once;
    std::call_once(once, [] {
        gst_init(nullptr, nullptr);
        // All mp3 decoders share the lowest rank and decodebin takes them by
        // name, which picks libav's and loads all of it for every mp3.
        if (GstPluginFeature* feature = gst_registry_lookup_feature(gst_registry_get(), "mpg123audiodec")) {
            gst_plugin_feature_set_rank(feature, GST_RANK_PRIMARY + 1);
            gst_object_unref(feature);
        }
    });
}

std::string locationToUri(const std::string& location) {
    if (isUrlLocation(location))
        return location;
    GError* error = nullptr;
    gchar* uri = gst_filename_to_uri(location.c_str(), &error);
    if (error)
        g_error_free(error);
    if (!uri)
        return {};
    std::string text(uri);
    g_free(uri);
    return text;
}

TrackTags discoverTags(const std::string& location) {
    TrackTags tags;
    ensureGstInitialized();
    const std::string uri = locationToUri(location);
    if (uri.empty())
        return tags;
    GError* error = nullptr;
    GstDiscoverer* discoverer = gst_discoverer_new(kDiscoverTimeout, &error);
    if (!discoverer) {
        if (error)
            g_error_free(error);
        return tags;
    }
    GstDiscovererInfo* info = gst_discoverer_discover_uri(discoverer, uri.c_str(), &error);
    if (error)
        g_error_free(error);
    if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK) {
        tags.readable = true;
        tags.lengthMs = static_cast<std::int64_t>(gst_discoverer_info_get_duration(info) / GST_MSECOND);
        const GstTagList* list = gst_discoverer_info_get_tags(info);
        tags.title = tagString(list, GST_TAG_TITLE);
        tags.artist = tagString(list, GST_TAG_ARTIST);
        tags.album = tagString(list, GST_TAG_ALBUM);
        tags.genre = tagString(list, GST_TAG_GENRE);
        tags.comment = tagString(list, GST_TAG_COMMENT);
        guint bitrate = 0;
        if (list && (gst_tag_list_get_uint(list, GST_TAG_BITRATE, &bitrate) ||
                     gst_tag_list_get_uint(list, GST_TAG_NOMINAL_BITRATE, &bitrate)))
            tags.bitrateKbps = static_cast<int>(bitrate / 1000);
    }
    if (info)
        g_object_unref(info);
    g_object_unref(discoverer);
    return tags;
}

}  // namespace lyrebox

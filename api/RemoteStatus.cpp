#include "api/RemoteStatus.h"

#include "api/JsonText.h"
#include "api/PlaylistRevision.h"
#include "api/TrackListCache.h"
#include "api/RemoteLimits.h"

#include <cstdlib>

namespace lyrebox {

RemoteStatus readRemoteStatus(PlayerGateway& gateway, PlaylistRevision& revision) {
    RemoteStatus status;
    ConsoleStatus& console = status.console;
    gateway.runBatch([&] {
        status.index = gateway.getPlaylistPosition();
        console.track.fileName = gateway.getFileName(status.index);
        gateway.getTrackInfo(console.track);
        if (console.track.title.empty()) console.track.title = gateway.getTitle(status.index);
        console.volume = gateway.getVolume();
        console.shuffle = gateway.getShuffle();
        console.repeat = gateway.getRepeat();
        console.position = gateway.getPositionFraction();
        status.elapsedMs = gateway.getPositionMs();
        status.state = gateway.getPlayState();
        status.length = gateway.playlistLength();
        status.revision = revision.observe(gateway);
    });
    return status;
}

RemotePlaylist readRemotePlaylist(PlayerGateway& gateway, PlaylistRevision& revision, TrackListCache& tracks) {
    RemotePlaylist playlist;
    gateway.runBatch([&] {
        playlist.revision = revision.observe(gateway);
        playlist.playing = gateway.getPlaylistPosition();
        playlist.entries = *tracks.read(gateway, playlist.revision, gateway.playlistLength());
    });
    return playlist;
}

const char* playStateName(PlayerGateway::PlayState state) {
    switch (state) {
    case PlayerGateway::PlayState::Playing: return "playing";
    case PlayerGateway::PlayState::Paused: return "paused";
    case PlayerGateway::PlayState::Stopped: break;
    }
    return "stopped";
}

std::string writeStatusJson(const RemoteStatus& status) {
    const TrackInfo& track = status.console.track;
    std::string out;
    out.reserve(384 + 2 * track.fileName.size() + track.title.size() + track.artist.size() + track.album.size());
    out += '{';
    appendJsonKey(out, "state", true);
    appendJsonString(out, playStateName(status.state));
    appendJsonKey(out, "index");
    out += std::to_string(status.index);
    appendJsonKey(out, "length");
    out += std::to_string(status.length);
    appendJsonKey(out, "volume");
    out += std::to_string(status.console.volume);
    appendJsonKey(out, "shuffle");
    appendJsonBool(out, status.console.shuffle);
    appendJsonKey(out, "repeat");
    appendJsonBool(out, status.console.repeat);
    appendJsonKey(out, "title");
    appendJsonString(out, track.title);
    appendJsonKey(out, "artist");
    appendJsonString(out, track.artist);
    appendJsonKey(out, "album");
    appendJsonString(out, track.album);
    appendJsonKey(out, "filename");
    appendJsonString(out, track.fileName);
    appendJsonKey(out, "path");
    appendJsonPath(out, track.fileName);
    appendJsonKey(out, "tracklength");
    appendJsonString(out, track.length);
    appendJsonKey(out, "lengthms");
    out += std::to_string(track.lengthMs);
    appendJsonKey(out, "bitrate");
    out += std::to_string(track.bitrate);
    appendJsonKey(out, "position");
    appendJsonFraction(out, status.console.position);
    appendJsonKey(out, "elapsedms");
    out += std::to_string(status.elapsedMs);
    out += '}';
    return out;
}

std::string writePlaylistJson(const RemotePlaylist& playlist) {
    std::string out;
    std::size_t size = 96;
    for (const PlaylistEntry& entry : playlist.entries) size += 64 + entry.title.size() + 4 * entry.fileName.size();
    out.reserve(size);
    out += '{';
    appendJsonKey(out, "revision", true);
    out += std::to_string(playlist.revision);
    appendJsonKey(out, "playing");
    out += std::to_string(playlist.playing);
    appendJsonKey(out, "length");
    out += std::to_string(playlist.entries.size());
    appendJsonKey(out, "entries");
    out += '[';
    for (std::size_t i = 0; i < playlist.entries.size(); ++i) {
        const PlaylistEntry& entry = playlist.entries[i];
        if (i > 0) out += ',';
        out += '{';
        appendJsonKey(out, "index", true);
        out += std::to_string(i);
        appendJsonKey(out, "title");
        appendJsonString(out, entry.title);
        appendJsonKey(out, "filename");
        appendJsonString(out, entry.fileName);
        appendJsonKey(out, "path");
        appendJsonPath(out, entry.fileName);
        out += '}';
    }
    out += "]}";
    return out;
}

std::string writePlaylistEventJson(std::uint64_t revision, int length) {
    return "{\"revision\":" + std::to_string(revision) + ",\"length\":" + std::to_string(length) + "}";
}

bool statusChanged(const RemoteStatus& sent, const RemoteStatus& now, std::int64_t sinceSentMs) {
    const ConsoleStatus& a = sent.console;
    const ConsoleStatus& b = now.console;
    if (sent.state != now.state || sent.index != now.index || sent.length != now.length ||
        a.volume != b.volume || a.shuffle != b.shuffle || a.repeat != b.repeat) {
        return true;
    }
    // The bit rate is left out: with variable-rate files it moves all the time.
    const TrackInfo& s = a.track;
    const TrackInfo& t = b.track;
    if (s.fileName != t.fileName || s.title != t.title || s.artist != t.artist || s.album != t.album ||
        s.length != t.length || s.lengthMs != t.lengthMs) {
        return true;
    }
    const std::int64_t expected =
        sent.elapsedMs + (now.state == PlayerGateway::PlayState::Playing ? sinceSentMs : 0);
    return std::llabs(static_cast<long long>(now.elapsedMs - expected)) > remote::kSeekToleranceMs;
}

}  // namespace lyrebox

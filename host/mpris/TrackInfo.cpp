#include "host/mpris/TrackInfo.h"

#include "host/audio/AudioEngine.h"
#include "host/player/Player.h"

#include <sys/stat.h>

namespace lyrebox {

namespace {

// The names a folder's album picture usually has, most common first.
constexpr const char* kCoverNames[] = {"cover.jpg", "folder.jpg", "cover.png", "folder.png", "front.jpg",
                                       "Cover.jpg", "Folder.jpg", "AlbumArt.jpg", "albumart.jpg"};

bool isFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace

bool PlayerView::sameMetadata(const PlayerView& other) const {
    return trackId == other.trackId && title == other.title && artist == other.artist && album == other.album &&
           url == other.url && artUrl == other.artUrl && lengthUs == other.lengthUs;
}

std::string trackIdFor(int index) { return "/org/lyrebox/Player/Track/" + std::to_string(index); }

std::string locationUri(const std::string& location) {
    if (isUrlLocation(location)) return location;
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out = "file://";
    for (unsigned char c : location) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           c == '/' || c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::string folderCoverUri(const std::string& location) {
    if (location.empty() || isUrlLocation(location)) return {};
    const auto slash = location.rfind('/');
    if (slash == std::string::npos) return {};
    const std::string folder = location.substr(0, slash + 1);
    for (const char* name : kCoverNames)
        if (isFile(folder + name)) return locationUri(folder + name);
    return {};
}

PlayerView viewPlayer(Player& player) {
    PlayerView view;
    switch (player.state()) {
        case PlayState::Playing: view.status = "Playing"; break;
        case PlayState::Paused: view.status = "Paused"; break;
        default: view.status = "Stopped"; break;
    }
    view.loop = player.repeat() ? "Playlist" : "None";
    view.shuffle = player.shuffle();
    view.volume = player.volume() / 255.0;
    const PlayList& list = player.playList();
    const int count = static_cast<int>(list.size());
    const PlayListItem* item = list.at(static_cast<std::size_t>(player.current()));
    if (!item) return view;
    view.hasTrack = true;
    view.canGoNext = count > 1 && (player.shuffle() || player.repeat() || player.current() + 1 < count);
    view.canGoPrevious = count > 1 && (player.shuffle() || player.repeat() || player.current() > 0);
    view.trackId = trackIdFor(player.current());
    view.url = locationUri(item->fileName);
    view.artUrl = folderCoverUri(item->fileName);
    view.lengthUs = player.lengthMs() * 1000;
    if (!isUrlLocation(item->fileName)) {
        bool readable = false;
        view.title = player.extendedInfo(item->fileName, "title", readable);
        view.artist = player.extendedInfo(item->fileName, "artist", readable);
        view.album = player.extendedInfo(item->fileName, "album", readable);
    }
    // Without tags, the play list's title names the track.
    if (view.title.empty()) view.title = item->title;
    return view;
}

}  // namespace lyrebox

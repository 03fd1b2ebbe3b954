#include "api/PlayerText.h"
#include "api/StatusDocuments.h"

#include <charconv>
#include <string_view>

namespace lyrebox {

namespace {

// Both documents are UTF-8: the player's texts are the system's, and that is UTF-8.
constexpr std::string_view kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n";

template <typename Number>
void appendNumber(std::string& out, Number value) {
    char buffer[24];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    out.append(buffer, static_cast<std::size_t>(end - buffer));
}

void appendCdataElement(std::string& out, std::string_view open, std::string_view text, std::string_view close) {
    out += open;
    appendCdataText(out, text);
    out += close;
}

}  // namespace

ConsoleStatus readConsoleStatus(PlayerGateway& gateway) {
    ConsoleStatus status;
    gateway.runBatch([&] {
        const int position = gateway.getPlaylistPosition();
        status.track.fileName = gateway.getFileName(position);
        gateway.getTrackInfo(status.track);
        if (status.track.title.empty()) {
            // The position is asked afresh: the track may have changed meanwhile.
            status.track.title = gateway.getTitle(gateway.getPlaylistPosition());
        }
        status.volume = gateway.getVolume();
        status.shuffle = gateway.getShuffle();
        status.repeat = gateway.getRepeat();
        status.position = gateway.getPositionFraction();
    });
    return status;
}

std::string writeConsoleStatus(const ConsoleStatus& status) {
    const TrackInfo& track = status.track;
    std::string out;
    out.reserve(512 + track.album.size() + track.artist.size() + track.title.size() + track.fileName.size());
    out += kDeclaration;
    out += "<console><volume>";
    appendNumber(out, status.volume);
    out += "</volume><shuffle>";
    out += status.shuffle ? '1' : '0';
    out += "</shuffle><repeat>";
    out += status.repeat ? '1' : '0';
    out += "</repeat>";
    appendCdataElement(out, "<album><![CDATA[", track.album, "]]></album>");
    appendCdataElement(out, "<artist><![CDATA[", track.artist, "]]></artist>");
    appendCdataElement(out, "<title><![CDATA[", track.title, "]]></title>");
    appendCdataElement(out, "<filename><![CDATA[", track.fileName, "]]></filename>");
    appendCdataElement(out, "<length><![CDATA[", track.length, "]]></length>");
    out += "<lengthms>";
    appendNumber(out, track.lengthMs);
    out += "</lengthms><bitrate><![CDATA[";
    appendNumber(out, track.bitrate);
    out += "]]></bitrate><position>";
    out += formatPositionFraction(status.position);
    out += "</position></console>";
    return out;
}

std::string writePlaylistDocument(int playing, bool dirty, const std::vector<PlaylistEntry>& tracks) {
    std::string out;
    std::size_t size = 128;
    for (const PlaylistEntry& entry : tracks) size += 112 + entry.title.size() + entry.fileName.size();  // the fixed text is 95 bytes and the index
    out.reserve(size);
    out += kDeclaration;
    out += "<playlist playing=\"";
    appendNumber(out, playing);
    out += "\" dirty=\"";
    out += dirty ? '1' : '0';
    out += "\">\n";
    for (std::size_t i = 0; i < tracks.size(); ++i) {
        out += "<track>\n<index>";
        appendNumber(out, i);
        out += "</index>\n";
        appendCdataElement(out, "<title><![CDATA[", tracks[i].title, "]]></title>\n");
        appendCdataElement(out, "<filename><![CDATA[", tracks[i].fileName, "]]></filename>\n");
        out += "</track>\n";
    }
    out += "</playlist>\n";
    return out;
}

}  // namespace lyrebox

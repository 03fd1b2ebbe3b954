#include "TestMedia.h"

#include "host/audio/GstSupport.h"

#include <gst/gst.h>
#include <taglib/fileref.h>
#include <taglib/infotag.h>
#include <taglib/tag.h>
#include <taglib/wavfile.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <vector>

namespace lyrebox::test {

namespace {

void put32(std::ofstream& out, std::uint32_t v) {
    const char bytes[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char((v >> 24) & 0xFF)};
    out.write(bytes, 4);
}
void put16(std::ofstream& out, std::uint16_t v) {
    const char bytes[2] = {char(v & 0xFF), char((v >> 8) & 0xFF)};
    out.write(bytes, 2);
}

}  // namespace

void writeSilentWav(const std::string& path, int lengthMs) {
    const std::uint32_t rate = 8000;
    const std::uint32_t dataSize = rate * static_cast<std::uint32_t>(lengthMs) / 1000;
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    put32(out, 36 + dataSize);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);      // PCM
    put16(out, 1);      // mono
    put32(out, rate);
    put32(out, rate);   // bytes per second
    put16(out, 1);      // block align
    put16(out, 8);      // bits per sample
    out.write("data", 4);
    put32(out, dataSize);
    const std::vector<char> silence(dataSize, char(0x80));
    out.write(silence.data(), static_cast<std::streamsize>(silence.size()));
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

bool tagFile(const std::string& path, const std::string& title, const std::string& artist,
             const std::string& album) {
    TagLib::FileRef file(path.c_str());
    if (file.isNull() || !file.tag())
        return false;
    auto text = [](const std::string& s) { return TagLib::String(s, TagLib::String::UTF8); };
    file.tag()->setTitle(text(title));
    file.tag()->setArtist(text(artist));
    file.tag()->setAlbum(text(album));
    // GStreamer and most writers use the INFO chunk of a WAV file, FileRef the ID3v2 one.
    if (auto* wav = dynamic_cast<TagLib::RIFF::WAV::File*>(file.file())) {
        wav->InfoTag()->setTitle(text(title));
        wav->InfoTag()->setArtist(text(artist));
        wav->InfoTag()->setAlbum(text(album));
    }
    return file.save();
}

bool encodeClip(const std::string& path, const std::string& type, int tenthsOfSecond) {
    static const std::map<std::string, std::string> kEncoders = {
        {"mp3", "lamemp3enc target=bitrate bitrate=128 cbr=true ! id3v2mux"},
        {"ogg", "vorbisenc ! oggmux"},
        {"flac", "flacenc"},
        {"wav", "wavenc"},
    };
    const auto encoder = kEncoders.find(type);
    if (encoder == kEncoders.end())
        return false;
    ensureGstInitialized();
    const std::string description = "audiotestsrc num-buffers=" + std::to_string(tenthsOfSecond) +
                                    " samplesperbuffer=4410 ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! " +
                                    encoder->second + " ! filesink location=\"" + path + "\"";
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (error) {
        // A pipeline that did not parse cleanly may never reach its end.
        g_error_free(error);
        if (pipeline)
            gst_object_unref(pipeline);
        return false;
    }
    if (!pipeline)
        return false;
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message =
        gst_bus_timed_pop_filtered(bus, 20 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (message)
        gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

}  // namespace lyrebox::test

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <algorithm>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace lyrebox::test {

TinyFileServer::TinyFileServer(std::string file, bool ranges) : ranges_(ranges) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    body_ = bytes.str();
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_, 16) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("cannot listen on loopback");
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { serve(); });
}

TinyFileServer::~TinyFileServer() {
    stopping_ = true;
    ::shutdown(listener_, SHUT_RDWR);
    thread_.join();
    ::close(listener_);
}

void TinyFileServer::serve() {
    while (!stopping_) {
        pollfd ready{listener_, POLLIN, 0};
        if (::poll(&ready, 1, 100) <= 0)
            continue;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        std::string head;
        char buffer[4096];
        while (head.find("\r\n\r\n") == std::string::npos) {
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0)
                break;
            head.append(buffer, static_cast<std::size_t>(n));
        }
        ++requests_;
        // Open-ended ranges ("bytes=N-") are what GStreamer's http source asks for.
        std::size_t first = 0;
        const std::size_t range = ranges_ ? head.find("Range: bytes=") : std::string::npos;
        if (range != std::string::npos)
            first = std::min<std::size_t>(std::strtoul(head.c_str() + range + 13, nullptr, 10), body_.size());
        const std::string status = range == std::string::npos
                                       ? "200 OK\r\n"
                                       : "206 Partial Content\r\nContent-Range: bytes " + std::to_string(first) + "-" +
                                             std::to_string(body_.size() - 1) + "/" + std::to_string(body_.size()) +
                                             "\r\n";
        const std::string answer = "HTTP/1.1 " + status +
                                   (ranges_ ? "Accept-Ranges: bytes\r\n" : "") + "Content-Type: audio/mpeg\r\nContent-Length: " +
                                   std::to_string(body_.size() - first) + "\r\nConnection: close\r\n\r\n" +
                                   body_.substr(first);
        std::size_t sent = 0;
        while (sent < answer.size()) {
            const ssize_t n = ::send(client, answer.data() + sent, answer.size() - sent, MSG_NOSIGNAL);
            if (n <= 0)
                break;
            sent += static_cast<std::size_t>(n);
        }
        ::close(client);
    }
}

}  // namespace lyrebox::test

// Media files for the host's tests, made in a private temporary folder.
#pragma once

#include "tests/support/TempDir.h"

#include <string>

namespace lyrebox::test {

// A silent 8 kHz mono 8-bit WAV of the given length, written by hand (no GStreamer).
void writeSilentWav(const std::string& path, int lengthMs);
void writeText(const std::string& path, const std::string& text);

// Title, artist and album through TagLib; for WAV both the ID3v2 and the INFO chunk.
bool tagFile(const std::string& path, const std::string& title, const std::string& artist,
             const std::string& album);

// A stereo sine clip encoded by GStreamer; type is "mp3", "ogg", "flac" or "wav".
bool encodeClip(const std::string& path, const std::string& type, int tenthsOfSecond);

}  // namespace lyrebox::test

#include <atomic>
#include <thread>

namespace lyrebox::test {

// Serves one file to every GET on 127.0.0.1 at a free port, one connection
// at a time, each closed after its answer; "bytes=N-" ranges are served.
class TinyFileServer {
public:
    explicit TinyFileServer(std::string file, bool ranges = true);
    ~TinyFileServer();
    TinyFileServer(const TinyFileServer&) = delete;
    TinyFileServer& operator=(const TinyFileServer&) = delete;
    int port() const { return port_; }
    int requests() const { return requests_; }

private:
    void serve();

    std::string body_;
    bool ranges_ = true;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<int> requests_{0};
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace lyrebox::test

// Starts build/lyrebox-player headless on a generated 192 kbit/s mp3 (pink
// noise, which costs the decoder more than a sine) with the silent sink, and
// reports its CPU (utime + stime from /proc/PID/stat) over a window of
// seconds after a short settling time.
//
// usage: host_cpu_bench [SECONDS=20] [-- extra player arguments]
#include "host/audio/GstSupport.h"

#include <gst/gst.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

bool makeMp3(const std::string& path, int seconds) {
    lyrebox::ensureGstInitialized();
    const std::string description = "audiotestsrc wave=pink-noise num-buffers=" + std::to_string(seconds * 10) +
                                    " samplesperbuffer=4410 ! audio/x-raw,rate=44100,channels=2 ! audioconvert ! "
                                    "lamemp3enc target=bitrate bitrate=192 cbr=true ! id3v2mux ! filesink location=\"" +
                                    path + "\"";
    GError* error = nullptr;
    GstElement* pipeline = gst_parse_launch(description.c_str(), &error);
    if (error) {
        // A pipeline that did not parse cleanly may never reach its end.
        g_error_free(error);
        if (pipeline) gst_object_unref(pipeline);
        return false;
    }
    if (!pipeline) return false;
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus* bus = gst_element_get_bus(pipeline);
    GstMessage* message =
        gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = message && GST_MESSAGE_TYPE(message) == GST_MESSAGE_EOS;
    if (message) gst_message_unref(message);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

// utime + stime in clock ticks; -1 when the process is gone.
long cpuTicks(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) return -1;
    std::istringstream fields(line.substr(line.rfind(')') + 2));
    std::string field;
    long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stol(field);
        if (i == 15) stime = std::stol(field);
    }
    return utime + stime;
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = argc > 1 ? std::atoi(argv[1]) : 20;
    if (seconds <= 0) seconds = 20;
    std::vector<std::string> extra;
    for (int i = 2; i < argc; ++i)
        if (std::string(argv[i]) != "--") extra.push_back(argv[i]);

    char folder[] = "/tmp/lyrebox-cpu-XXXXXX";
    if (!::mkdtemp(folder)) return 1;
    const std::string track = std::string(folder) + "/pink.mp3";
    if (!makeMp3(track, seconds + 10)) {
        std::fprintf(stderr, "could not encode the test track\n");
        return 1;
    }

    ::setenv("LYREBOX_AUDIO", "null", 1);
    // The run's own saved play list, never the user's.
    const std::string state = std::filesystem::temp_directory_path() / ("lyrebox-bench-state-" + std::to_string(::getpid()));
    ::setenv("XDG_STATE_HOME", state.c_str(), 1);
    const std::string player = std::string(LYREBOX_BUILD_DIR) + "/lyrebox-player";
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<const char*> args = {player.c_str(), "--headless"};
        for (const auto& a : extra) args.push_back(a.c_str());
        args.push_back(track.c_str());
        args.push_back(nullptr);
        ::execv(player.c_str(), const_cast<char* const*>(args.data()));
        ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));  // start-up is not what we measure
    const long hz = ::sysconf(_SC_CLK_TCK);
    const long before = cpuTicks(pid);
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long after = cpuTicks(pid);
    // GStreamer's streaming threads exist only while something plays.
    long threads = 0;
    {
        std::ifstream status("/proc/" + std::to_string(pid) + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("Threads:", 0) == 0) threads = std::stol(line.substr(8));
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::unlink(track.c_str());
    ::rmdir(folder);
    if (before < 0 || after < 0) {
        std::fprintf(stderr, "the player ended early\n");
        return 1;
    }
    const double percent = 100.0 * static_cast<double>(after - before) / static_cast<double>(hz) / wall;
    std::printf("host CPU while playing silently, no clients: %.2f%% of one core over %.1f s (target < 3%%)\n",
                percent, wall);
    std::printf("player threads while playing: %ld\n", threads);
    std::printf("player exit status after SIGTERM: %d\n", WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return 0;
}

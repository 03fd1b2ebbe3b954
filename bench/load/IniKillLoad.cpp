// The settings file against kill -9 at any moment of a save: a child saves
// two different sets of settings in turns; it is killed at random moments;
// each time the file must load as one set or the other, never a mix or garbage.
#include "bench/load/LoadServer.h"
#include "tests/support/TempDir.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <thread>

namespace lyrebox::load {
namespace {

void apply(Settings& s, bool second) {
    s.setAutoStart(!second);
    s.setListenIP(second ? 0x0A010203u : 0);
    s.setListenPort(second ? 6262 : 5151);
    s.setTimeout(second ? 30 : 900);
    s.setRequirePassword(second);
    s.setUsername(second ? "user" : "");
    s.setPassword(second ? "secret" : "");
    s.setFilterIPs(second);
    s.setAllowedIPs(second ? "10.0.0.*" : "127.0.0.1\r\n192.168.0.*");
    s.setBlockedIPs(second ? "1.2.3.4\r\n5.6.7.8" : "");
    s.setEnableML(!second);
    s.setSharedDirs(second ? std::vector<std::string>{"/other"} : std::vector<std::string>{"/music/a", "/music/b"});
}

bool same(const Settings& a, const Settings& b) {
    return a.autoStart() == b.autoStart() && a.listenIP() == b.listenIP() && a.listenPort() == b.listenPort() &&
           a.timeout() == b.timeout() && a.requirePassword() == b.requirePassword() &&
           a.username() == b.username() && a.password() == b.password() && a.filterIPs() == b.filterIPs() &&
           a.allowedIPs() == b.allowedIPs() && a.blockedIPs() == b.blockedIPs() && a.enableML() == b.enableML() &&
           *a.sharedDirs().snapshot() == *b.sharedDirs().snapshot();
}

}  // namespace

int runIniKill(double seconds) {
    test::TempDir dir;
    const std::string path = dir.file("gen_lyrebox.ini");
    Settings first(dir.file("first.ini")), second(dir.file("second.ini"));
    apply(first, false);
    apply(second, true);
    {
        Settings initial(path);
        apply(initial, false);
        initial.save();
    }
    // How long one save takes, so the kills land across whole saves.
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < 10; ++i) first.save();
    const long saveMicros = std::max<long>(
        50, std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count() / 10);

    std::mt19937 random(7);
    long kills = 0, old = 0, fresh = 0, garbage = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        const pid_t child = ::fork();
        if (child < 0) return 1;
        if (child == 0) {
            Settings s(path);
            for (bool next = true;; next = !next) {
                apply(s, next);
                s.save();
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(random() % (saveMicros * 6 + 1000)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ++kills;
        Settings loaded(path);
        if (same(loaded, first)) ++old;
        else if (same(loaded, second)) ++fresh;
        else ++garbage;
    }
    long leftovers = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
        leftovers += entry.path().filename().string().rfind("gen_lyrebox.ini.", 0) == 0;
    std::printf("ini-kill: one save %ld us; %ld kills: %ld first set, %ld second set, %ld neither; "
                "%ld temporary files left by killed saves\n",
                saveMicros, kills, old, fresh, garbage, leftovers);
    return garbage == 0 && kills > 0 ? 0 : 1;
}

}  // namespace lyrebox::load

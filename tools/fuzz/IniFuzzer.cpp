// The INI file as the plugin finds it beside itself: arbitrary bytes written
// to a file in a private temporary directory, then read with the profile
// functions and loaded as Settings. Invariants: a value written is the value
// read back, a write leaves the other keys as they were, the loaded settings
// respect their limits, and settings saved and loaded again are the same.
#include "config/Settings.h"
#include "platform/Profile.h"

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// A private directory for the one INI file, on tmpfs where there is one:
// saves fsync the file, which would slow every run. Removed at exit.
class TempIni {
public:
    TempIni() {
        dir_ = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        dir_ += "/lyrebox-fuzz-ini.XXXXXX";
        if (::mkdtemp(dir_.data()) == nullptr) std::abort();
        path_ = dir_ + "/gen_lyrebox.ini";
    }
    ~TempIni() {
        ::unlink(path_.c_str());
        ::rmdir(dir_.c_str());
    }
    TempIni(const TempIni&) = delete;
    TempIni& operator=(const TempIni&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string dir_;
    std::string path_;
};

void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    if (!out) std::abort();
}

// As the profile functions trim a value: blanks before, blanks and CR after.
std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::string();
    const auto last = text.find_last_not_of(" \t\r");
    if (last == std::string::npos || last < first) return std::string();
    return text.substr(first, last - first + 1);
}

constexpr const char* kSection = lyrebox::Settings::kSection;

void checkProfile(const std::string& path) {
    // The buffer form is always terminated and never overruns.
    char small[8];
    std::memset(small, 'x', sizeof small);
    const auto copied = platform::getPrivateProfileString(kSection, "username", "default", small, sizeof small, path);
    if (copied >= sizeof small || small[copied] != '\0') std::abort();
    (void)platform::getPrivateProfileInt(kSection, "listenPort", 5151, path);

    const std::string otherKey = platform::getPrivateProfileString(kSection, "password", "<none>", 4096, path);
    const std::string otherSection = platform::getPrivateProfileString("other", "listenPort", "<none>", 4096, path);
    if (!platform::writePrivateProfileString(kSection, "listenPort", "6262", path)) std::abort();
    if (platform::getPrivateProfileString(kSection, "listenPort", "", 4096, path) != "6262") std::abort();
    if (platform::getPrivateProfileInt(kSection, "LISTENPORT", 0, path) != 6262) std::abort();
    if (platform::getPrivateProfileString(kSection, "password", "<none>", 4096, path) != otherKey) std::abort();
    if (platform::getPrivateProfileString("other", "listenPort", "<none>", 4096, path) != otherSection) std::abort();
}

void checkSettings(const std::string& path) {
    const lyrebox::Settings loaded(path);
    if (loaded.username().size() > lyrebox::Settings::kMaxCredential) std::abort();
    if (loaded.password().size() > lyrebox::Settings::kMaxCredential) std::abort();
    if (loaded.allowedIPs().size() > lyrebox::Settings::kMaxIPList) std::abort();
    if (loaded.blockedIPs().size() > lyrebox::Settings::kMaxIPList) std::abort();
    for (const auto& dir : *loaded.sharedDirs().snapshot()) {
        if (dir.empty() || dir.find(';') != std::string::npos) std::abort();
    }

    loaded.save();
    const lyrebox::Settings again(path);
    if (again.autoStart() != loaded.autoStart() || again.listenPort() != loaded.listenPort() ||
        again.listenIP() != loaded.listenIP() || again.timeout() != loaded.timeout() ||
        again.requirePassword() != loaded.requirePassword() || again.filterIPs() != loaded.filterIPs() ||
        again.enableML() != loaded.enableML()) {
        std::abort();
    }
    // Values are read without their surrounding blanks, so a credential cut
    // at its limit just before a blank comes back without it.
    if (again.username() != trimmed(loaded.username()) || again.password() != trimmed(loaded.password())) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const TempIni ini;
    const std::string& path = ini.path();
    writeFile(path, data, size);
    checkProfile(path);
    writeFile(path, data, size);
    checkSettings(path);
    return 0;
}

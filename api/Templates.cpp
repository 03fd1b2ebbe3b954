#include "api/Templates.h"

#include <functional>
#include <thread>

namespace lyrebox {

namespace {
constexpr std::string_view kOpen = "<<";
constexpr std::string_view kClose = ">>";
constexpr std::string_view kIdLetters = "abcdefghijklmnopqrstuvwxy";  // 25 letters, no "z"
}  // namespace

std::string substituteMarkers(std::string text, const MarkerTable& markers) {
    std::size_t p = text.find(kOpen);
    while (p != std::string::npos) {
        std::size_t q = text.find(kClose, p);
        if (q == std::string::npos) break;
        std::string_view key(text.data() + p + kOpen.size(), q - p - kOpen.size());
        auto it = markers.find(key);
        const std::string empty;
        const std::string& value = it != markers.end() ? it->second : empty;
        text.replace(p, q + kClose.size() - p, value);
        p = text.find(kOpen, p + value.size());
    }
    return text;
}

std::string newPlaylistId(std::mt19937& generator, const std::map<std::string, bool>& served) {
    std::uniform_int_distribution<std::size_t> letter(0, kIdLetters.size() - 1);
    std::string id(kPlaylistIdLength, 'a');
    do {
        for (char& c : id) c = kIdLetters[letter(generator)];
    } while (served.count(id) != 0);
    return id;
}

std::mt19937& threadGenerator() {
    thread_local std::mt19937 generator([] {
        std::random_device device;
        std::seed_seq seed{device(), device(),
                           static_cast<unsigned>(std::hash<std::thread::id>{}(std::this_thread::get_id()))};
        return std::mt19937(seed);
    }());
    return generator;
}

}  // namespace lyrebox

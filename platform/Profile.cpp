#include "platform/Profile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <mutex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace detail {
namespace {
void (*beforeRenameHook)() = nullptr;
}
void setProfileBeforeRenameHook(void (*hook)()) { beforeRenameHook = hook; }
}  // namespace detail

namespace {

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x += 32;
        if (y >= 'A' && y <= 'Z') y += 32;
        if (x != y) return false;
    }
    return true;
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// One line of the file, without its line end.
struct Line {
    std::string text;
};

std::vector<std::string> readLines(const std::string& path, bool& exists) {
    std::ifstream in(path, std::ios::binary);
    exists = static_cast<bool>(in);
    std::vector<std::string> lines;
    if (!in) return lines;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
    }
    return lines;
}

// "[name]" with optional blanks around the name.
bool sectionName(std::string_view line, std::string_view& name) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[') return false;
    auto close = line.find(']');
    if (close == std::string_view::npos) return false;
    name = trim(line.substr(1, close - 1));
    return true;
}

bool keyValue(std::string_view line, std::string_view& key, std::string_view& value) {
    auto eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return true;
}

struct Location {
    long sectionLine = -1;   // index of the "[section]" line
    long sectionEnd = -1;    // one past the last key line of the section
    long keyLine = -1;       // index of the key's line
};

Location locate(const std::vector<std::string>& lines, const std::string& section, const std::string& key) {
    Location at;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string_view name;
        if (sectionName(lines[i], name)) {
            if (inSection) break;  // the section ended
            inSection = equalsIgnoreCase(name, section);
            if (inSection) {
                at.sectionLine = static_cast<long>(i);
                at.sectionEnd = static_cast<long>(i) + 1;
            }
            continue;
        }
        if (!inSection) continue;
        std::string_view k, v;
        if (keyValue(lines[i], k, v)) {
            at.sectionEnd = static_cast<long>(i) + 1;
            if (at.keyLine < 0 && equalsIgnoreCase(k, key)) at.keyLine = static_cast<long>(i);
        }
    }
    return at;
}

bool findValue(const std::string& section, const std::string& key, const std::string& path, std::string& value) {
    bool exists;
    auto lines = readLines(path, exists);
    Location at = locate(lines, section, key);
    if (at.keyLine < 0) return false;
    std::string_view k, v;
    keyValue(lines[static_cast<std::size_t>(at.keyLine)], k, v);
    value.assign(v);
    return true;
}

std::string directoryOf(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Writes the text to a temporary file beside path and renames it over path,
// so a reader (or a crash) sees either the old file or the new one. The
// temporary file has one fixed name, so a save cut short by a crash leaves at
// most one stray file (owner-only, like the INI), replaced by the next save.
bool replaceFile(const std::string& path, const std::string& text, bool existed) {
    const std::string temporary = path + ".tmp";
    const char* name = temporary.c_str();
    int fd = ::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    mode_t mode = 0600;
    struct stat st {};
    if (existed && ::stat(path.c_str(), &st) == 0) mode = st.st_mode & 07777;
    bool ok = ::fchmod(fd, mode) == 0;
    std::size_t done = 0;
    while (ok && done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) ok = false;
        else done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && detail::beforeRenameHook) detail::beforeRenameHook();
    if (ok) ok = ::rename(name, path.c_str()) == 0;
    if (!ok) {
        ::unlink(name);
        return false;
    }
    int dir = ::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace

int getPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& path) {
    std::string value;
    if (!findValue(section, key, path, value)) return defaultValue;
    const char* p = value.c_str();
    while (*p == ' ' || *p == '\t') ++p;
    const char* digits = p + ((*p == '-' || *p == '+') ? 1 : 0);
    if (*digits < '0' || *digits > '9') return defaultValue;
    errno = 0;
    long long parsed = std::strtoll(p, nullptr, 10);
    return static_cast<int>(parsed);  // wraps like the 32-bit reader it stands in for
}

std::size_t getPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, char* buffer, std::size_t size,
                                    const std::string& path) {
    if (!buffer || size == 0) return 0;
    std::string value;
    if (!findValue(section, key, path, value)) value = defaultValue;
    std::size_t n = std::min(value.size(), size - 1);
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return n;
}

std::string getPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, std::size_t maxLength,
                                    const std::string& path) {
    std::string value;
    if (!findValue(section, key, path, value)) value = defaultValue;
    if (value.size() > maxLength) value.resize(maxLength);
    return value;
}

bool writePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& path) {
    return writePrivateProfileStrings(section, {{key, value}}, path);
}

bool writePrivateProfileStrings(const std::string& section,
                                const std::vector<std::pair<std::string, std::string>>& keyValues,
                                const std::string& path) {
    // One writer at a time in this process: each write reads, changes and
    // replaces the whole file, and shares one temporary file name.
    static std::mutex writers;
    std::lock_guard lock(writers);
    bool existed;
    auto lines = readLines(path, existed);
    for (const auto& [key, value] : keyValues) {
        Location at = locate(lines, section, key);
        std::string line = key + "=" + value;
        if (at.keyLine >= 0) {
            lines[static_cast<std::size_t>(at.keyLine)] = line;
        } else if (at.sectionLine >= 0) {
            lines.insert(lines.begin() + at.sectionEnd, line);
        } else {
            lines.push_back("[" + section + "]");
            lines.push_back(line);
        }
    }
    std::string text;
    for (auto& l : lines) {
        text += l;
        text += '\n';
    }
    return replaceFile(path, text, existed);
}

}  // namespace platform

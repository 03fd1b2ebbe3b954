// INI profile functions: one file, sections of "key=value" lines.
//
// Section and key names match without regard to ASCII case. Writing a key
// replaces its line in place, appends a new key at the end of its section, and
// creates a missing section at the end of the file. Every write replaces the
// file atomically (temporary file, fsync, rename), and a new file is created
// readable by its owner only, because it may hold a password.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// The value of key as a decimal integer (leading blanks, optional sign,
// digits up to the first other character); defaultValue when the key is
// absent or holds no digits.
int getPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                         const std::string& path);

// Copies the value of key (or defaultValue when absent) into buffer, cut to
// size - 1 bytes and NUL-terminated; returns the number of bytes copied.
std::size_t getPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, char* buffer, std::size_t size,
                                    const std::string& path);

// Convenience form returning at most maxLength bytes of the value.
std::string getPrivateProfileString(const std::string& section, const std::string& key,
                                    const std::string& defaultValue, std::size_t maxLength,
                                    const std::string& path);

// Writes key=value; false when the file could not be written.
bool writePrivateProfileString(const std::string& section, const std::string& key,
                               const std::string& value, const std::string& path);

// Writes several keys of one section with one replacement of the file, so a
// crash leaves either all of them written or none.
bool writePrivateProfileStrings(const std::string& section,
                                const std::vector<std::pair<std::string, std::string>>& keyValues,
                                const std::string& path);

namespace detail {
// Test hook: called after the new file is written and synced, just before the
// rename that publishes it. Null by default.
void setProfileBeforeRenameHook(void (*hook)());
}  // namespace detail

}  // namespace platform

// Writing JSON text for the remote's documents: strings that are always valid
// UTF-8 and safe to embed in HTML or a script, and the numbers and path forms
// the documents share. Pure functions, safe on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lyrebox {

// Appends text as a quoted JSON string. Bytes that are not valid UTF-8 become
// U+FFFD. Besides what JSON requires ('"', '\\', control bytes), '<', '>',
// '&', U+2028 and U+2029 are escaped too, so no text can close a script
// element, open a comment or end a line inside a script.
void appendJsonString(std::string& out, std::string_view text);

// Appends the exact bytes of a path as a quoted string of their
// percent-encoding (letters and digits stay, every other byte is "%xx"): the
// value can be put into a query unchanged and decodes to the same bytes.
void appendJsonPath(std::string& out, std::string_view path);

// Appends a finite number with up to 6 significant digits ("0" otherwise).
void appendJsonFraction(std::string& out, double value);

inline void appendJsonBool(std::string& out, bool value) { out += value ? "true" : "false"; }

// Appends "name": (with the comma before it unless first).
void appendJsonKey(std::string& out, std::string_view name, bool first = false);

// Seconds since 1970 of a file time in 100-ns intervals since 1601.
std::int64_t fileTimeToUnixSeconds(std::uint64_t fileTime);

}  // namespace lyrebox

#pragma once
// UTF-8 decoding and encoding. Engine strings are UTF-8 throughout; these helpers
// walk them by code point and convert to and from UTF-16 for the log files.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vb::utf8 {

// Decodes the code point at `pos` and advances `pos` past it. Returns nullopt, and
// leaves `pos` unchanged, when the bytes there are no valid UTF-8 (overlong forms,
// surrogates and values above U+10FFFF are invalid).
std::optional<char32_t> next(std::string_view text, std::size_t& pos);

// True when the whole text is valid UTF-8.
bool isValid(std::string_view text);

// True when every byte is below 0x80.
bool isAscii(std::string_view text);

// Appends the UTF-8 form of `cp`.
void append(std::string& out, char32_t cp);

// UTF-16 little-endian bytes of a valid UTF-8 text; invalid bytes become U+FFFD.
std::string toUtf16le(std::string_view text);

// UTF-8 of UTF-16 little-endian bytes; unpaired surrogates become U+FFFD and an odd
// last byte is ignored.
std::string fromUtf16le(std::string_view bytes);

}  // namespace vb::utf8

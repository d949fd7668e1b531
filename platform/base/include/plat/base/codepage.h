// The library's multibyte code page is Shift-JIS (CP932). These conversions go
// through iconv; bytes or units that do not convert become '?' (multibyte
// targets) or U+FFFD (Unicode targets), never an error.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

inline constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

// CP932 -> UTF-16, keeping at most `max_units` UTF-16 units.
std::u16string sjis_to_utf16(std::string_view sjis, std::size_t max_units = kNoLimit);
std::string utf16_to_sjis(std::u16string_view text);

std::string sjis_to_utf8(std::string_view sjis);
std::string utf8_to_sjis(std::string_view utf8);

std::u16string utf8_to_utf16(std::string_view utf8);
std::string utf16_to_utf8(std::u16string_view text);

// Decodes UTF-8 into code points (invalid sequences become U+FFFD).
std::u32string utf8_to_utf32(std::string_view utf8);
// Encodes code points as UTF-8 (surrogates and values past U+10FFFF become U+FFFD).
std::string utf32_to_utf8(std::u32string_view text);

// Length of the longest prefix of `text` that has at most `max_units` units and
// does not end between the two halves of a surrogate pair.
std::size_t utf16_prefix_length(std::u16string_view text, std::size_t max_units);

// Length of the longest prefix of the CP932 text `sjis` that has at most
// `max_bytes` bytes and does not end between the two bytes of a character.
std::size_t sjis_prefix_length(std::string_view sjis, std::size_t max_bytes);

}  // namespace plat

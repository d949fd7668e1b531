// Walking UTF-8 text one code point at a time, as the fonts measure and draw it.
#pragma once

#include <cstddef>
#include <string_view>

namespace plat::detail {

constexpr char32_t kReplacement = 0xFFFD;

// One code point from s at pos, advancing pos. A malformed or truncated
// sequence yields U+FFFD and resumes at the first byte that does not belong
// to it.
inline char32_t next_code_point(std::string_view s, std::size_t& pos) {
    const auto b0 = static_cast<unsigned char>(s[pos++]);
    if (b0 < 0x80) return b0;
    int extra;
    char32_t cp;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1, cp = b0 & 0x1F, min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2, cp = b0 & 0x0F, min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3, cp = b0 & 0x07, min = 0x10000;
    } else {
        return kReplacement;
    }
    for (int i = 0; i < extra; ++i) {
        if (pos >= s.size()) return kReplacement;
        const auto b = static_cast<unsigned char>(s[pos]);
        if ((b & 0xC0) != 0x80) return kReplacement;
        cp = (cp << 6) | (b & 0x3F);
        ++pos;
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return kReplacement;
    return cp;
}

}  // namespace plat::detail

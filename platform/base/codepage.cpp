#include "plat/base/codepage.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <mutex>

#include <iconv.h>

namespace plat {

namespace {

constexpr char32_t kReplacement = 0xFFFD;
const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
constexpr std::size_t kIconvError = static_cast<std::size_t>(-1);

bool is_sjis_lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
bool is_sjis_trail(unsigned char b) { return b >= 0x40 && b <= 0xFC && b != 0x7F; }

// A lead byte with a well-formed trail byte is one unmapped character; anything
// else is a single bad byte, so an ASCII byte after a stray lead survives.
std::size_t bad_sjis_length(const char* p, std::size_t left) {
    if (left >= 2 && is_sjis_lead(static_cast<unsigned char>(p[0])) &&
        is_sjis_trail(static_cast<unsigned char>(p[1])))
        return 2;
    return 1;
}

const char* utf32_name() {
    return std::endian::native == std::endian::little ? "UTF-32LE" : "UTF-32BE";
}

iconv_t open_cp932(bool to_cp932) {
    // glibc knows the code page as CP932; WINDOWS-31J is the IANA alias.
    for (const char* name : {"CP932", "WINDOWS-31J"}) {
        iconv_t cd = to_cp932 ? iconv_open(name, utf32_name()) : iconv_open(utf32_name(), name);
        if (cd != kNoConverter) return cd;
    }
    static std::once_flag warned;
    std::call_once(warned, [] {
        std::fputs("plat: iconv has no CP932 converter; only ASCII text will convert\n", stderr);
    });
    return kNoConverter;
}

// iconv descriptors carry conversion state and must not be shared between
// threads, so each thread keeps its own pair.
struct Converters {
    iconv_t decode = open_cp932(false);
    iconv_t encode = open_cp932(true);
    Converters() = default;
    Converters(const Converters&) = delete;
    Converters& operator=(const Converters&) = delete;
    ~Converters() {
        if (decode != kNoConverter) iconv_close(decode);
        if (encode != kNoConverter) iconv_close(encode);
    }
};

Converters& converters() {
    thread_local Converters c;
    return c;
}

// Used only when iconv lacks CP932: ASCII and half-width katakana are single
// bytes that map directly.
std::u32string decode_sjis_fallback(std::string_view in, std::size_t max_cps) {
    std::u32string out;
    std::size_t i = 0;
    while (i < in.size() && out.size() < max_cps) {
        auto b = static_cast<unsigned char>(in[i]);
        if (b < 0x80) {
            out.push_back(b);
            ++i;
        } else if (b >= 0xA1 && b <= 0xDF) {
            out.push_back(0xFF61 + (b - 0xA1));
            ++i;
        } else {
            out.push_back(kReplacement);
            i += bad_sjis_length(in.data() + i, in.size() - i);
        }
    }
    return out;
}

std::u32string decode_sjis(std::string_view in, std::size_t max_cps) {
    iconv_t cd = converters().decode;
    if (cd == kNoConverter) return decode_sjis_fallback(in, max_cps);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    std::u32string out;
    char* src = const_cast<char*>(in.data());  // iconv's signature; never written
    std::size_t left = in.size();
    char32_t buf[256];
    while (left > 0 && out.size() < max_cps) {
        std::size_t room = std::min<std::size_t>(std::size(buf), max_cps - out.size());
        char* dst = reinterpret_cast<char*>(buf);
        std::size_t dst_left = room * sizeof(char32_t);
        std::size_t r = iconv(cd, &src, &left, &dst, &dst_left);
        int err = errno;
        std::size_t produced = room - dst_left / sizeof(char32_t);
        out.append(buf, produced);
        if (r != kIconvError || left == 0) break;
        if (err == E2BIG && produced > 0) continue;
        if (out.size() >= max_cps) break;
        // EILSEQ, or EINVAL for a lead byte cut off at the end.
        out.push_back(kReplacement);
        std::size_t skip = bad_sjis_length(src, left);
        src += skip;
        left -= skip;
    }
    return out;
}

std::string encode_sjis(std::u32string_view in) {
    std::string out;
    iconv_t cd = converters().encode;
    if (cd == kNoConverter) {
        for (char32_t c : in) {
            if (c < 0x80)
                out.push_back(static_cast<char>(c));
            else if (c >= 0xFF61 && c <= 0xFF9F)
                out.push_back(static_cast<char>(0xA1 + (c - 0xFF61)));
            else
                out.push_back('?');
        }
        return out;
    }
    iconv(cd, nullptr, nullptr, nullptr, nullptr);

    char* src = const_cast<char*>(reinterpret_cast<const char*>(in.data()));
    std::size_t left = in.size() * sizeof(char32_t);
    char buf[512];
    while (left > 0) {
        char* dst = buf;
        std::size_t dst_left = sizeof(buf);
        std::size_t r = iconv(cd, &src, &left, &dst, &dst_left);
        int err = errno;
        std::size_t produced = sizeof(buf) - dst_left;
        out.append(buf, produced);
        if (r != kIconvError || left == 0) break;
        if (err == E2BIG && produced > 0) continue;
        // Not in the code page (or a surrogate code point): one '?' per character.
        out.push_back('?');
        std::size_t skip = std::min(left, sizeof(char32_t));
        src += skip;
        left -= skip;
    }
    return out;
}

// Decodes UTF-8, replacing each maximal ill-formed subsequence with one U+FFFD.
// Overlong forms, surrogates and values above U+10FFFF are ill-formed.
template <typename Emit>
void decode_utf8(std::string_view s, Emit emit) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        auto b = static_cast<unsigned char>(s[i]);
        if (b < 0x80) {
            emit(static_cast<char32_t>(b));
            ++i;
            continue;
        }
        int need = 0;
        char32_t cp = 0;
        unsigned char lo = 0x80, hi = 0xBF;  // allowed range of the next byte
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
            cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            cp = b & 0x0F;
            if (b == 0xE0) lo = 0xA0;  // overlong
            if (b == 0xED) hi = 0x9F;  // surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            cp = b & 0x07;
            if (b == 0xF0) lo = 0x90;  // overlong
            if (b == 0xF4) hi = 0x8F;  // above U+10FFFF
        } else {
            emit(kReplacement);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < need; ++k, ++j) {
            if (j >= n) {
                ok = false;
                break;
            }
            auto c = static_cast<unsigned char>(s[j]);
            if (c < lo || c > hi) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
            lo = 0x80;
            hi = 0xBF;
        }
        emit(ok ? cp : kReplacement);
        i = j;  // on failure the offending byte starts the next sequence
    }
}

std::u32string utf16_to_utf32(std::u16string_view s) {
    std::u32string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        char32_t u = s[i];
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
            s[i + 1] <= 0xDFFF) {
            out.push_back(0x10000 + ((u - 0xD800) << 10) + (s[i + 1] - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            out.push_back(kReplacement);
        } else {
            out.push_back(u);
        }
    }
    return out;
}

void append_utf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
        out.push_back(static_cast<char16_t>(cp));
    }
}

void append_utf8(std::string& out, char32_t cp) {
    if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = kReplacement;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

std::size_t utf16_prefix_length(std::u16string_view text, std::size_t max_units) {
    if (text.size() <= max_units) return text.size();
    std::size_t n = max_units;
    // Cutting here would leave a high surrogate without its low half.
    if (n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF && text[n] >= 0xDC00 &&
        text[n] <= 0xDFFF)
        --n;
    return n;
}

std::size_t sjis_prefix_length(std::string_view sjis, std::size_t max_bytes) {
    if (sjis.size() <= max_bytes) return sjis.size();
    // Characters are found from the start, since a trail byte can look like a
    // lead; a lead byte counts two only with a well-formed trail, as in decoding.
    std::size_t n = 0;
    while (n < sjis.size()) {
        const std::size_t step = bad_sjis_length(sjis.data() + n, sjis.size() - n);
        if (n + step > max_bytes) break;
        n += step;
    }
    return n;
}

std::u16string sjis_to_utf16(std::string_view sjis, std::size_t max_units) {
    // Every code point takes at least one unit, so decoding max_units of them
    // is always enough.
    std::u16string out;
    for (char32_t cp : decode_sjis(sjis, max_units)) append_utf16(out, cp);
    out.resize(utf16_prefix_length(out, max_units));
    return out;
}

std::string utf16_to_sjis(std::u16string_view text) { return encode_sjis(utf16_to_utf32(text)); }

std::string sjis_to_utf8(std::string_view sjis) {
    std::string out;
    for (char32_t cp : decode_sjis(sjis, kNoLimit)) append_utf8(out, cp);
    return out;
}

std::string utf8_to_sjis(std::string_view utf8) { return encode_sjis(utf8_to_utf32(utf8)); }

std::u16string utf8_to_utf16(std::string_view utf8) {
    std::u16string out;
    out.reserve(utf8.size());
    decode_utf8(utf8, [&](char32_t cp) { append_utf16(out, cp); });
    return out;
}

std::string utf16_to_utf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t cp : utf16_to_utf32(text)) append_utf8(out, cp);
    return out;
}

std::u32string utf8_to_utf32(std::string_view utf8) {
    std::u32string out;
    out.reserve(utf8.size());
    decode_utf8(utf8, [&](char32_t cp) { out.push_back(cp); });
    return out;
}

std::string utf32_to_utf8(std::u32string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char32_t cp : text) append_utf8(out, cp);
    return out;
}

}  // namespace plat

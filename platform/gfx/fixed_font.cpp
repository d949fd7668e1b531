// The fixed-cell font, read from GNU Unifont's hex file at first use.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "plat/gfx/gfx.h"

#ifndef PLAT_UNIFONT_HEX
#define PLAT_UNIFONT_HEX "/usr/share/unifont/unifont.hex"
#endif

namespace plat {

namespace {

#include "builtin_ascii_glyphs.inc"

constexpr std::size_t kBmpSize = 0x10000;
// unifont.hex is under 4 MiB; anything far bigger is not a font file.
constexpr off_t kMaxFileSize = off_t(64) << 20;

const Glyph kBlank{};

struct HexTable {
    std::int8_t value[256];
};

constexpr HexTable make_hex_table() {
    HexTable t{};
    for (auto& v : t.value) v = -1;
    for (int i = 0; i < 10; ++i) t.value['0' + i] = std::int8_t(i);
    for (int i = 0; i < 6; ++i) {
        t.value['A' + i] = std::int8_t(10 + i);
        t.value['a' + i] = std::int8_t(10 + i);
    }
    return t;
}

// Indexed directly rather than through std::array or a helper: this runs for
// every character of a 4 MB file at start-up, debug builds included.
constexpr HexTable kHex = make_hex_table();

// The whole file, mapped read-only; unmapped when it goes out of scope.
class MappedFile {
public:
    explicit MappedFile(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
            st.st_size <= kMaxFileSize) {
            // Populated up front: one call instead of a page fault per 4 KiB.
            void* p = ::mmap(nullptr, std::size_t(st.st_size), PROT_READ,
                             MAP_PRIVATE | MAP_POPULATE, fd, 0);
            if (p != MAP_FAILED) {
                data_ = static_cast<const char*>(p);
                size_ = std::size_t(st.st_size);
            }
        }
        ::close(fd);
    }
    ~MappedFile() {
        if (data_) ::munmap(const_cast<char*>(data_), size_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool ok() const { return data_ != nullptr; }
    const char* begin() const { return data_; }
    const char* end() const { return data_ + size_; }

private:
    const char* data_ = nullptr;
    std::size_t size_ = 0;
};

// One "XXXX:hexbits" line (without its line break). False for anything
// malformed or outside the BMP.
bool parse_line(const char* p, const char* end, char32_t& cp, Glyph& g) {
    cp = 0;
    int digits = 0;
    for (; p < end && *p != ':'; ++p) {
        const int v = kHex.value[static_cast<unsigned char>(*p)];
        if (v < 0 || ++digits > 6) return false;
        cp = (cp << 4) | char32_t(v);
    }
    if (p == end || digits < 4 || cp >= kBmpSize) return false;
    ++p;
    const std::ptrdiff_t n = end - p;
    if (n != 32 && n != 64) return false;
    const int digits_per_row = int(n / 16);
    for (auto& row : g.rows) {
        unsigned v = 0;
        for (int k = 0; k < digits_per_row; ++k) {
            const int h = kHex.value[static_cast<unsigned char>(*p++)];
            if (h < 0) return false;
            v = (v << 4) | unsigned(h);
        }
        row = std::uint16_t(v);
    }
    g.width = n == 64 ? 16 : 8;
    return true;
}

}  // namespace

FixedFont::FixedFont() : FixedFont(PLAT_UNIFONT_HEX) {}

FixedFont::FixedFont(std::string_view hex_path) {
    box_.width = kCellWidth;
    box_.rows[2] = box_.rows[13] = 0x7E;
    for (int r = 3; r < 13; ++r) box_.rows[std::size_t(r)] = 0x42;

    const MappedFile file{std::string(hex_path)};
    const bool readable = file.ok();

    glyphs_.resize(readable ? kBmpSize : kBuiltinLast + 1);
    present_.resize(glyphs_.size());
    // Built-in ASCII first; the file overrides it and any glyph it lacks
    // still has one.
    for (char32_t cp = kBuiltinFirst; cp <= kBuiltinLast; ++cp) {
        Glyph& g = glyphs_[cp];
        for (std::size_t r = 0; r < 16; ++r) g.rows[r] = kBuiltinGlyphs[cp - kBuiltinFirst][r];
        present_[cp] = 1;
    }
    if (!readable) return;

    std::size_t parsed = 0;
    const char* p = file.begin();
    const char* const end = file.end();
    while (p < end) {
        const void* nl = std::memchr(p, '\n', std::size_t(end - p));
        const char* eol = nl ? static_cast<const char*>(nl) : end;
        const char* line_end = eol > p && eol[-1] == '\r' ? eol - 1 : eol;
        char32_t cp;
        Glyph g;
        if (parse_line(p, line_end, cp, g)) {
            glyphs_[cp] = g;
            present_[cp] = 1;
            ++parsed;
        }
        p = eol + 1;
    }
    loaded_from_file_ = parsed > 0;
}

FixedFont FixedFont::from_hex_file(std::string_view path) { return FixedFont(path); }

const FixedFont& FixedFont::instance() {
    static const FixedFont font;
    return font;
}

const Glyph& FixedFont::glyph(char32_t cp) const {
    // C0 and C1 controls (and DEL) take a cell but show nothing; Unifont
    // draws them as hex boxes, which is not what a text line should show.
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return kBlank;
    if (cp < present_.size() && present_[cp]) return glyphs_[cp];
    return box_;
}

}  // namespace plat

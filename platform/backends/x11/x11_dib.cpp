#include "backends/x11/x11_dib.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace plat::detail::x11 {

namespace {

constexpr std::uint32_t kRgb = 0;
constexpr std::uint32_t kBitFields = 3;
constexpr std::int64_t kMaxSide = 32768;
constexpr std::int64_t kMaxPixels = std::int64_t(1) << 28;

std::uint32_t rd32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
std::uint16_t rd16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

void wr32(std::uint8_t* p, std::uint32_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
    p[2] = std::uint8_t(v >> 16);
    p[3] = std::uint8_t(v >> 24);
}
void wr16(std::uint8_t* p, std::uint16_t v) {
    p[0] = std::uint8_t(v);
    p[1] = std::uint8_t(v >> 8);
}

// What the header says, checked against the data's size.
struct Layout {
    int width = 0;
    int height = 0;
    bool top_down = false;
    int bits = 0;
    std::size_t table_offset = 0;
    std::size_t table_entries = 0;  // palette entries present (palette DIBs)
    std::size_t pixels_offset = 0;  // just after the colour table
    std::size_t stride = 0;
};

bool read_layout(const std::uint8_t* d, std::size_t size, Layout& l) {
    if (!d || size < 40) return false;
    std::uint32_t header = rd32(d);
    if (header < 40 || header > size) return false;
    std::int32_t w = std::int32_t(rd32(d + 4));
    std::int32_t h = std::int32_t(rd32(d + 8));
    int bits = rd16(d + 14);
    std::uint32_t compression = rd32(d + 16);
    std::uint32_t used = rd32(d + 32);
    if (w <= 0 || h == 0 || h == INT32_MIN) return false;
    std::int64_t abs_h = std::llabs(std::int64_t(h));
    if (w > kMaxSide || abs_h > kMaxSide || std::int64_t(w) * abs_h > kMaxPixels) return false;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return false;
    std::size_t table = header;
    if (compression == kBitFields) {
        // Only the layout every 32-bit DIB uses: 0x00RRGGBB.
        if (bits != 32) return false;
        if (header == 40) {
            if (size < 52) return false;
            table += 12;
        }
        if (rd32(d + 40) != 0xFF0000 || rd32(d + 44) != 0xFF00 || rd32(d + 48) != 0xFF) return false;
    } else if (compression != kRgb) {
        return false;
    }
    std::size_t entries = 0;
    if (bits <= 8) {
        std::size_t max = std::size_t(1) << bits;
        entries = used ? used : max;
        if (entries > max) return false;
    } else {
        if (used > 256) return false;
        entries = used;  // an optional table, skipped
    }
    l.width = w;
    l.height = int(abs_h);
    l.top_down = h < 0;
    l.bits = bits;
    l.table_offset = table;
    l.table_entries = bits <= 8 ? entries : 0;
    l.pixels_offset = table + entries * 4;
    l.stride = (std::size_t(w) * std::size_t(bits) + 31) / 32 * 4;
    std::uint64_t need = std::uint64_t(l.pixels_offset) + std::uint64_t(l.stride) * std::uint64_t(l.height);
    return need <= size;
}

// One pixel of a row: the palette index for palette DIBs, else 0x00RRGGBB.
std::uint32_t sample(const std::uint8_t* row, int x, int bits) {
    switch (bits) {
    case 1: return (row[x >> 3] >> (7 - (x & 7))) & 1u;
    case 4: return (row[x >> 1] >> ((x & 1) ? 0 : 4)) & 0xFu;
    case 8: return row[x];
    case 24: {
        const std::uint8_t* p = row + std::size_t(x) * 3;
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16;
    }
    default: return rd32(row + std::size_t(x) * 4) & 0xFFFFFFu;
    }
}

}  // namespace

bool dib_to_surface(const std::uint8_t* data, std::size_t size, Surface& out) {
    Layout l;
    if (!read_layout(data, size, l)) return false;
    bool indexed = l.bits <= 8;
    Surface s(l.width, l.height, indexed ? PixelFormat::Indexed8 : PixelFormat::Rgb32);
    if (s.is_null()) return false;
    if (indexed) s.palette().fill(0);
    for (std::size_t i = 0; i < l.table_entries; ++i)
        s.palette()[i] = rd32(data + l.table_offset + i * 4) & 0xFFFFFFu;
    for (int y = 0; y < l.height; ++y) {
        int src_y = l.top_down ? y : l.height - 1 - y;
        const std::uint8_t* row = data + l.pixels_offset + l.stride * std::size_t(src_y);
        for (int x = 0; x < l.width; ++x) {
            std::uint32_t v = sample(row, x, l.bits);
            if (indexed) s.row8(y)[x] = std::uint8_t(v);
            else s.row32(y)[x] = v;
        }
    }
    out = std::move(s);
    return true;
}

std::vector<std::uint8_t> surface_to_dib(const Surface& s) {
    if (s.is_null()) return {};
    bool indexed = s.format() == PixelFormat::Indexed8;
    int w = s.width(), h = s.height();
    std::size_t stride = indexed ? (std::size_t(w) + 3) / 4 * 4 : std::size_t(w) * 4;
    std::size_t table = indexed ? 256 * 4 : 0;
    std::vector<std::uint8_t> out(40 + table + stride * std::size_t(h), 0);
    std::uint8_t* d = out.data();
    wr32(d, 40);
    wr32(d + 4, std::uint32_t(w));
    wr32(d + 8, std::uint32_t(h));
    wr16(d + 12, 1);
    wr16(d + 14, indexed ? 8 : 32);
    for (std::size_t i = 0; indexed && i < 256; ++i) wr32(d + 40 + i * 4, s.palette()[i] & 0xFFFFFFu);
    std::uint8_t* pixels = d + 40 + table;
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = pixels + stride * std::size_t(h - 1 - y);
        if (indexed) {
            std::memcpy(row, s.row8(y), std::size_t(w));
            continue;
        }
        const std::uint32_t* src = s.row32(y);
        for (int x = 0; x < w; ++x) wr32(row + std::size_t(x) * 4, src[x] & 0xFFFFFFu);
    }
    return out;
}

std::vector<std::uint8_t> dib_to_bmp_file(const std::vector<std::uint8_t>& dib) {
    Layout l;
    if (!read_layout(dib.data(), dib.size(), l)) return {};
    std::vector<std::uint8_t> out(14 + dib.size());
    out[0] = 'B';
    out[1] = 'M';
    wr32(out.data() + 2, std::uint32_t(out.size()));
    wr32(out.data() + 10, std::uint32_t(14 + l.pixels_offset));
    std::memcpy(out.data() + 14, dib.data(), dib.size());
    return out;
}

std::vector<std::uint8_t> bmp_file_to_dib(const std::uint8_t* data, std::size_t size) {
    if (!data || size < 14 + 40 || data[0] != 'B' || data[1] != 'M') return {};
    const std::uint8_t* dib = data + 14;
    std::size_t dib_size = size - 14;
    Layout l;
    if (!read_layout(dib, dib_size, l)) return {};
    // The pixels may lie further on than right after the colour table.
    std::uint32_t off = rd32(data + 10);
    std::vector<std::uint8_t> out(dib, dib + l.pixels_offset);
    std::size_t pixels = l.stride * std::size_t(l.height);
    std::size_t from = off >= 14 + l.pixels_offset ? off : 14 + l.pixels_offset;
    if (from + pixels > size) return {};
    out.insert(out.end(), data + from, data + from + pixels);
    return out;
}

}  // namespace plat::detail::x11

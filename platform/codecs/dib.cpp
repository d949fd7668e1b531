// Packed DIBs to and from surfaces.
#include "plat/dib.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace plat::dib {

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

// Where the parts of a checked DIB lie.
struct Layout {
    Info info;
    std::size_t table_offset = 0;
    std::size_t pixels_offset = 0;
    std::size_t stride = 0;
};

bool read_layout(const std::uint8_t* d, std::size_t size, Layout& l) {
    if (!d || size < kInfoHeaderSize) return false;
    std::uint32_t header = rd32(d);
    if (header < kInfoHeaderSize || header > size) return false;
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
        // Only the layout every 32-bit picture uses: 0x00RRGGBB. A 40-byte
        // header has the three masks after it; longer headers hold them.
        if (bits != 32) return false;
        if (header == kInfoHeaderSize) {
            if (size < kInfoHeaderSize + 12) return false;
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
        entries = used;  // an optional table for palette devices, skipped
    }
    l.info.width = w;
    l.info.height = int(abs_h);
    l.info.top_down = h < 0;
    l.info.bits = bits;
    l.info.palette_entries = bits <= 8 ? int(entries) : 0;
    l.table_offset = table;
    l.pixels_offset = table + entries * 4;
    l.stride = row_stride(w, bits);
    std::uint64_t need = std::uint64_t(l.pixels_offset) + std::uint64_t(l.stride) * std::uint64_t(l.info.height);
    return need <= size;
}

// One pixel of a row: the palette index for palette pictures, else 0x00RRGGBB.
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

std::size_t row_stride(int width, int bits) {
    if (width <= 0 || bits <= 0) return 0;
    return (std::size_t(width) * std::size_t(bits) + 31) / 32 * 4;
}

std::size_t packed_size(const Surface& s) {
    if (s.is_null()) return 0;
    bool indexed = s.format() == PixelFormat::Indexed8;
    std::size_t table = indexed ? 256 * 4 : 0;
    return kInfoHeaderSize + table + row_stride(s.width(), indexed ? 8 : 24) * std::size_t(s.height());
}

bool write(const Surface& s, std::uint8_t* out, std::size_t size) {
    if (s.is_null() || !out || size != packed_size(s)) return false;
    bool indexed = s.format() == PixelFormat::Indexed8;
    int w = s.width(), h = s.height();
    int bits = indexed ? 8 : 24;
    std::size_t stride = row_stride(w, bits);
    std::memset(out, 0, size);
    wr32(out, std::uint32_t(kInfoHeaderSize));
    wr32(out + 4, std::uint32_t(w));
    wr32(out + 8, std::uint32_t(h));
    wr16(out + 12, 1);
    wr16(out + 14, std::uint16_t(bits));
    std::uint8_t* pixels = out + kInfoHeaderSize;
    if (indexed) {
        for (std::size_t i = 0; i < 256; ++i) wr32(pixels + i * 4, s.palette()[i] & 0xFFFFFFu);
        pixels += 256 * 4;
    }
    for (int y = 0; y < h; ++y) {
        std::uint8_t* row = pixels + stride * std::size_t(h - 1 - y);  // bottom-up
        if (indexed) {
            std::memcpy(row, s.row8(y), std::size_t(w));
            continue;
        }
        const std::uint32_t* src = s.row32(y);
        for (int x = 0; x < w; ++x) {
            std::uint8_t* p = row + std::size_t(x) * 3;
            p[0] = std::uint8_t(src[x]);
            p[1] = std::uint8_t(src[x] >> 8);
            p[2] = std::uint8_t(src[x] >> 16);
        }
    }
    return true;
}

std::vector<std::uint8_t> from_surface(const Surface& s) {
    std::size_t size = packed_size(s);
    if (size == 0) return {};
    std::vector<std::uint8_t> out;
    try {
        out.resize(size);
    } catch (const std::bad_alloc&) {
        return {};
    }
    write(s, out.data(), size);
    return out;
}

bool read_info(const std::uint8_t* data, std::size_t size, Info& out) {
    Layout l;
    if (!read_layout(data, size, l)) return false;
    out = l.info;
    return true;
}

bool to_surface(const std::uint8_t* data, std::size_t size, Surface& out, Info* info) {
    Layout l;
    if (!read_layout(data, size, l)) return false;
    bool indexed = l.info.bits <= 8;
    Surface s;
    try {
        s = Surface(l.info.width, l.info.height, indexed ? PixelFormat::Indexed8 : PixelFormat::Rgb32);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (s.is_null()) return false;
    if (indexed) {
        s.palette().fill(0);
        for (int i = 0; i < l.info.palette_entries; ++i)
            s.palette()[std::size_t(i)] = rd32(data + l.table_offset + std::size_t(i) * 4) & 0xFFFFFFu;
    }
    for (int y = 0; y < l.info.height; ++y) {
        int src_y = l.info.top_down ? y : l.info.height - 1 - y;
        const std::uint8_t* row = data + l.pixels_offset + l.stride * std::size_t(src_y);
        if (l.info.bits == 8) {
            std::memcpy(s.row8(y), row, std::size_t(l.info.width));
            continue;
        }
        for (int x = 0; x < l.info.width; ++x) {
            std::uint32_t v = sample(row, x, l.info.bits);
            if (indexed) s.row8(y)[x] = std::uint8_t(v);
            else s.row32(y)[x] = v;
        }
    }
    out = std::move(s);
    if (info) *info = l.info;
    return true;
}

}  // namespace plat::dib

// Packed DIBs to and from surfaces. Reading is the BMP codec's: a packed
// DIB is a BMP file without its file header, rows after the colour table.
#include "plat/codecs/dib.h"

#include <cstring>
#include <new>

#include "codec_common.h"

namespace plat::dib {

namespace {

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

// What the header of a located DIB tells the caller.
Info info_of(const codec::DibInfo& d) {
    Info i;
    i.width = int(d.width);
    i.height = int(d.height);
    i.top_down = d.top_down;
    i.bits = d.bpp;
    i.palette_entries = d.bpp <= 8 ? d.palette_count : 0;
    return i;
}

bool locate(const std::uint8_t* data, std::size_t size, codec::DibLayout& l) {
    return data && codec::locate_dib(data, size, codec::kRowsAfterTable, 1, l).ok;
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
    codec::DibLayout l;
    if (!locate(data, size, l)) return false;
    out = info_of(l.info);
    return true;
}

bool to_surface(const std::uint8_t* data, std::size_t size, Surface& out, Info* info) {
    codec::DibLayout l;
    if (!locate(data, size, l)) return false;
    codec::Decoded d;
    try {
        if (!codec::decode_dib(data, size, codec::kRowsAfterTable, 1, d).ok) return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    out = std::move(d.surface);
    if (info) *info = info_of(l.info);
    return true;
}

}  // namespace plat::dib

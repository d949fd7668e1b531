// BMP reading and writing, written here: the format is a header and rows.
// Reads 1, 2, 4 and 8-bit palette pictures (also RLE8 and RLE4), 16 and 32-bit
// pictures with or without bit fields, and 24-bit ones; bottom-up or
// top-down; the OS/2 core header and the Windows headers up to version 5.
// Writes 24-bit bottom-up from Rgb32 and 8-bit with 256 entries from Indexed8.
// The DIB part is shared with icons (ico_codec.cpp) and packed DIBs (dib.cpp).
#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec_common.h"

namespace plat::codec {

namespace {

constexpr std::size_t kFileHeader = 14;
constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3, kBiAlphaBitfields = 6;

const IoResult kTruncated = IoResult::failure("truncated BMP file");
const IoResult kCorrupt = IoResult::failure("corrupt BMP data");
const IoResult kUnsupported = IoResult::failure("unsupported BMP format");

// Reads and checks the DIB header at `offset`.
IoResult parse_dib(const ByteSource& src, std::uint64_t offset, int height_divisor, DibInfo& info) {
    std::uint8_t h[124] = {};
    if (!src.read(offset, h, 4)) return kTruncated;
    info.header_size = le32(h);
    const std::uint32_t hs = info.header_size;
    if (hs != 12 && (hs < 16 || hs > 124)) return kCorrupt;
    if (!src.read(offset, h, hs)) return kTruncated;

    std::int64_t width = 0, height = 0;
    if (hs == 12) {
        width = le16(h + 4);
        height = le16(h + 6);
        info.bpp = le16(h + 10);
        info.palette_entry_size = 3;
    } else {
        width = std::int32_t(le32(h + 4));
        height = std::int32_t(le32(h + 8));
        info.bpp = le16(h + 14);
        if (hs >= 20) info.compression = le32(h + 16);
    }
    const std::uint32_t clr_used = hs >= 36 ? le32(h + 32) : 0;

    info.top_down = height < 0;
    if (height < 0) height = -height;
    height /= height_divisor;
    if (width <= 0 || height <= 0) return kCorrupt;
    if (!size_acceptable(std::uint64_t(width), std::uint64_t(height)))
        return IoResult::failure("image too large");
    info.width = std::uint32_t(width);
    info.height = std::uint32_t(height);

    const int bpp = info.bpp;
    switch (info.compression) {
    case kBiRgb:
        if (bpp != 1 && bpp != 2 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return kUnsupported;
        break;
    case kBiRle8:
        if (bpp != 8) return kCorrupt;
        break;
    case kBiRle4:
        if (bpp != 4) return kCorrupt;
        break;
    case kBiBitfields:
    case kBiAlphaBitfields:
        if (bpp != 16 && bpp != 32) return kCorrupt;
        break;
    default:
        return kUnsupported;  // embedded JPEG or PNG, OS/2 Huffman and RLE24
    }

    std::uint64_t after = offset + hs;
    if (info.compression == kBiBitfields || info.compression == kBiAlphaBitfields) {
        if (hs >= 52) {
            for (int i = 0; i < 3; ++i) info.masks[i] = le32(h + 40 + 4 * i);
        } else {
            // Masks follow a 40-byte header.
            std::uint8_t m[16];
            const std::size_t n = info.compression == kBiAlphaBitfields ? 16 : 12;
            if (!src.read(after, m, n)) return kTruncated;
            for (int i = 0; i < 3; ++i) info.masks[i] = le32(m + 4 * i);
            after += n;
        }
    } else if (bpp == 16) {
        info.masks[0] = 0x7C00;
        info.masks[1] = 0x03E0;
        info.masks[2] = 0x001F;
    } else if (bpp == 32) {
        info.masks[0] = 0xFF0000;
        info.masks[1] = 0x00FF00;
        info.masks[2] = 0x0000FF;
    }
    info.palette_offset = after - offset;
    info.table_entries = clr_used;
    if (bpp <= 8) {
        const std::uint32_t full = 1u << bpp;
        info.palette_count = int(clr_used == 0 || clr_used > full ? full : clr_used);
        if (clr_used == 0) info.table_entries = full;
    }
    return IoResult::success();
}

std::uint64_t row_stride(std::uint32_t width, int bpp) { return (std::uint64_t(width) * bpp + 31) / 32 * 4; }

// One channel through its bit mask, scaled to 0..255.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;
    explicit Channel(std::uint32_t m) : mask(m) {
        if (m) {
            shift = std::countr_zero(m);
            max = m >> shift;
        }
    }
    std::uint32_t operator()(std::uint32_t v) const {
        if (!max) return 0;
        const std::uint64_t x = (v & mask) >> shift;
        return std::uint32_t((x * 255 + max / 2) / max);
    }
};

// Decodes RLE8 or RLE4 data into an Indexed8 surface. Runs that leave the
// picture are dropped; the data must end with the end-of-bitmap code.
IoResult decode_rle(const std::uint8_t* p, std::size_t n, bool four, bool top_down, Surface& s) {
    const int w = s.width();
    const int h = s.height();
    std::int64_t x = 0, line = 0;  // line counts from the first row stored
    auto put = [&](std::uint8_t index) {
        if (x < w && line < h) s.row8(int(top_down ? line : h - 1 - line))[x] = index;
        ++x;
    };
    std::size_t i = 0;
    while (true) {
        if (i + 2 > n) return kTruncated;
        const std::uint8_t count = p[i], value = p[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count; ++k) put(four ? ((k & 1) ? value & 0x0F : value >> 4) : value);
            continue;
        }
        switch (value) {
        case 0:  // end of line
            x = 0;
            ++line;
            break;
        case 1:  // end of bitmap
            return IoResult::success();
        case 2:  // delta
            if (i + 2 > n) return kTruncated;
            x += p[i];
            line += p[i + 1];
            i += 2;
            break;
        default: {  // a literal run, padded to a 16-bit boundary
            const std::size_t bytes = four ? (value + 1) / 2 : value;
            if (i + bytes > n) return kTruncated;
            for (int k = 0; k < value; ++k) put(four ? ((k & 1) ? p[i + k / 2] & 0x0F : p[i + k / 2] >> 4) : p[i + k]);
            i += (bytes + 1) & ~std::size_t(1);
            break;
        }
        }
        // Every row is done: a missing end code would add nothing.
        if (line >= h && x == 0) return IoResult::success();
    }
}

}  // namespace

IoResult dib_size(const ByteSource& src, std::uint64_t offset, int height_divisor, Size& out) {
    DibInfo info;
    if (IoResult r = parse_dib(src, offset, height_divisor, info); !r) return r;
    out = {int(info.width), int(info.height)};
    return IoResult::success();
}

IoResult locate_dib(const std::uint8_t* dib, std::size_t size, std::size_t pixel_offset, int height_divisor,
                    DibLayout& out) {
    MemorySource src(dib, size);
    DibInfo info;
    if (IoResult r = parse_dib(src, 0, height_divisor, info); !r) return r;
    const std::uint64_t entry = std::uint64_t(info.palette_entry_size);
    const std::uint64_t palette_end = info.palette_offset + std::uint64_t(info.palette_count) * entry;
    if (palette_end > size) return kTruncated;
    std::uint64_t start = pixel_offset;
    if (pixel_offset == kRowsAfterTable) start = info.palette_offset + info.table_entries * entry;
    // A pixel offset inside the headers is a writer's mistake: the rows
    // follow the colour table then.
    if (start < palette_end) start = palette_end;
    if (start > size) return kTruncated;

    const std::uint64_t pixels = std::uint64_t(info.width) * info.height;
    const std::uint64_t available = size - start;
    const bool rle = info.compression == kBiRle8 || info.compression == kBiRle4;
    const std::uint64_t stride = row_stride(info.width, info.bpp);
    // Checked before any picture is allocated: plain rows must all be there,
    // and run-length data cannot stand for more than 4096 pixels a byte.
    if (!rle && stride * info.height > available) return kTruncated;
    if (rle && !plausible(pixels, available, 4096)) return kTruncated;
    out.info = info;
    out.pixel_offset = std::size_t(start);
    out.stride = stride;
    out.rle = rle;
    return IoResult::success();
}

namespace {

void read_palette(const std::uint8_t* dib, const DibInfo& info, Surface& s) {
    s.palette().fill(0);
    for (int i = 0; i < info.palette_count; ++i) {
        const std::uint8_t* e = dib + info.palette_offset + std::size_t(i) * std::size_t(info.palette_entry_size);
        s.palette()[std::size_t(i)] = rgb(e[2], e[1], e[0]);
    }
}

// The colour channels of 16 and 32-bit pixels.
struct Masks {
    Channel red, green, blue;
    explicit Masks(const DibInfo& info) : red(info.masks[0]), green(info.masks[1]), blue(info.masks[2]) {}
    Color operator()(std::uint32_t v) const { return (red(v) << 16) | (green(v) << 8) | blue(v); }
};

// One stored row into picture row `y`.
void read_row(const std::uint8_t* src, int bpp, const Masks& masks, int y, Surface& s) {
    const int w = s.width();
    switch (bpp) {
    case 1:
    case 2:
    case 4: {
        std::uint8_t* dst = s.row8(y);
        const int per_byte = 8 / bpp;
        const std::uint8_t mask = std::uint8_t((1u << bpp) - 1);
        for (int x = 0; x < w; ++x) {
            const int shift = 8 - bpp * (x % per_byte + 1);
            dst[x] = std::uint8_t((src[x / per_byte] >> shift) & mask);
        }
        break;
    }
    case 8:
        std::memcpy(s.row8(y), src, std::size_t(w));
        break;
    case 16: {
        std::uint32_t* dst = s.row32(y);
        for (int x = 0; x < w; ++x) dst[x] = masks(le16(src + 2 * x));
        break;
    }
    case 24: {
        std::uint32_t* dst = s.row32(y);
        for (int x = 0; x < w; ++x) dst[x] = rgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
        break;
    }
    case 32: {
        std::uint32_t* dst = s.row32(y);
        for (int x = 0; x < w; ++x) dst[x] = masks(le32(src + 4 * x));
        break;
    }
    }
}

void read_rows(const std::uint8_t* pixels, const DibLayout& l, Surface& s) {
    const Masks masks(l.info);
    const int h = s.height();
    for (int row = 0; row < h; ++row) {
        const int y = l.info.top_down ? row : h - 1 - row;
        read_row(pixels + std::size_t(l.stride) * std::size_t(row), l.info.bpp, masks, y, s);
    }
}

// An icon's alpha bytes (32-bit pictures) and the AND mask after the colour
// rows, both in picture order; a short mask is left out.
void read_icon_extras(const std::uint8_t* pixels, std::uint64_t available, const DibLayout& l, DibExtras& extras) {
    const int w = int(l.info.width);
    const int h = int(l.info.height);
    const auto picture_row = [&](int row) { return std::size_t(l.info.top_down ? row : h - 1 - row) * w; };
    extras.alpha.clear();
    extras.and_mask.clear();
    const std::size_t count = std::size_t(w) * std::size_t(h);
    if (l.info.bpp == 32) {
        extras.alpha.resize(count);
        for (int row = 0; row < h; ++row) {
            const std::uint8_t* src = pixels + std::size_t(l.stride) * std::size_t(row);
            std::uint8_t* dst = extras.alpha.data() + picture_row(row);
            for (int x = 0; x < w; ++x) dst[x] = src[4 * x + 3];
        }
    }
    const std::uint64_t mask_stride = row_stride(l.info.width, 1);
    const std::uint64_t start = l.stride * h;
    if (start + mask_stride * h > available) return;
    extras.and_mask.resize(count);
    for (int row = 0; row < h; ++row) {
        const std::uint8_t* m = pixels + start + mask_stride * std::uint64_t(row);
        std::uint8_t* dst = extras.and_mask.data() + picture_row(row);
        for (int x = 0; x < w; ++x) dst[x] = (m[x / 8] >> (7 - x % 8)) & 1;
    }
}

}  // namespace

IoResult decode_dib(const std::uint8_t* dib, std::size_t size, std::size_t pixel_offset, int height_divisor,
                    Decoded& out, DibExtras* extras) {
    DibLayout l;
    if (IoResult r = locate_dib(dib, size, pixel_offset, height_divisor, l); !r) return r;
    const DibInfo& info = l.info;
    const bool indexed = info.bpp <= 8;
    Surface s(int(info.width), int(info.height), indexed ? PixelFormat::Indexed8 : PixelFormat::Rgb32);
    if (s.is_null()) return IoResult::failure("image too large");
    if (indexed) read_palette(dib, info, s);

    const std::uint8_t* pixels = dib + l.pixel_offset;
    const std::size_t available = size - l.pixel_offset;
    if (l.rle) {
        if (IoResult r = decode_rle(pixels, available, info.compression == kBiRle4, info.top_down, s); !r) return r;
    } else {
        read_rows(pixels, l, s);
        if (extras) read_icon_extras(pixels, available, l, *extras);
    }
    out.surface = std::move(s);
    out.palette_entries = indexed ? info.palette_count : 0;
    return IoResult::success();
}

IoResult decode_bmp(const std::uint8_t* data, std::size_t size, Decoded& out) {
    if (size < kFileHeader + 4) return kTruncated;
    if (data[0] != 'B' || data[1] != 'M') return IoResult::failure("not a BMP file");
    const std::uint32_t off_bits = le32(data + 10);
    const std::size_t pixel_offset = off_bits >= kFileHeader ? off_bits - kFileHeader : 0;
    return decode_dib(data + kFileHeader, size - kFileHeader, pixel_offset, 1, out);
}

IoResult bmp_size(const ByteSource& src, Size& out) { return dib_size(src, kFileHeader, 1, out); }

IoResult encode_bmp(const Surface& s, std::vector<std::uint8_t>& out) {
    const bool indexed = s.format() == PixelFormat::Indexed8;
    const int w = s.width();
    const int h = s.height();
    const int bpp = indexed ? 8 : 24;
    const std::uint64_t stride = row_stride(std::uint32_t(w), bpp);
    const std::uint32_t palette_bytes = indexed ? 1024 : 0;
    const std::uint32_t off_bits = std::uint32_t(kFileHeader) + 40 + palette_bytes;
    const std::uint64_t image_bytes = stride * std::uint64_t(h);
    if (off_bits + image_bytes > 0xFFFFFFFFu) return IoResult::failure("image too large");

    std::vector<std::uint8_t> v;
    v.reserve(std::size_t(off_bits + image_bytes));
    v.push_back('B');
    v.push_back('M');
    put_le32(v, std::uint32_t(off_bits + image_bytes));
    put_le32(v, 0);
    put_le32(v, off_bits);
    put_le32(v, 40);
    put_le32(v, std::uint32_t(w));
    put_le32(v, std::uint32_t(h));  // positive: bottom-up
    put_le16(v, 1);
    put_le16(v, std::uint32_t(bpp));
    put_le32(v, kBiRgb);
    put_le32(v, std::uint32_t(image_bytes));
    put_le32(v, kPixelsPerMetre);
    put_le32(v, kPixelsPerMetre);
    put_le32(v, indexed ? 256 : 0);
    put_le32(v, 0);
    if (indexed) {
        for (Color c : s.palette()) {
            v.push_back(std::uint8_t(blue_of(c)));
            v.push_back(std::uint8_t(green_of(c)));
            v.push_back(std::uint8_t(red_of(c)));
            v.push_back(0);
        }
    }
    for (int row = 0; row < h; ++row) {
        const int y = h - 1 - row;
        const std::size_t start = v.size();
        if (indexed) {
            const std::uint8_t* src = s.row8(y);
            v.insert(v.end(), src, src + w);
        } else {
            const std::uint32_t* src = s.row32(y);
            for (int x = 0; x < w; ++x) {
                v.push_back(std::uint8_t(blue_of(src[x])));
                v.push_back(std::uint8_t(green_of(src[x])));
                v.push_back(std::uint8_t(red_of(src[x])));
            }
        }
        v.resize(start + std::size_t(stride), 0);
    }
    out = std::move(v);
    return IoResult::success();
}

}  // namespace plat::codec

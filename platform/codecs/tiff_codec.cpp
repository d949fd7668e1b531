// TIFF reading and writing with libtiff, over memory (and, for sizes, over a
// ByteSource) through libtiff's client procedures.
//
// Reading takes the first directory. A palette picture of 1 to 8 bits stored
// in strips gives Indexed8 with its colour map; anything else goes through
// libtiff's RGBA reader and gives Rgb32 (alpha dropped). Writing: 8-bit RGB
// from Rgb32, 8-bit palette from Indexed8; LZW compressed, 72 dpi unless asked otherwise.
#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "codec_common.h"

namespace plat::codec {

namespace {

// libtiff refuses single allocations above this (a lying strip size, say).
constexpr tmsize_t kMaxSingleAlloc = tmsize_t(1) << 30;

// ---- client procedures over a byte source (read-only) ----

struct ReadStream {
    const ByteSource* src;
    std::uint64_t pos = 0;
};

tmsize_t rs_read(thandle_t h, void* buf, tmsize_t n) {
    auto* s = static_cast<ReadStream*>(h);
    const std::uint64_t size = s->src->size();
    if (n <= 0 || s->pos >= size) return 0;
    const std::size_t k = std::size_t(std::min<std::uint64_t>(std::uint64_t(n), size - s->pos));
    if (!s->src->read(s->pos, buf, k)) return -1;
    s->pos += k;
    return tmsize_t(k);
}
tmsize_t rs_write(thandle_t, void*, tmsize_t) { return -1; }
toff_t rs_seek(thandle_t h, toff_t off, int whence) {
    auto* s = static_cast<ReadStream*>(h);
    std::uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->pos : s->src->size();
    s->pos = base + off;
    return s->pos;
}
int rs_close(thandle_t) { return 0; }
toff_t rs_size(thandle_t h) { return static_cast<ReadStream*>(h)->src->size(); }

// ---- client procedures over a growing buffer (write) ----

struct WriteStream {
    std::vector<std::uint8_t> bytes;
    std::uint64_t pos = 0;
};

tmsize_t ws_read(thandle_t h, void* buf, tmsize_t n) {
    auto* s = static_cast<WriteStream*>(h);
    if (n <= 0 || s->pos >= s->bytes.size()) return 0;
    const std::size_t k = std::size_t(std::min<std::uint64_t>(std::uint64_t(n), s->bytes.size() - s->pos));
    std::memcpy(buf, s->bytes.data() + s->pos, k);
    s->pos += k;
    return tmsize_t(k);
}
tmsize_t ws_write(thandle_t h, void* buf, tmsize_t n) {
    auto* s = static_cast<WriteStream*>(h);
    if (n < 0) return -1;
    const std::uint64_t end = s->pos + std::uint64_t(n);
    if (end > (std::uint64_t(1) << 32)) return -1;  // classic TIFF offsets are 32-bit
    if (end > s->bytes.size()) s->bytes.resize(std::size_t(end));
    std::memcpy(s->bytes.data() + s->pos, buf, std::size_t(n));
    s->pos = end;
    return n;
}
toff_t ws_seek(thandle_t h, toff_t off, int whence) {
    auto* s = static_cast<WriteStream*>(h);
    std::uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? s->pos : s->bytes.size();
    s->pos = base + off;
    return s->pos;
}
toff_t ws_size(thandle_t h) { return static_cast<WriteStream*>(h)->bytes.size(); }

int no_map(thandle_t, void**, toff_t*) { return 0; }
void no_unmap(thandle_t, void*, toff_t) {}

// Keeps libtiff quiet (it would print to stderr) and remembers the first error.
struct Messages {
    char first[160] = {};
    bool any = false;
};
int on_message(TIFF*, void* user, const char*, const char* fmt, va_list ap) {
    auto* m = static_cast<Messages*>(user);
    if (!m->any) {
        std::vsnprintf(m->first, sizeof m->first, fmt, ap);
        m->any = true;
    }
    return 1;  // handled: nothing printed
}
int ignore_warning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct Tiff {
    TIFF* tif = nullptr;
    TIFFOpenOptions* opts = nullptr;
    Messages messages;
    ~Tiff() {
        if (tif) TIFFClose(tif);
        if (opts) TIFFOpenOptionsFree(opts);
    }
    bool open(const char* mode, thandle_t handle, TIFFReadWriteProc rd, TIFFReadWriteProc wr, TIFFSeekProc sk,
              TIFFSizeProc sz) {
        opts = TIFFOpenOptionsAlloc();
        if (!opts) return false;
        TIFFOpenOptionsSetMaxSingleMemAlloc(opts, kMaxSingleAlloc);
        TIFFOpenOptionsSetErrorHandlerExtR(opts, on_message, &messages);
        TIFFOpenOptionsSetWarningHandlerExtR(opts, ignore_warning, nullptr);
        tif = TIFFClientOpenExt("memory", mode, handle, rd, wr, sk, rs_close, sz, no_map, no_unmap, opts);
        return tif != nullptr;
    }
};

IoResult open_failure(const ByteSource& src) {
    return IoResult::failure(src.size() < 8 ? "truncated TIFF file" : "corrupt TIFF data");
}

// A colour map's 16-bit entries; some writers store 8-bit values instead.
int map_entry(std::uint16_t v, bool eight_bit) { return eight_bit ? v : v >> 8; }

// Reads a strip-stored palette picture of 1..8 bits. False when it is not one.
bool is_palette_picture(TIFF* tif, std::uint16_t& bps) {
    std::uint16_t photometric = 0, spp = 1, planar = PLANARCONFIG_CONTIG;
    bps = 1;
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric)) return false;
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    return photometric == PHOTOMETRIC_PALETTE && spp == 1 && (bps == 1 || bps == 2 || bps == 4 || bps == 8) &&
           !TIFFIsTiled(tif);
}

IoResult read_palette_picture(TIFF* tif, std::uint32_t w, std::uint32_t h, std::uint16_t bps, const Messages& msgs,
                              Decoded& out) {
    std::uint16_t *red = nullptr, *green = nullptr, *blue = nullptr;
    if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &red, &green, &blue)) return IoResult::failure("corrupt TIFF data");
    const int entries = 1 << bps;
    bool eight_bit = true;
    for (int i = 0; i < entries; ++i)
        if (red[i] > 255 || green[i] > 255 || blue[i] > 255) eight_bit = false;

    Surface s(int(w), int(h), PixelFormat::Indexed8);
    if (s.is_null()) return IoResult::failure("image too large");
    s.palette().fill(0);
    for (int i = 0; i < entries; ++i)
        s.palette()[std::size_t(i)] =
            rgb(map_entry(red[i], eight_bit), map_entry(green[i], eight_bit), map_entry(blue[i], eight_bit));

    const tmsize_t line_size = TIFFScanlineSize(tif);
    if (line_size <= 0 || std::uint64_t(line_size) < (std::uint64_t(w) * bps + 7) / 8)
        return IoResult::failure("corrupt TIFF data");
    std::vector<std::uint8_t> line(static_cast<std::size_t>(line_size));
    const int per_byte = 8 / bps;
    const std::uint8_t mask = std::uint8_t((1u << bps) - 1);
    for (std::uint32_t y = 0; y < h; ++y) {
        if (TIFFReadScanline(tif, line.data(), y, 0) < 0)
            return IoResult::failure(msgs.any ? "corrupt TIFF data" : "cannot read TIFF");
        std::uint8_t* dst = s.row8(int(y));
        if (bps == 8) {
            std::memcpy(dst, line.data(), w);
        } else {
            for (std::uint32_t x = 0; x < w; ++x) {
                const int shift = 8 - bps * int(x % std::uint32_t(per_byte) + 1);
                dst[x] = std::uint8_t((line[x / std::uint32_t(per_byte)] >> shift) & mask);
            }
        }
    }
    out.surface = std::move(s);
    out.palette_entries = entries;
    return IoResult::success();
}

IoResult read_rgba_picture(TIFF* tif, std::uint32_t w, std::uint32_t h, Decoded& out) {
    char why[1024] = {};
    if (!TIFFRGBAImageOK(tif, why)) return IoResult::failure("unsupported TIFF format");
    Surface s(int(w), int(h), PixelFormat::Rgb32);
    if (s.is_null()) return IoResult::failure("image too large");
    // RGBA words land straight in the surface (same size), then are reordered.
    static_assert(sizeof(std::uint32_t) == 4);
    auto* raster = reinterpret_cast<std::uint32_t*>(s.bits());
    if (!TIFFReadRGBAImageOriented(tif, w, h, raster, ORIENTATION_TOPLEFT, 1))
        return IoResult::failure("corrupt TIFF data");
    for (std::uint32_t y = 0; y < h; ++y) {
        std::uint32_t* row = s.row32(int(y));
        for (std::uint32_t x = 0; x < w; ++x) {
            const std::uint32_t v = row[x];
            row[x] = rgb(int(TIFFGetR(v)), int(TIFFGetG(v)), int(TIFFGetB(v)));
        }
    }
    out.surface = std::move(s);
    out.palette_entries = 0;
    return IoResult::success();
}

// Whether `size` bytes can hold the picture the directory claims, by the
// largest expansion of its coding, counting one sample a pixel (chroma may be
// subsampled). ZSTD and LZMA get twice what libtiff reaches on a blank page;
// LERC, WebP and JBIG code a blank page in next to nothing and are held by
// the pixel limit alone.
bool size_plausible(TIFF* tif, std::uint32_t w, std::uint32_t h, std::uint64_t size) {
    if (std::uint64_t(w) * h <= (std::uint64_t(1) << 22)) return true;
    std::uint16_t compression = COMPRESSION_NONE, bps = 1;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
    const std::uint64_t raw = std::uint64_t(h) * ((std::uint64_t(w) * std::max<std::uint16_t>(bps, 1) + 7) / 8);
    switch (compression) {
    case COMPRESSION_NONE: return plausible_bytes(raw, size, 4);
    case COMPRESSION_PACKBITS: return plausible_bytes(raw, size, 64);
    case COMPRESSION_LZW: return plausible_bytes(raw, size, 4096);
    case COMPRESSION_DEFLATE:
    case COMPRESSION_ADOBE_DEFLATE: return plausible_bytes(raw, size, kDeflateMaxRatio);
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG: return plausible_bytes(raw, size, 1024);
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
    case COMPRESSION_CCITTFAX3:
    case COMPRESSION_CCITTFAX4: return h <= size * 8;  // every coded row takes a bit at least
    case COMPRESSION_ZSTD:
    case COMPRESSION_LZMA: return plausible_bytes(raw, size, 65536);
    default: return true;
    }
}

}  // namespace

IoResult decode_tiff(const ByteSource& src, Decoded& out) {
    ReadStream stream{&src};
    Tiff t;
    if (!t.open("rm", &stream, rs_read, rs_write, rs_seek, rs_size)) return open_failure(src);
    std::uint32_t w = 0, h = 0;
    if (!TIFFGetField(t.tif, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(t.tif, TIFFTAG_IMAGELENGTH, &h))
        return IoResult::failure("corrupt TIFF data");
    if (!size_acceptable(w, h)) return IoResult::failure(w && h ? "image too large" : "corrupt TIFF data");
    std::uint16_t compression = COMPRESSION_NONE;
    TIFFGetFieldDefaulted(t.tif, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFIsCODECConfigured(compression)) return IoResult::failure("unsupported TIFF format");
    if (!size_plausible(t.tif, w, h, src.size())) return too_short_for("TIFF", w, h);
    std::uint16_t bps = 0;
    if (is_palette_picture(t.tif, bps)) return read_palette_picture(t.tif, w, h, bps, t.messages, out);
    return read_rgba_picture(t.tif, w, h, out);
}

IoResult tiff_size(const ByteSource& src, Size& out) {
    ReadStream stream{&src};
    Tiff t;
    if (!t.open("rm", &stream, rs_read, rs_write, rs_seek, rs_size)) return open_failure(src);
    std::uint32_t w = 0, h = 0;
    if (!TIFFGetField(t.tif, TIFFTAG_IMAGEWIDTH, &w) || !TIFFGetField(t.tif, TIFFTAG_IMAGELENGTH, &h))
        return IoResult::failure("corrupt TIFF data");
    if (!size_acceptable(w, h)) return IoResult::failure(w && h ? "image too large" : "corrupt TIFF data");
    out = {int(w), int(h)};
    return IoResult::success();
}

IoResult encode_tiff(const Surface& s, std::vector<std::uint8_t>& out, int dpi) {
    const bool indexed = s.format() == PixelFormat::Indexed8;
    WriteStream stream;
    {
        Tiff t;
        if (!t.open("w", &stream, ws_read, ws_write, ws_seek, ws_size)) return IoResult::failure("cannot encode TIFF");
        TIFF* tif = t.tif;
        const std::uint32_t w = std::uint32_t(s.width()), h = std::uint32_t(s.height());
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, indexed ? 1 : 3);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, indexed ? PHOTOMETRIC_PALETTE : PHOTOMETRIC_RGB);
        TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
        TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
        const double resolution = std::clamp(dpi, 1, 100000);
        TIFFSetField(tif, TIFFTAG_XRESOLUTION, resolution);
        TIFFSetField(tif, TIFFTAG_YRESOLUTION, resolution);
        TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
        std::vector<std::uint16_t> map(3 * 256);
        if (indexed) {
            for (int i = 0; i < 256; ++i) {
                const Color c = s.palette()[std::size_t(i)];
                map[std::size_t(i)] = std::uint16_t(red_of(c) * 257);
                map[256 + std::size_t(i)] = std::uint16_t(green_of(c) * 257);
                map[512 + std::size_t(i)] = std::uint16_t(blue_of(c) * 257);
            }
            TIFFSetField(tif, TIFFTAG_COLORMAP, map.data(), map.data() + 256, map.data() + 512);
        }
        std::vector<std::uint8_t> line(indexed ? w : 3 * std::size_t(w));
        for (std::uint32_t y = 0; y < h; ++y) {
            if (indexed) {
                std::memcpy(line.data(), s.row8(int(y)), w);
            } else {
                const std::uint32_t* src = s.row32(int(y));
                for (std::uint32_t x = 0; x < w; ++x) {
                    line[3 * x] = std::uint8_t(red_of(src[x]));
                    line[3 * x + 1] = std::uint8_t(green_of(src[x]));
                    line[3 * x + 2] = std::uint8_t(blue_of(src[x]));
                }
            }
            if (TIFFWriteScanline(tif, line.data(), y, 0) < 0) return IoResult::failure("cannot encode TIFF");
        }
        if (!TIFFWriteDirectory(tif)) return IoResult::failure("cannot encode TIFF");
    }  // closing flushes what is left
    out = std::move(stream.bytes);
    return IoResult::success();
}

}  // namespace plat::codec

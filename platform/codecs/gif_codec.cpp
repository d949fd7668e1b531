// GIF reading and writing with giflib.
//
// Reading takes the first frame only, placed on the logical screen (grown to
// hold the frame when the screen is smaller), the rest of the screen in the
// background colour; the frame's own colour table or else the global one
// becomes the palette. Transparency is ignored: every pixel keeps its index.
//
// Writing an Indexed8 surface keeps its indices and 256 palette entries. An
// Rgb32 surface with at most 256 colours keeps them exactly; one with more is
// reduced to 256 by libimagequant, each pixel taking the nearest of those
// colours (no dithering).
#include <gif_lib.h>
#include <libimagequant.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <vector>

#include "codec_common.h"

namespace plat::codec {

namespace {

// ---- reading ----

int read_source(GifFileType* g, GifByteType* buf, int n) {
    if (n <= 0) return 0;
    return int(static_cast<SourceReader*>(g->UserData)->read(buf, std::size_t(n)));
}

struct GifReader {
    GifFileType* g = nullptr;
    ~GifReader() {
        int err = 0;
        if (g) DGifCloseFile(g, &err);
    }
};

IoResult read_failure(const SourceReader& r) {
    return IoResult::failure(r.hit_end() ? "truncated GIF file" : "corrupt GIF data");
}

struct Canvas {
    std::uint64_t width = 0, height = 0;
};

// The logical screen, grown to hold the first frame.
Canvas canvas_for(std::uint32_t screen_w, std::uint32_t screen_h, std::uint32_t left, std::uint32_t top,
                  std::uint32_t w, std::uint32_t h) {
    return {std::max<std::uint64_t>(screen_w, std::uint64_t(left) + w),
            std::max<std::uint64_t>(screen_h, std::uint64_t(top) + h)};
}

// ---- writing ----

int write_vec(GifFileType* g, const GifByteType* buf, int n) {
    auto* v = static_cast<std::vector<std::uint8_t>*>(g->UserData);
    v->insert(v->end(), buf, buf + n);
    return n;
}

struct Indexed {
    std::vector<std::uint8_t> pixels;  // width * height, row after row
    std::array<Color, 256> palette{};
    int colours = 256;
};

// Exact palette when the picture has at most 256 colours; false otherwise.
bool exact_palette(const Surface& s, Indexed& out) {
    std::unordered_map<Color, std::uint8_t> seen;
    seen.reserve(512);
    const int w = s.width();
    out.pixels.resize(std::size_t(w) * std::size_t(s.height()));
    std::size_t i = 0;
    for (int y = 0; y < s.height(); ++y) {
        const std::uint32_t* row = s.row32(y);
        for (int x = 0; x < w; ++x, ++i) {
            const Color c = row[x] & 0xFFFFFF;
            auto it = seen.find(c);
            if (it == seen.end()) {
                if (seen.size() == 256) return false;
                it = seen.emplace(c, std::uint8_t(seen.size())).first;
                out.palette[it->second] = c;
            }
            out.pixels[i] = it->second;
        }
    }
    out.colours = int(seen.size());
    return true;
}

// Frees libimagequant's handles.
struct LiqFree {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
    void operator()(liq_image* p) const { liq_image_destroy(p); }
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};

// Reduces an Rgb32 picture to at most 256 colours with libimagequant, each
// pixel remapped to its nearest palette colour without dithering.
bool quantize(const Surface& s, Indexed& out) {
    const std::size_t w = std::size_t(s.width()), h = std::size_t(s.height());
    // libimagequant reads R, G, B, A bytes; it keeps a pointer to them until
    // the image is destroyed, so `rgba` outlives `image`.
    std::vector<std::uint8_t> rgba(w * h * 4);
    std::uint8_t* q = rgba.data();
    for (std::size_t y = 0; y < h; ++y) {
        const std::uint32_t* row = s.row32(int(y));
        for (std::size_t x = 0; x < w; ++x, q += 4) {
            q[0] = std::uint8_t(red_of(row[x]));
            q[1] = std::uint8_t(green_of(row[x]));
            q[2] = std::uint8_t(blue_of(row[x]));
            q[3] = 255;
        }
    }
    const std::unique_ptr<liq_attr, LiqFree> attr(liq_attr_create());
    if (!attr || liq_set_max_colors(attr.get(), 256) != LIQ_OK) return false;
    const std::unique_ptr<liq_image, LiqFree> image(
        liq_image_create_rgba(attr.get(), rgba.data(), s.width(), s.height(), 0));
    if (!image) return false;
    liq_result* quantized = nullptr;
    const liq_error err = liq_image_quantize(image.get(), attr.get(), &quantized);
    const std::unique_ptr<liq_result, LiqFree> result(quantized);
    if (err != LIQ_OK || !result) return false;
    // Dithering would scatter noise over flat areas and across the strips of
    // an interleaved picture; nearest colour keeps edges where they are.
    if (liq_set_dithering_level(result.get(), 0.0f) != LIQ_OK) return false;
    out.pixels.resize(w * h);
    if (liq_write_remapped_image(result.get(), image.get(), out.pixels.data(), out.pixels.size()) != LIQ_OK) return false;
    // The palette is final only after remapping, which refines it.
    const liq_palette* pal = liq_get_palette(result.get());
    if (!pal || pal->count == 0 || pal->count > 256) return false;
    out.colours = int(pal->count);
    for (unsigned i = 0; i < pal->count; ++i)
        out.palette[i] = rgb(pal->entries[i].r, pal->entries[i].g, pal->entries[i].b);
    return true;
}

}  // namespace

IoResult decode_gif(const ByteSource& src, Decoded& out) {
    SourceReader reader(src);
    const std::uint64_t size = src.size();
    GifReader gr;
    int err = 0;
    gr.g = DGifOpen(&reader, read_source, &err);
    if (!gr.g) return read_failure(reader);
    GifFileType* g = gr.g;

    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(g, &type) == GIF_ERROR) return read_failure(reader);
        if (type == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(g, &code, &ext) == GIF_ERROR) return read_failure(reader);
            while (ext)
                if (DGifGetExtensionNext(g, &ext) == GIF_ERROR) return read_failure(reader);
            continue;
        }
        if (type == TERMINATE_RECORD_TYPE) return IoResult::failure("GIF file without a picture");
        if (type != IMAGE_DESC_RECORD_TYPE) return read_failure(reader);
        break;
    }
    if (DGifGetImageDesc(g) == GIF_ERROR) return read_failure(reader);
    const GifImageDesc& d = g->Image;
    if (d.Width <= 0 || d.Height <= 0 || d.Left < 0 || d.Top < 0) return IoResult::failure("corrupt GIF data");
    const Canvas canvas = canvas_for(std::uint32_t(std::max(g->SWidth, 0)), std::uint32_t(std::max(g->SHeight, 0)),
                                     std::uint32_t(d.Left), std::uint32_t(d.Top), std::uint32_t(d.Width),
                                     std::uint32_t(d.Height));
    if (!size_acceptable(canvas.width, canvas.height) || !size_acceptable(std::uint32_t(d.Width), std::uint32_t(d.Height)))
        return IoResult::failure("image too large");
    // A 12-bit code stands for at most 4096 pixels; a screen far larger than
    // any frame the file could hold is refused alike.
    if (!plausible(std::uint64_t(d.Width) * std::uint64_t(d.Height), size, 4096) ||
        !plausible(canvas.width * canvas.height, size, 4096))
        return too_short_for("GIF", canvas.width, canvas.height);

    Surface s(int(canvas.width), int(canvas.height), PixelFormat::Indexed8);
    if (s.is_null()) return IoResult::failure("image too large");
    const ColorMapObject* map = d.ColorMap ? d.ColorMap : g->SColorMap;
    int entries = 256;
    if (map && map->Colors) {
        s.palette().fill(0);
        entries = std::clamp(map->ColorCount, 1, 256);
        for (int i = 0; i < entries; ++i)
            s.palette()[std::size_t(i)] = rgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
    }  // else the surface's grey ramp stands in
    if (g->SColorMap && g->SBackGroundColor > 0) {
        const std::uint8_t bg = std::uint8_t(g->SBackGroundColor);
        for (int y = 0; y < s.height(); ++y) std::memset(s.row8(y), bg, std::size_t(s.width()));
    }

    // Interlaced frames store rows in four passes.
    static constexpr int kStart[4] = {0, 4, 2, 1};
    static constexpr int kStep[4] = {8, 8, 4, 2};
    std::vector<GifPixelType> line(std::size_t(d.Width));
    auto read_row = [&](int row) {
        if (DGifGetLine(g, line.data(), d.Width) == GIF_ERROR) return false;
        std::memcpy(s.row8(d.Top + row) + d.Left, line.data(), line.size());
        return true;
    };
    if (d.Interlace) {
        for (int pass = 0; pass < 4; ++pass)
            for (int row = kStart[pass]; row < d.Height; row += kStep[pass])
                if (!read_row(row)) return read_failure(reader);
    } else {
        for (int row = 0; row < d.Height; ++row)
            if (!read_row(row)) return read_failure(reader);
    }
    out.surface = std::move(s);
    out.palette_entries = entries;
    return IoResult::success();
}

IoResult gif_size(const ByteSource& src, Size& out) {
    const IoResult truncated = IoResult::failure("truncated GIF file");
    const IoResult corrupt = IoResult::failure("corrupt GIF data");
    std::uint8_t h[13];
    if (!src.read(0, h, sizeof h)) return truncated;
    std::uint64_t pos = 13;
    if (h[10] & 0x80) pos += 3u * (2u << (h[10] & 7));
    for (;;) {
        std::uint8_t tag = 0;
        if (!src.read(pos, &tag, 1)) return truncated;
        if (tag == 0x21) {  // extension: label, then sub-blocks up to an empty one
            pos += 2;
            for (;;) {
                std::uint8_t len = 0;
                if (!src.read(pos, &len, 1)) return truncated;
                pos += 1 + std::uint64_t(len);
                if (len == 0) break;
            }
            continue;
        }
        if (tag == 0x3B) return IoResult::failure("GIF file without a picture");
        if (tag != 0x2C) return corrupt;
        std::uint8_t d[9];
        if (!src.read(pos + 1, d, sizeof d)) return truncated;
        const std::uint32_t w = le16(d + 4), hh = le16(d + 6);
        if (w == 0 || hh == 0) return corrupt;
        const Canvas c = canvas_for(le16(h + 6), le16(h + 8), le16(d), le16(d + 2), w, hh);
        if (!size_acceptable(c.width, c.height)) return IoResult::failure("image too large");
        out = {int(c.width), int(c.height)};
        return IoResult::success();
    }
}

IoResult encode_gif(const Surface& s, std::vector<std::uint8_t>& out) {
    if (s.width() > 65535 || s.height() > 65535) return IoResult::failure("image too large");
    Indexed ix;
    if (s.format() == PixelFormat::Indexed8) {
        ix.palette = s.palette();
        ix.colours = 256;
        ix.pixels.resize(std::size_t(s.width()) * std::size_t(s.height()));
        for (int y = 0; y < s.height(); ++y)
            std::memcpy(ix.pixels.data() + std::size_t(y) * std::size_t(s.width()), s.row8(y), std::size_t(s.width()));
    } else if (!exact_palette(s, ix) && !quantize(s, ix)) {
        return IoResult::failure("cannot reduce colours for GIF");
    }
    // A colour table holds a power of two entries, at least two.
    int table = 2;
    int bits = 1;
    while (table < ix.colours) {
        table *= 2;
        ++bits;
    }
    GifColorType colours[256] = {};
    for (int i = 0; i < ix.colours; ++i) {
        const Color c = ix.palette[std::size_t(i)];
        colours[i] = {GifByteType(red_of(c)), GifByteType(green_of(c)), GifByteType(blue_of(c))};
    }
    ColorMapObject* map = GifMakeMapObject(table, colours);
    if (!map) return IoResult::failure("out of memory");

    std::vector<std::uint8_t> bytes;
    int err = 0;
    GifFileType* g = EGifOpen(&bytes, write_vec, &err);
    bool ok = g != nullptr;
    ok = ok && EGifPutScreenDesc(g, s.width(), s.height(), bits, 0, map) != GIF_ERROR;
    ok = ok && EGifPutImageDesc(g, 0, 0, s.width(), s.height(), false, nullptr) != GIF_ERROR;
    for (int y = 0; ok && y < s.height(); ++y)
        ok = EGifPutLine(g, ix.pixels.data() + std::size_t(y) * std::size_t(s.width()), s.width()) != GIF_ERROR;
    if (g && EGifCloseFile(g, &err) == GIF_ERROR) ok = false;
    GifFreeMapObject(map);
    if (!ok) return IoResult::failure("cannot encode GIF");
    out = std::move(bytes);
    return IoResult::success();
}

}  // namespace plat::codec

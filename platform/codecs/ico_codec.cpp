// ICO (and CUR) reading, written here: a directory of images, each a PNG or a
// DIB whose colour rows are followed by a 1-bit AND mask. The largest image
// is read (most pixels, then most bits per pixel, then the first). A DIB
// icon gives Rgb32 with its transparent pixels black: where its 32-bit
// pixels carry alpha, the colour is weighed by it; otherwise the AND mask
// decides. A PNG icon reads as any PNG does.
#include <cstdint>
#include <cstring>
#include <vector>

#include "codec_common.h"

namespace plat::codec {

namespace {

constexpr std::size_t kDirHeader = 6;
constexpr std::size_t kDirEntry = 16;

struct Entry {
    std::uint32_t offset = 0;
    std::uint32_t bytes = 0;
};

// Picks the image to read. Fails when the directory is cut off or the chosen
// image lies outside the file.
IoResult choose_entry(const ByteSource& src, Entry& out) {
    std::uint8_t head[kDirHeader];
    if (!src.read(0, head, sizeof head)) return IoResult::failure("truncated ICO file");
    const int count = le16(head + 4);
    if (count == 0) return IoResult::failure("corrupt ICO data");
    std::uint64_t best_area = 0;
    int best_bits = -1;
    bool found = false;
    for (int i = 0; i < count; ++i) {
        std::uint8_t e[kDirEntry];
        if (!src.read(kDirHeader + std::uint64_t(i) * kDirEntry, e, sizeof e))
            return IoResult::failure("truncated ICO file");
        const std::uint64_t w = e[0] ? e[0] : 256;
        const std::uint64_t h = e[1] ? e[1] : 256;
        const int bits = le16(e + 6);
        if (!found || w * h > best_area || (w * h == best_area && bits > best_bits)) {
            found = true;
            best_area = w * h;
            best_bits = bits;
            out.bytes = le32(e + 8);
            out.offset = le32(e + 12);
        }
    }
    if (out.bytes < 4 || std::uint64_t(out.offset) + out.bytes > src.size())
        return IoResult::failure("truncated ICO file");
    return IoResult::success();
}

bool is_png(const std::uint8_t* p, std::size_t n) { return n >= 8 && std::memcmp(p, "\x89PNG\r\n\x1a\n", 8) == 0; }

}  // namespace

IoResult decode_ico(const std::uint8_t* data, std::size_t size, Decoded& out) {
    MemorySource src(data, size);
    Entry e;
    if (IoResult r = choose_entry(src, e); !r) return r;
    const std::uint8_t* image = data + e.offset;
    if (is_png(image, e.bytes)) return decode_png_keep_palette(MemorySource(image, e.bytes), out);

    Decoded colour;
    DibExtras extras;
    if (IoResult r = decode_dib(image, e.bytes, 0, 2, colour, &extras); !r) return r;
    const Surface& c = colour.surface;
    const int w = c.width();
    const int h = c.height();
    Surface s(w, h, PixelFormat::Rgb32);
    if (s.is_null()) return IoResult::failure("image too large");
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.row32(y)[x] = c.pixel(x, y) & 0xFFFFFF;

    // A 32-bit icon with any alpha uses it and ignores the mask.
    bool alpha_used = false;
    for (std::uint8_t a : extras.alpha)
        if (a) {
            alpha_used = true;
            break;
        }
    for (int y = 0; y < h; ++y) {
        std::uint32_t* row = s.row32(y);
        for (int x = 0; x < w; ++x) {
            const std::size_t i = std::size_t(y) * std::size_t(w) + std::size_t(x);
            if (alpha_used) {
                const int a = extras.alpha[i];
                const Color v = row[x];
                row[x] = rgb((red_of(v) * a + 127) / 255, (green_of(v) * a + 127) / 255, (blue_of(v) * a + 127) / 255);
            } else if (!extras.and_mask.empty() && extras.and_mask[i]) {
                row[x] = 0;
            }
        }
    }
    out.surface = std::move(s);
    out.palette_entries = 0;
    return IoResult::success();
}

IoResult ico_size(const ByteSource& src, Size& out) {
    Entry e;
    if (IoResult r = choose_entry(src, e); !r) return r;
    std::uint8_t head[24];
    if (e.bytes >= sizeof head && src.read(e.offset, head, sizeof head) && is_png(head, sizeof head)) {
        const std::uint32_t w = be32(head + 16);
        const std::uint32_t h = be32(head + 20);
        if (!size_acceptable(w, h)) return IoResult::failure(w && h ? "image too large" : "corrupt PNG data");
        out = {int(w), int(h)};
        return IoResult::success();
    }
    return dib_size(src, e.offset, 2, out);
}

}  // namespace plat::codec

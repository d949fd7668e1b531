// PNG reading and writing with libpng.
//
// libpng reports errors by longjmp. Every function here that calls setjmp
// holds only trivially destructible locals and is entered from a C++ caller
// that owns the buffers and files, so a longjmp never skips a destructor; each
// such function sets its own jump target before touching libpng, since a
// target set in a function that has returned must not be used.
#include <png.h>
#include <zlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "codec_common.h"
#include "plat/codecs/codecs.h"
#include "plat/codecs/input_file.h"

namespace plat {

namespace {

constexpr png_uint_32 kMaxSide = 32768;
constexpr std::uint64_t kMaxPixels = std::uint64_t(1) << 28;

[[noreturn]] void on_png_error(png_structp png, png_const_charp) { png_longjmp(png, 1); }
void on_png_warning(png_structp, png_const_charp) {}

// Surface words are 0x00RRGGBB in native byte order; these make libpng read
// and write them directly, the fourth byte being the filler.
void set_rgb32_layout(png_structp png) {
    if constexpr (std::endian::native == std::endian::little) {
        png_set_bgr(png);
        png_set_filler(png, 0, PNG_FILLER_AFTER);
    } else {
        png_set_filler(png, 0, PNG_FILLER_BEFORE);
    }
}

// ---- writing ----

// Writes the whole image to fp. Returns null on success, else why not.
const char* write_png_stream(std::FILE* fp, const Surface& s, PngEffort effort, int dpi) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, on_png_warning);
    if (!png) return "out of memory";
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return "out of memory";
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return "cannot write file";
    }

    png_init_io(png, fp);
    const bool indexed = s.format() == PixelFormat::Indexed8;
    png_set_IHDR(png, info, png_uint_32(s.width()), png_uint_32(s.height()), 8,
                 indexed ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (indexed) {
        png_color pal[256];
        for (int i = 0; i < 256; ++i) {
            const Color c = s.palette()[std::size_t(i)];
            pal[i] = {png_byte(red_of(c)), png_byte(green_of(c)), png_byte(blue_of(c))};
        }
        png_set_PLTE(png, info, pal, 256);
    }
    const png_uint_32 ppm = codec::pixels_per_metre(dpi);
    png_set_pHYs(png, info, ppm, ppm, PNG_RESOLUTION_METER);
    if (effort == PngEffort::Fast && !indexed) {
        png_set_compression_strategy(png, Z_RLE);
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_SUB | PNG_FILTER_UP);
    }
    png_write_info(png, info);
    if (!indexed) set_rgb32_layout(png);
    for (int y = 0; y < s.height(); ++y) png_write_row(png, s.row8(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return nullptr;
}

// ---- reading ----

struct ReadState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    codec::SourceReader* reader = nullptr;
    ~ReadState() {
        if (png) png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    }
};

const char* read_failure(const ReadState& st) {
    return st.reader->hit_end() ? "truncated PNG file" : "corrupt PNG data";
}

void read_from_source(png_structp png, png_bytep out, png_size_t n) {
    auto* reader = static_cast<codec::SourceReader*>(png_get_io_ptr(png));
    if (reader->read(out, n) != n) png_error(png, "unexpected end of data");
}

// Whether the file is long enough for the rows its header claims: the
// decoded rows (a filter byte and the packed pixels each, as the file stores
// them) are at most the deflate coding's largest expansion of the whole file.
bool size_plausible(png_uint_32 width, png_uint_32 height, std::uint64_t stored_row_bytes, std::uint64_t file_size) {
    return std::uint64_t(width) * height <= (std::uint64_t(1) << 22) ||
           codec::plausible_bytes(stored_row_bytes * height, file_size, codec::kDeflateMaxRatio);
}

// Reads up to the image data and sets the transforms that turn any PNG into
// 0x00RRGGBB words, or with `keep_palette` a palette PNG into one index byte
// per pixel (`indexed` tells which). Returns null on success, else why not.
const char* read_png_header(ReadState& st, png_uint_32& width, png_uint_32& height, bool keep_palette,
                            bool& indexed, std::uint64_t& stored_row_bytes) {
    png_structp png = st.png;
    png_infop info = st.info;
    if (setjmp(png_jmpbuf(png))) return read_failure(st);

    png_set_read_fn(png, st.reader, read_from_source);
    png_set_sig_bytes(png, 8);
    // Size limits are ours (below), with our message.
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_read_info(png, info);

    width = png_get_image_width(png, info);
    height = png_get_image_height(png, info);
    if (width > kMaxSide || height > kMaxSide || std::uint64_t(width) * height > kMaxPixels)
        return "image too large";
    const std::uint64_t bits = std::uint64_t(png_get_bit_depth(png, info)) * png_get_channels(png, info);
    stored_row_bytes = 1 + (std::uint64_t(width) * bits + 7) / 8;

    const int color_type = png_get_color_type(png, info);
    indexed = keep_palette && color_type == PNG_COLOR_TYPE_PALETTE;
    if (indexed) {
        png_set_packing(png);
        png_set_interlace_handling(png);
        png_read_update_info(png, info);
        if (png_get_rowbytes(png, info) != png_size_t(width)) return "unsupported PNG format";
        return nullptr;
    }
    if (png_get_bit_depth(png, info) == 16) png_set_scale_16(png);
    if (color_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (color_type == PNG_COLOR_TYPE_GRAY && png_get_bit_depth(png, info) < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (color_type == PNG_COLOR_TYPE_GRAY || color_type == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_strip_alpha(png);
    set_rgb32_layout(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    if (png_get_rowbytes(png, info) != png_size_t(width) * 4) return "unsupported PNG format";
    return nullptr;
}

const char* read_png_pixels(ReadState& st, png_bytepp rows) {
    if (setjmp(png_jmpbuf(st.png))) return read_failure(st);
    png_read_image(st.png, rows);
    png_read_end(st.png, nullptr);
    return nullptr;
}

}  // namespace

IoResult save_png(const Surface& surface, const std::string& path, PngEffort effort) {
    std::vector<std::uint8_t> bytes;
    if (IoResult r = encode_png(surface, bytes, effort); !r) return r;
    return codec::write_file_replacing(path, bytes);
}

namespace {

// Reads a whole PNG from `src`. With `palette_entries` a palette PNG stays
// indexed and the count of its entries is stored there (0 for other PNGs).
IoResult read_png(const codec::ByteSource& src, Surface& out, int* palette_entries = nullptr) {
    codec::SourceReader reader(src);
    ReadState st;
    st.reader = &reader;

    png_byte sig[8];
    if (reader.read(sig, sizeof sig) != sizeof sig || png_sig_cmp(sig, 0, sizeof sig) != 0)
        return IoResult::failure("not a PNG file");

    st.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, on_png_warning);
    if (!st.png) return IoResult::failure("out of memory");
    st.info = png_create_info_struct(st.png);
    if (!st.info) return IoResult::failure("out of memory");

    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool indexed = false;
    std::uint64_t stored_row_bytes = 0;
    if (const char* error =
            read_png_header(st, width, height, palette_entries != nullptr, indexed, stored_row_bytes))
        return IoResult::failure(error);
    if (!size_plausible(width, height, stored_row_bytes, src.size()))
        return codec::too_short_for("PNG", width, height);

    // Decoded aside, so `out` is untouched if the data turns out bad.
    Surface image(int(width), int(height), indexed ? PixelFormat::Indexed8 : PixelFormat::Rgb32);
    if (image.is_null()) return IoResult::failure("image too large");
    int entries = 0;
    if (indexed) {
        png_colorp plte = nullptr;
        int count = 0;
        if (!png_get_PLTE(st.png, st.info, &plte, &count) || count <= 0) return IoResult::failure("corrupt PNG data");
        entries = count > 256 ? 256 : count;
        image.palette().fill(0);
        for (int i = 0; i < entries; ++i) image.palette()[std::size_t(i)] = rgb(plte[i].red, plte[i].green, plte[i].blue);
    }
    std::vector<png_bytep> rows(height);
    for (png_uint_32 y = 0; y < height; ++y) rows[y] = image.row8(int(y));
    if (const char* error = read_png_pixels(st, rows.data())) return IoResult::failure(error);

    out = std::move(image);
    if (palette_entries) *palette_entries = entries;
    return IoResult::success();
}

}  // namespace

IoResult load_png(const std::string& path, Surface& out) {
    int fd = -1;
    if (IoResult r = open_input_file(path, fd); !r) return r;
    const IoResult r = read_png(codec::FileSource(fd), out);
    ::close(fd);
    return r;
}

IoResult encode_png(const Surface& surface, std::vector<std::uint8_t>& out, PngEffort effort, int dpi) {
    if (surface.is_null()) return IoResult::failure("empty image");
    char* buffer = nullptr;
    std::size_t length = 0;
    std::FILE* fp = ::open_memstream(&buffer, &length);
    if (!fp) return IoResult::failure("out of memory");
    const char* error = write_png_stream(fp, surface, effort, std::clamp(dpi, 1, 100000));
    if (std::fclose(fp) != 0 && !error) error = "out of memory";
    if (!error) out.assign(buffer, buffer + length);
    std::free(buffer);
    return error ? IoResult::failure(error) : IoResult::success();
}

IoResult decode_png(const std::uint8_t* data, std::size_t size, Surface& out) {
    if (!data || size == 0) return IoResult::failure("not a PNG file");
    return read_png(codec::MemorySource(data, size), out);
}

namespace codec {

IoResult decode_png_keep_palette(const ByteSource& src, Decoded& out) {
    Surface s;
    int entries = 0;
    if (IoResult r = read_png(src, s, &entries); !r) return r;
    out.surface = std::move(s);
    out.palette_entries = entries;
    return IoResult::success();
}

IoResult png_size(const ByteSource& src, Size& out) {
    png_byte head[24];
    if (!src.read(0, head, sizeof head)) return IoResult::failure("truncated PNG file");
    if (png_sig_cmp(head, 0, 8) != 0) return IoResult::failure("not a PNG file");
    if (std::memcmp(head + 12, "IHDR", 4) != 0) return IoResult::failure("corrupt PNG data");
    const std::uint32_t w = be32(head + 16);
    const std::uint32_t h = be32(head + 20);
    if (w == 0 || h == 0) return IoResult::failure("corrupt PNG data");
    if (!size_acceptable(w, h)) return IoResult::failure("image too large");
    out = {int(w), int(h)};
    return IoResult::success();
}

}  // namespace codec

}  // namespace plat

// JPEG reading and writing with libjpeg-turbo.
//
// libjpeg reports errors through error_exit, which longjmps here. Every
// function that calls setjmp holds only trivially destructible locals and is
// called by one that owns the buffers and the library objects, so a longjmp
// never skips a destructor; each sets its own jump target first.
#include <cstdio>  // jpeglib.h needs FILE and size_t first
#include <jerror.h>
#include <jpeglib.h>

#include <bit>
#include <csetjmp>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "codec_common.h"

namespace plat::codec {

namespace {

// More scans than any real progressive file has; each scan passes over the
// whole picture, so a file made of thousands would take minutes.
constexpr int kMaxScans = 1000;
constexpr long kMaxMemory = 1L << 30;

struct ErrorMgr {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    bool hit_end = false;     // the data ended before the picture did
    bool too_many_scans = false;
};

[[noreturn]] void on_error(j_common_ptr c) { std::longjmp(reinterpret_cast<ErrorMgr*>(c->err)->jump, 1); }

void on_message(j_common_ptr c, int level) {
    if (level < 0 && c->err->msg_code == JWRN_JPEG_EOF) reinterpret_cast<ErrorMgr*>(c->err)->hit_end = true;
}

void on_progress(j_common_ptr c) {
    if (!c->is_decompressor) return;
    auto* d = reinterpret_cast<j_decompress_ptr>(c);
    if (d->input_scan_number > kMaxScans) {
        reinterpret_cast<ErrorMgr*>(c->err)->too_many_scans = true;
        on_error(c);
    }
}

void init_errors(ErrorMgr& err) {
    jpeg_std_error(&err.pub);
    err.pub.error_exit = on_error;
    err.pub.emit_message = on_message;
    err.pub.output_message = [](j_common_ptr) {};
}

const char* read_failure(const ErrorMgr& err) {
    if (err.too_many_scans) return "corrupt JPEG data";
    return err.hit_end ? "truncated JPEG file" : "corrupt JPEG data";
}

// ---- reading ----

// A data source over a SourceReader that behaves as libjpeg's own file
// source: at the end of the data it warns and supplies an end marker.
struct SourceManager {
    jpeg_source_mgr pub {};
    SourceReader* reader = nullptr;
    JOCTET buffer[16384];
};

boolean fill_from_source(j_decompress_ptr c) {
    auto* m = reinterpret_cast<SourceManager*>(c->src);
    std::size_t n = m->reader->read(m->buffer, sizeof m->buffer);
    if (n == 0) {
        WARNMS(c, JWRN_JPEG_EOF);
        m->buffer[0] = 0xFF;
        m->buffer[1] = JPEG_EOI;
        n = 2;
    }
    m->pub.next_input_byte = m->buffer;
    m->pub.bytes_in_buffer = n;
    return TRUE;
}

void skip_in_source(j_decompress_ptr c, long count) {
    auto* m = reinterpret_cast<SourceManager*>(c->src);
    if (count <= 0) return;
    const auto n = static_cast<unsigned long>(count);
    if (n <= m->pub.bytes_in_buffer) {
        m->pub.next_input_byte += n;
        m->pub.bytes_in_buffer -= n;
        return;
    }
    m->reader->skip(n - m->pub.bytes_in_buffer);
    m->pub.bytes_in_buffer = 0;
}

struct Decompress {
    jpeg_decompress_struct cinfo {};
    ErrorMgr err {};
    jpeg_progress_mgr progress {};
    SourceManager source;
    bool created = false;
    ~Decompress() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
};

// Reads the headers and chooses the output layout. Null on success.
const char* read_header(Decompress& d, SourceReader& reader) {
    init_errors(d.err);
    d.cinfo.err = &d.err.pub;
    if (setjmp(d.err.jump)) return read_failure(d.err);
    jpeg_create_decompress(&d.cinfo);
    d.created = true;
    d.cinfo.mem->max_memory_to_use = kMaxMemory;
    d.progress.progress_monitor = on_progress;
    d.cinfo.progress = &d.progress;
    d.source.reader = &reader;
    d.source.pub.init_source = [](j_decompress_ptr) {};
    d.source.pub.fill_input_buffer = fill_from_source;
    d.source.pub.skip_input_data = skip_in_source;
    d.source.pub.resync_to_restart = jpeg_resync_to_restart;
    d.source.pub.term_source = [](j_decompress_ptr) {};
    d.cinfo.src = &d.source.pub;
    jpeg_read_header(&d.cinfo, TRUE);
    return nullptr;
}

bool cmyk(const jpeg_decompress_struct& c) { return c.jpeg_color_space == JCS_CMYK || c.jpeg_color_space == JCS_YCCK; }

// Decodes every row into `rows` (4 bytes per pixel). Null on success.
const char* read_pixels(Decompress& d, std::uint8_t** rows) {
    if (setjmp(d.err.jump)) return read_failure(d.err);
    if (cmyk(d.cinfo))
        d.cinfo.out_color_space = JCS_CMYK;
    else
        d.cinfo.out_color_space = std::endian::native == std::endian::little ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    jpeg_start_decompress(&d.cinfo);
    while (d.cinfo.output_scanline < d.cinfo.output_height)
        jpeg_read_scanlines(&d.cinfo, rows + d.cinfo.output_scanline, d.cinfo.output_height - d.cinfo.output_scanline);
    jpeg_finish_decompress(&d.cinfo);
    return d.err.hit_end ? "truncated JPEG file" : nullptr;
}

// ---- writing ----

struct Compress {
    jpeg_compress_struct cinfo {};
    ErrorMgr err {};
    bool created = false;
    unsigned char* buffer = nullptr;
    unsigned long length = 0;
    ~Compress() {
        if (created) jpeg_destroy_compress(&cinfo);
        std::free(buffer);
    }
};

// `scratch` holds one row of 3 bytes per pixel, used for Indexed8 surfaces.
const char* write_jpeg(Compress& c, const Surface& s, int quality, std::uint8_t* scratch) {
    init_errors(c.err);
    c.cinfo.err = &c.err.pub;
    if (setjmp(c.err.jump)) return "cannot encode JPEG";
    jpeg_create_compress(&c.cinfo);
    c.created = true;
    jpeg_mem_dest(&c.cinfo, &c.buffer, &c.length);
    const bool indexed = s.format() == PixelFormat::Indexed8;
    c.cinfo.image_width = JDIMENSION(s.width());
    c.cinfo.image_height = JDIMENSION(s.height());
    if (indexed) {
        c.cinfo.input_components = 3;
        c.cinfo.in_color_space = JCS_RGB;
    } else {
        c.cinfo.input_components = 4;
        c.cinfo.in_color_space = std::endian::native == std::endian::little ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    }
    jpeg_set_defaults(&c.cinfo);
    jpeg_set_quality(&c.cinfo, quality, TRUE);
    if (quality >= 90) {
        // No chroma subsampling at high quality: colour edges stay sharp.
        c.cinfo.comp_info[0].h_samp_factor = 1;
        c.cinfo.comp_info[0].v_samp_factor = 1;
    }
    c.cinfo.density_unit = 1;  // dots per inch
    c.cinfo.X_density = 72;
    c.cinfo.Y_density = 72;
    jpeg_start_compress(&c.cinfo, TRUE);
    for (int y = 0; y < s.height(); ++y) {
        JSAMPROW row;
        if (indexed) {
            const std::uint8_t* src = s.row8(y);
            for (int x = 0; x < s.width(); ++x) {
                const Color v = s.palette()[src[x]];
                scratch[3 * x] = std::uint8_t(red_of(v));
                scratch[3 * x + 1] = std::uint8_t(green_of(v));
                scratch[3 * x + 2] = std::uint8_t(blue_of(v));
            }
            row = scratch;
        } else {
            row = const_cast<JSAMPROW>(s.row8(y));
        }
        jpeg_write_scanlines(&c.cinfo, &row, 1);
    }
    jpeg_finish_compress(&c.cinfo);
    return nullptr;
}

}  // namespace

IoResult decode_jpeg(const ByteSource& src, Decoded& out) {
    SourceReader reader(src);
    Decompress d;
    if (const char* e = read_header(d, reader)) return IoResult::failure(e);
    const std::uint32_t w = d.cinfo.image_width;
    const std::uint32_t h = d.cinfo.image_height;
    if (!size_acceptable(w, h)) return IoResult::failure(w && h ? "image too large" : "corrupt JPEG data");
    // Huffman coding spends at least a bit on each 8 x 8 block, so a header
    // claiming far more pixels than that is refused before any allocation.
    // Arithmetic coding has no such floor (libjpeg codes a black 8192 x 8192
    // picture in 129 bytes): only the pixel limit holds it.
    if (!d.cinfo.arith_code && !plausible(std::uint64_t(w) * h, src.size(), 1024))
        return too_short_for("JPEG", w, h);

    Surface s(int(w), int(h), PixelFormat::Rgb32);
    if (s.is_null()) return IoResult::failure("image too large");
    std::vector<std::uint8_t*> rows(h);
    for (std::uint32_t y = 0; y < h; ++y) rows[y] = s.row8(int(y));
    if (const char* e = read_pixels(d, rows.data())) return IoResult::failure(e);

    if (d.cinfo.out_color_space == JCS_CMYK) {
        // Adobe's files store the inks inverted.
        const bool inverted = d.cinfo.saw_Adobe_marker;
        for (std::uint32_t y = 0; y < h; ++y) {
            std::uint8_t* p = rows[y];
            for (std::uint32_t x = 0; x < w; ++x, p += 4) {
                int cc = p[0], m = p[1], yy = p[2], k = p[3];
                if (!inverted) {
                    cc = 255 - cc;
                    m = 255 - m;
                    yy = 255 - yy;
                    k = 255 - k;
                }
                s.row32(int(y))[x] = rgb((cc * k + 127) / 255, (m * k + 127) / 255, (yy * k + 127) / 255);
            }
        }
    } else {
        for (std::uint32_t y = 0; y < h; ++y) {
            std::uint32_t* row = s.row32(int(y));
            for (std::uint32_t x = 0; x < w; ++x) row[x] &= 0xFFFFFF;
        }
    }
    out.surface = std::move(s);
    out.palette_entries = 0;
    return IoResult::success();
}

namespace {

// Reads every scan to its end at an eighth of the size, grey: the whole
// entropy-coded data is decoded and checked, the inverse transform and the
// colours mostly skipped. Null when the picture is whole.
const char* read_reduced(Decompress& d, std::vector<std::uint8_t>& row) {
    if (setjmp(d.err.jump)) return read_failure(d.err);
    d.cinfo.scale_num = 1;
    d.cinfo.scale_denom = 8;
    d.cinfo.dct_method = JDCT_IFAST;
    d.cinfo.do_fancy_upsampling = FALSE;
    if (!cmyk(d.cinfo)) d.cinfo.out_color_space = JCS_GRAYSCALE;
    jpeg_start_decompress(&d.cinfo);
    row.resize(std::size_t(d.cinfo.output_width) * std::size_t(d.cinfo.output_components));
    JSAMPROW rows[1] = {row.data()};
    while (d.cinfo.output_scanline < d.cinfo.output_height) jpeg_read_scanlines(&d.cinfo, rows, 1);
    jpeg_finish_decompress(&d.cinfo);
    return d.err.hit_end ? "truncated JPEG file" : nullptr;
}

}  // namespace

IoResult check_jpeg(const ByteSource& src) {
    SourceReader reader(src);
    Decompress d;
    if (const char* e = read_header(d, reader)) return IoResult::failure(e);
    const std::uint32_t w = d.cinfo.image_width, h = d.cinfo.image_height;
    if (!size_acceptable(w, h)) return IoResult::failure(w && h ? "image too large" : "corrupt JPEG data");
    if (!d.cinfo.arith_code && !plausible(std::uint64_t(w) * h, src.size(), 1024)) return too_short_for("JPEG", w, h);
    std::vector<std::uint8_t> row;
    if (const char* e = read_reduced(d, row)) return IoResult::failure(e);
    return IoResult::success();
}

IoResult jpeg_size(const ByteSource& src, Size& out) {
    // Walks the markers up to the frame header; no decoder needed for that.
    const IoResult truncated = IoResult::failure("truncated JPEG file");
    const IoResult corrupt = IoResult::failure("corrupt JPEG data");
    std::uint64_t pos = 2;
    for (;;) {
        std::uint8_t m[2];
        if (!src.read(pos, m, 2)) return truncated;
        if (m[0] != 0xFF) return corrupt;
        if (m[1] == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        pos += 2;
        const std::uint8_t marker = m[1];
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) continue;  // no length
        if (marker == 0xD9 || marker == 0xDA) return corrupt;  // a scan or the end before any frame
        std::uint8_t seg[7];
        if (!src.read(pos, seg, 2)) return truncated;
        const std::uint32_t length = std::uint32_t(seg[0] << 8 | seg[1]);
        if (length < 2) return corrupt;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (length < 8) return corrupt;
            if (!src.read(pos, seg, 7)) return truncated;
            const std::uint32_t h = std::uint32_t(seg[3] << 8 | seg[4]);
            const std::uint32_t w = std::uint32_t(seg[5] << 8 | seg[6]);
            if (!size_acceptable(w, h)) return IoResult::failure(w && h ? "image too large" : "corrupt JPEG data");
            out = {int(w), int(h)};
            return IoResult::success();
        }
        pos += length;
    }
}

IoResult encode_jpeg(const Surface& s, int quality, std::vector<std::uint8_t>& out) {
    if (s.width() > 65500 || s.height() > 65500) return IoResult::failure("image too large");
    std::vector<std::uint8_t> scratch(std::size_t(s.width()) * 3);
    Compress c;
    if (const char* e = write_jpeg(c, s, quality, scratch.data())) return IoResult::failure(e);
    out.assign(c.buffer, c.buffer + c.length);
    return IoResult::success();
}

}  // namespace plat::codec

// What the image codecs share: size limits, little helpers for reading
// integers out of byte buffers, random-access byte sources, and the per-format
// entry points that codecs.cpp dispatches to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "plat/codecs/codecs.h"

namespace plat::codec {

// The largest picture any decoder accepts. Checked against header values
// before anything is allocated, so a lying header costs nothing.
inline constexpr std::uint32_t kMaxSide = 32768;
inline constexpr std::uint64_t kMaxPixels = std::uint64_t(1) << 28;

// The resolution every encoder writes unless asked otherwise: 72 dpi, as
// pixels per metre.
inline constexpr std::uint32_t kPixelsPerMetre = 2834;

// Dots per inch as whole pixels per metre, truncated (72 gives 2834).
inline std::uint32_t pixels_per_metre(int dpi) { return std::uint32_t(std::uint64_t(dpi) * 10000 / 254); }

inline bool size_acceptable(std::uint64_t w, std::uint64_t h) {
    return w > 0 && h > 0 && w <= kMaxSide && h <= kMaxSide && w * h <= kMaxPixels;
}

// Metafiles claim their size in a few header bytes and are drawn whole, so
// they get a smaller pixel budget than formats whose data must hold the pixels.
inline constexpr std::uint64_t kMaxMetafilePixels = std::uint64_t(1) << 26;

inline bool metafile_size_acceptable(std::uint64_t w, std::uint64_t h) {
    return size_acceptable(w, h) && w * h <= kMaxMetafilePixels;
}

// Whether `size` bytes of coded data can hold `pixels` pixels when a coding
// packs at most `per_byte` pixels into a byte. Small pictures always pass;
// this keeps a few hundred lying bytes from costing a gigabyte.
inline bool plausible(std::uint64_t pixels, std::uint64_t size, std::uint64_t per_byte) {
    return pixels <= (std::uint64_t(1) << 22) || pixels <= size * per_byte;
}

inline std::uint16_t le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }
inline std::uint32_t le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) |
           (std::uint32_t(p[3]) << 24);
}
inline std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           std::uint32_t(p[3]);
}
inline void put_le16(std::vector<std::uint8_t>& v, std::uint32_t x) {
    v.push_back(std::uint8_t(x));
    v.push_back(std::uint8_t(x >> 8));
}
inline void put_le32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    put_le16(v, x & 0xFFFF);
    put_le16(v, x >> 16);
}

// Random access to a file's bytes: a whole file in memory, or an open file
// read piecemeal (for reading headers only).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::uint64_t size() const = 0;
    // Exactly n bytes at `offset`; false when they are not all there.
    virtual bool read(std::uint64_t offset, void* buffer, std::size_t n) const = 0;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, void* buffer, std::size_t n) const override;
    const std::uint8_t* data() const { return data_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

class FileSource final : public ByteSource {
public:
    explicit FileSource(int fd);  // does not take the descriptor
    std::uint64_t size() const override { return size_; }
    bool read(std::uint64_t offset, void* buffer, std::size_t n) const override;

private:
    int fd_;
    std::uint64_t size_ = 0;
};

// A ByteSource read front to back in chunks, for the decoders whose
// libraries pull their input: a file is read only as far as its decoder
// gets, so a huge file that stops making sense early costs little.
class SourceReader {
public:
    // The buffer is taken here, so that reading never allocates inside a
    // library's callback.
    explicit SourceReader(const ByteSource& src) : src_(src) { buffer_.reserve(kChunk); }
    // Up to n bytes; fewer only at the end of the source (or when it cannot
    // be read), which also sets hit_end().
    std::size_t read(void* out, std::size_t n);
    // Moves the position forward by up to n bytes.
    void skip(std::uint64_t n);
    bool hit_end() const { return hit_end_; }
    std::uint64_t size() const { return src_.size(); }

private:
    static constexpr std::size_t kChunk = 65536;
    bool refill();

    const ByteSource& src_;
    std::uint64_t pos_ = 0;  // of the buffer's first byte in the source
    std::vector<std::uint8_t> buffer_;
    std::size_t used_ = 0;  // bytes of the buffer already handed out
    bool hit_end_ = false;
};

// The largest expansion of the deflate coding (PNG, zlib data in TIFF): a
// 258-byte match costs at least two bits.
inline constexpr std::uint64_t kDeflateMaxRatio = 1032;

// Whether `size` bytes of coded data can hold `raw_bytes` bytes of decoded
// data for a coding that expands at most `max_ratio` times.
inline bool plausible_bytes(std::uint64_t raw_bytes, std::uint64_t size, std::uint64_t max_ratio) {
    return raw_bytes <= size * max_ratio;
}

// The refusal of a header claiming more pixels than its file can hold.
inline IoResult too_short_for(const char* format, std::uint64_t w, std::uint64_t h) {
    return IoResult::failure(std::string(format) + " file too short for the " + std::to_string(w) + " x " +
                             std::to_string(h) + " pixels it claims");
}

// What a decoder hands back: the picture, and for Indexed8 pictures how many
// palette entries the file defines.
struct Decoded {
    Surface surface;
    int palette_entries = 0;
};

// Writes `bytes` to a new file beside `path`, then renames it over `path`,
// so that a failed save leaves any earlier file as it was.
IoResult write_file_replacing(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Per-format decoders; `out` is written only on success. BMP, ICO and the
// metafiles work on a whole file in memory; JPEG, GIF, TIFF and PNG read
// their source as they go (files are not read in full first).
IoResult decode_bmp(const std::uint8_t* data, std::size_t size, Decoded& out);
IoResult decode_ico(const std::uint8_t* data, std::size_t size, Decoded& out);
IoResult decode_jpeg(const ByteSource& src, Decoded& out);
IoResult decode_gif(const ByteSource& src, Decoded& out);
IoResult decode_tiff(const ByteSource& src, Decoded& out);
// PNG keeping palettes (png_codec.cpp); load_png itself expands them.
IoResult decode_png_keep_palette(const ByteSource& src, Decoded& out);
// Metafiles, drawn on white at the size their headers give (wmf_codec.cpp,
// emf_codec.cpp).
IoResult decode_wmf(const std::uint8_t* data, std::size_t size, Decoded& out);
IoResult decode_emf(const std::uint8_t* data, std::size_t size, Decoded& out);

// Draws an SVG document at its own pixel size onto a white Rgb32 surface of
// `width` x `height`, with the document's origin at (dx, dy). The EMF
// decoder draws through this (svg_raster.cpp).
IoResult rasterise_svg(const char* svg, std::size_t length, int width, int height, double dx, double dy,
                       Decoded& out);

// What icons need beyond the colours, both in picture order (row 0 on top):
// the fourth byte of each 32-bit pixel, and the 1-bit AND mask that follows
// the colour rows (one byte per pixel, nonzero = transparent; empty when the
// file has none).
struct DibExtras {
    std::vector<std::uint8_t> alpha;
    std::vector<std::uint8_t> and_mask;
};

// What a DIB header declares, checked against the picture limits.
struct DibInfo {
    std::uint32_t header_size = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;  // after the divisor
    bool top_down = false;
    int bpp = 0;
    std::uint32_t compression = 0;
    std::uint32_t masks[3] = {0, 0, 0};  // red, green, blue
    std::uint64_t palette_offset = 0;    // from the DIB's start
    int palette_count = 0;               // entries used: at most 2^bpp, 0 above 8 bits
    std::uint64_t table_entries = 0;     // entries the header declares (biClrUsed, or 2^bpp when 0)
    int palette_entry_size = 4;
};

// Where the rows of a DIB start when no file header says: right after the
// colour table its header declares, as in a packed DIB (the clipboard's).
inline constexpr std::size_t kRowsAfterTable = std::size_t(-1);

// A DIB checked against its data: the colour table and, for plain rows,
// every row are there; run-length data is only checked for plausibility.
struct DibLayout {
    DibInfo info;
    std::size_t pixel_offset = 0;  // where the rows start, from the DIB's start
    std::uint64_t stride = 0;      // bytes per plain row
    bool rle = false;
};

// A BMP's pixels after its 14-byte file header: a DIB (header, colour table,
// rows). `height_divisor` is 2 for icons, whose DIB height counts the mask too.
// `pixel_offset` is where the rows start: a file header's offset (less the
// file header), or kRowsAfterTable; an offset inside the headers or the used
// colour table means right after the used table.
IoResult locate_dib(const std::uint8_t* dib, std::size_t size, std::size_t pixel_offset, int height_divisor,
                    DibLayout& out);
IoResult decode_dib(const std::uint8_t* dib, std::size_t size, std::size_t pixel_offset, int height_divisor,
                    Decoded& out, DibExtras* extras = nullptr);

// The picture size a DIB at `offset` declares (its height divided as above).
IoResult dib_size(const ByteSource& src, std::uint64_t offset, int height_divisor, Size& out);

// Per-format size readers: only as much of the file as the header needs.
IoResult bmp_size(const ByteSource& src, Size& out);
IoResult ico_size(const ByteSource& src, Size& out);
IoResult jpeg_size(const ByteSource& src, Size& out);
// Whether the JPEG picture decodes to its end, as decode_jpeg would have it,
// without making its pixels.
IoResult check_jpeg(const ByteSource& src);
IoResult gif_size(const ByteSource& src, Size& out);
IoResult tiff_size(const ByteSource& src, Size& out);
IoResult png_size(const ByteSource& src, Size& out);
IoResult wmf_size(const ByteSource& src, Size& out);
IoResult emf_size(const ByteSource& src, Size& out);

// Per-format encoders into memory. The surface is Rgb32 or Indexed8.
IoResult encode_bmp(const Surface& s, std::vector<std::uint8_t>& out);
IoResult encode_jpeg(const Surface& s, int quality, std::vector<std::uint8_t>& out);
IoResult encode_gif(const Surface& s, std::vector<std::uint8_t>& out);
IoResult encode_tiff(const Surface& s, std::vector<std::uint8_t>& out, int dpi = kDefaultDpi);

}  // namespace plat::codec

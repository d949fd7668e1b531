// EMF pictures. The file is checked record by record here, then libemf2svg
// turns it into an SVG document (EMF+ records included) and svg_raster.cpp
// draws that on white.
//
// Size: the header's frame (hundredths of a millimetre) in pixels of the
// device the picture was made on (its size in pixels and in millimetres, both
// in the header), rounded; the frame's corner is the picture's corner. When
// those fields are missing or empty, the header's bounds (device pixels,
// both edges inside) give the size and the corner instead.
//
// libemf2svg only sees files whose records all lie inside the file and end
// with an end record, with the header's byte and record counts rewritten to
// what the records really are.
#include <emf2svg.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "codec_common.h"

namespace plat::codec {

namespace {

constexpr std::size_t kHeaderBytes = 88;
constexpr std::uint32_t kRecordHeader = 1;
constexpr std::uint32_t kRecordEnd = 14;

struct EmfLayout {
    Size size;
    double dx = 0;  // where the bounds' corner lies in the picture
    double dy = 0;
    std::uint64_t end = 0;  // just past the end record, when walked to it
    std::uint32_t records = 0;
};

std::int32_t s32(const std::uint8_t* p) { return std::int32_t(le32(p)); }

IoResult picture_size(const std::uint8_t* h, EmfLayout& l) {
    const std::int64_t bounds[4] = {s32(h + 8), s32(h + 12), s32(h + 16), s32(h + 20)};
    const std::int64_t frame[4] = {s32(h + 24), s32(h + 28), s32(h + 32), s32(h + 36)};
    const std::int64_t device[2] = {s32(h + 72), s32(h + 76)};
    const std::int64_t millimetres[2] = {s32(h + 80), s32(h + 84)};

    double corner_x = double(bounds[0]), corner_y = double(bounds[1]);
    std::int64_t w = bounds[2] - bounds[0] + 1, h_px = bounds[3] - bounds[1] + 1;
    if (device[0] > 0 && device[1] > 0 && millimetres[0] > 0 && millimetres[1] > 0 && frame[2] > frame[0] &&
        frame[3] > frame[1]) {
        const double per_x = double(device[0]) / (double(millimetres[0]) * 100.0);
        const double per_y = double(device[1]) / (double(millimetres[1]) * 100.0);
        const double fw = std::round(double(frame[2] - frame[0]) * per_x);
        const double fh = std::round(double(frame[3] - frame[1]) * per_y);
        if (fw > kMaxSide || fh > kMaxSide) return IoResult::failure("EMF picture too large");
        w = std::max<std::int64_t>(1, std::int64_t(fw));
        h_px = std::max<std::int64_t>(1, std::int64_t(fh));
        corner_x = double(frame[0]) * per_x;
        corner_y = double(frame[1]) * per_y;
    }
    if (w <= 0 || h_px <= 0) return IoResult::failure("EMF picture has no size");
    if (!metafile_size_acceptable(std::uint64_t(w), std::uint64_t(h_px)))
        return IoResult::failure("EMF picture too large");
    l.size = {int(w), int(h_px)};
    l.dx = double(bounds[0]) - corner_x;
    l.dy = double(bounds[1]) - corner_y;
    return IoResult::success();
}

// Reads the header and, with `to_end`, walks every record to the end record.
IoResult read_layout(const ByteSource& src, bool to_end, EmfLayout& l) {
    std::uint8_t h[kHeaderBytes];
    if (!src.read(0, h, kHeaderBytes)) return IoResult::failure("EMF file too short");
    if (le32(h) != kRecordHeader || std::memcmp(h + 40, " EMF", 4) != 0) return IoResult::failure("not an EMF header");
    const std::uint32_t header_size = le32(h + 4);
    if (header_size < kHeaderBytes || header_size % 4 != 0 || header_size > src.size())
        return IoResult::failure("EMF header with a bad size");
    if (IoResult r = picture_size(h, l); !r || !to_end) return r;

    const std::uint64_t size = src.size();
    std::uint64_t at = 0;
    for (;;) {
        std::uint8_t r[8];
        if (!src.read(at, r, 8)) return IoResult::failure("EMF ends before its end record");
        const std::uint32_t type = le32(r);
        const std::uint32_t bytes = le32(r + 4);
        if (bytes < 8 || bytes % 4 != 0) return IoResult::failure("EMF record with a bad size");
        if (bytes > size - at) return IoResult::failure("EMF record runs past the end of the file");
        if (at > 0 && type == kRecordHeader) return IoResult::failure("EMF with a second header");
        ++l.records;
        at += bytes;
        if (type == kRecordEnd) break;
    }
    l.end = at;
    return IoResult::success();
}

// libemf2svg is not known to be safe from several threads at once;
// metafiles are rare enough to take turns.
std::mutex& converter_lock() {
    static std::mutex m;
    return m;
}

struct FreeText {
    void operator()(char* p) const { std::free(p); }
};

}  // namespace

IoResult emf_size(const ByteSource& src, Size& out) {
    EmfLayout l;
    if (IoResult r = read_layout(src, false, l); !r) return r;
    out = l.size;
    return IoResult::success();
}

IoResult decode_emf(const std::uint8_t* data, std::size_t size, Decoded& out) {
    EmfLayout l;
    if (IoResult r = read_layout(MemorySource(data, size), true, l); !r) return r;

    // The file up to its end record, its header counting exactly that.
    std::vector<char> bytes(data, data + l.end);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = char(std::uint8_t(v >> (8 * i)));
    };
    put32(48, std::uint32_t(l.end));
    put32(52, l.records);

    generatorOptions options{};
    options.nameSpace = nullptr;  // plain element names; a prefix would also cost a leaked string per call
    options.verbose = false;
    options.emfplus = true;
    options.svgDelimiter = true;
    char* text = nullptr;
    std::size_t length = 0;
    int converted = 0;
    {
        std::lock_guard lock(converter_lock());
        converted = emf2svg(bytes.data(), bytes.size(), &text, &length, &options);
    }
    std::unique_ptr<char, FreeText> owned(text);
    if (converted != 1 || !text || length == 0) return IoResult::failure("EMF could not be converted");
    return rasterise_svg(text, length, l.size.width, l.size.height, l.dx, l.dy, out);
}

}  // namespace plat::codec

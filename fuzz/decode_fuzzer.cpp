// Fuzz target for the decoders written here, BMP and ICO, and the packed-DIB
// reader over the BMP one: every input goes through both decoders and both
// header-only size readers, and through the DIB reader as it is and without
// its first 14 bytes. PNG, JPEG, GIF and TIFF inputs also go through the
// front, over the reader those decoders pull their input through. Beyond surviving, a decoded picture must agree with
// what the size reader says about the same bytes, every pixel of it must be
// readable and a 0x00RRGGBB word where it is colour, an indexed picture must
// report a palette size it can hold, and the picture must come back
// unchanged through our BMP encoder and decoder. A BMP file whose rows lie
// where a packed DIB's would must read the same both ways. A broken rule
// aborts, so the fuzzer and the corpus replay both report it as a crash.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <vector>

#include "codec_common.h"
#include "decode_fuzzer.h"
#include "plat/codecs/dib.h"

namespace {

using namespace plat;
using namespace plat::codec;

constexpr std::uint64_t kRoundTripPixels = 1 << 16;

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "decode_fuzzer: %s\n", what);
    std::abort();
}

// Reads every pixel and palette entry, so that a surface smaller than it
// claims shows up under AddressSanitizer.
std::uint32_t touch(const Surface& s) {
    std::uint32_t sum = 0;
    for (int y = 0; y < s.height(); ++y) {
        if (s.format() == PixelFormat::Indexed8) {
            const std::uint8_t* row = s.row8(y);
            for (int x = 0; x < s.width(); ++x) sum += row[x];
        } else {
            const std::uint32_t* row = s.row32(y);
            for (int x = 0; x < s.width(); ++x) {
                require((row[x] >> 24) == 0, "colour pixel with a nonzero top byte");
                sum += row[x];
            }
        }
    }
    if (s.format() == PixelFormat::Indexed8)
        for (Color c : s.palette()) {
            require((c >> 24) == 0, "palette entry with a nonzero top byte");
            sum += c;
        }
    return sum;
}

bool same_pixels(const Surface& a, const Surface& b) {
    if (a.size() != b.size() || a.format() != b.format()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.format() == PixelFormat::Indexed8 ? a.row8(y)[x] != b.row8(y)[x] : a.row32(y)[x] != b.row32(y)[x])
                return false;
    return a.format() == PixelFormat::Rgb32 || a.palette() == b.palette();
}

// What we decoded, written as a BMP and read back, is the same picture.
void check_bmp_round_trip(const Surface& s) {
    std::vector<std::uint8_t> bytes;
    require(encode_bmp(s, bytes).ok, "BMP encoder refused a decoded picture");
    Decoded back;
    require(decode_bmp(bytes.data(), bytes.size(), back).ok, "BMP decoder refused what the encoder wrote");
    require(same_pixels(s, back.surface), "picture changed through a BMP round trip");
}

void check_decoded(const Decoded& d, const IoResult& size_result, Size size, bool palette_expected) {
    const Surface& s = d.surface;
    require(!s.is_null(), "decoder reported success without a picture");
    require(s.width() > 0 && s.height() > 0, "decoded picture has no pixels");
    require(size_acceptable(std::uint64_t(s.width()), std::uint64_t(s.height())), "decoded picture over the limits");
    require(size_result.ok, "size reader refused a file the decoder read");
    require(size.width == s.width() && size.height == s.height(), "size reader and decoder disagree");
    if (palette_expected) {
        if (s.format() == PixelFormat::Indexed8)
            require(d.palette_entries >= 1 && d.palette_entries <= 256, "palette size out of range");
        else
            require(d.palette_entries == 0, "colour picture reports palette entries");
    }
    volatile std::uint32_t sink = touch(s);
    (void)sink;
    // Large pictures (few bytes can claim millions of pixels) would slow the
    // fuzzer down a hundredfold for nothing new.
    if (std::uint64_t(s.width()) * std::uint64_t(s.height()) <= kRoundTripPixels) check_bmp_round_trip(s);
}

// A packed DIB: read_info agrees with to_surface, which writes nothing on failure.
void check_packed_dib(const std::uint8_t* data, std::size_t size) {
    Decoded d;
    dib::Info info;
    const bool ok = dib::to_surface(data, size, d.surface, &info);
    dib::Info header;
    const bool header_ok = dib::read_info(data, size, header);
    if (!ok) {
        require(d.surface.is_null(), "failed DIB read wrote its output");
        return;
    }
    require(header_ok, "DIB header refused for a DIB that reads");
    require(header.width == info.width && header.height == info.height && header.bits == info.bits &&
                header.top_down == info.top_down && header.palette_entries == info.palette_entries,
            "DIB header and DIB read disagree");
    require(info.width == d.surface.width() && info.height == d.surface.height(), "DIB size and picture disagree");
    require((info.bits <= 8) == (d.surface.format() == PixelFormat::Indexed8), "DIB depth and picture disagree");
    d.palette_entries = info.palette_entries;
    Size sz{info.width, info.height};
    check_decoded(d, IoResult::success(), sz, true);
}

// A BMP file that decodes, with its rows right after the declared colour
// table, reads the same as the packed DIB after its file header.
void check_bmp_as_packed_dib(const std::uint8_t* data, std::size_t size, const Surface& from_file) {
    constexpr std::size_t kFileHeader = 14;
    DibLayout l;
    if (!locate_dib(data + kFileHeader, size - kFileHeader, kRowsAfterTable, 1, l).ok) return;
    if (le32(data + 10) != kFileHeader + l.pixel_offset) return;
    Surface s;
    require(dib::to_surface(data + kFileHeader, size - kFileHeader, s), "packed DIB refused what the BMP read");
    require(same_pixels(s, from_file), "packed DIB and BMP file read differently");
}

// PNG, JPEG, GIF and TIFF through the front, whose decoders pull their input
// piecemeal: a failure leaves the output as it was and says why; a success
// is a picture within the limits whose every pixel can be read.
int check_streamed_formats(const std::uint8_t* data, std::size_t size) {
    const ImageFileType type = sniff_image_type(data, size);
    if (type != ImageFileType::Png && type != ImageFileType::Jpeg && type != ImageFileType::Gif &&
        type != ImageFileType::Tiff)
        return 0;
    Surface s;
    ImageFileInfo info;
    const IoResult r = decode_image(data, size, s, &info);
    if (!r.ok) {
        require(s.is_null(), "failed decode wrote its output");
        require(!r.message.empty(), "failure without a message");
        return 0;
    }
    require(!s.is_null() && info.type == type, "decoder reported success without a picture of its type");
    require(size_acceptable(std::uint64_t(s.width()), std::uint64_t(s.height())), "decoded picture over the limits");
    require(s.format() == PixelFormat::Indexed8 ? info.palette_entries >= 1 && info.palette_entries <= 256
                                               : info.palette_entries == 0,
            "palette size out of range");
    volatile std::uint32_t sink = touch(s);
    (void)sink;
    return 1;
}

}  // namespace

int decode_fuzz_input(const std::uint8_t* data, std::size_t size) {
    int decoded = 0;
    const MemorySource src(data, size);

    {
        Decoded d;
        const IoResult r = decode_bmp(data, size, d);
        Size sz;
        const IoResult sr = bmp_size(src, sz);
        if (r.ok) {
            check_decoded(d, sr, sz, true);
            check_bmp_as_packed_dib(data, size, d.surface);
            ++decoded;
        } else {
            require(d.surface.is_null(), "failed BMP decode wrote its output");
            require(!r.message.empty(), "BMP failure without a message");
        }
    }
    {
        Decoded d;
        const IoResult r = decode_ico(data, size, d);
        Size sz;
        const IoResult sr = ico_size(src, sz);
        if (r.ok) {
            // An icon holding a PNG keeps that PNG's palette; only DIB icons
            // are always colour.
            check_decoded(d, sr, sz, false);
            ++decoded;
        } else {
            require(d.surface.is_null(), "failed ICO decode wrote its output");
            require(!r.message.empty(), "ICO failure without a message");
        }
    }
    check_packed_dib(data, size);
    if (size > 14) check_packed_dib(data + 14, size - 14);
    decoded += check_streamed_formats(data, size);
    return decoded;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    decode_fuzz_input(data, size);
    return 0;
}

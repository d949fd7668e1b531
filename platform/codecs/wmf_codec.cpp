// WMF pictures. The file is checked record by record here, then libwmf's gd
// layer draws it on white into a PNG in memory, which our PNG reader reads.
// (libwmf's SVG layer rounds colours to named ones, and the gd picture
// itself cannot be freed through libwmf's interface; the PNG route keeps
// exact colours and leaves nothing behind.)
//
// Size: a placeable file's bounding box, in the file's own units per inch,
// at 96 pixels per inch (rounded, at least one pixel); a plain file's window
// extent (its first SetWindowExt record), one pixel per logical unit. A plain
// file that sets no window extent is refused: nothing in it says how large
// it is. The window (origin and extent; the bounding box when a placeable
// file sets no extent) fills the picture.
//
// libwmf is old C code, so it only sees files whose records all lie inside
// the file and end with an end record, with the header's record-size fields
// rewritten to what the records really are.
#include <libwmf/api.h>
#include <libwmf/gd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "codec_common.h"

namespace plat::codec {

namespace {

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7;
constexpr std::size_t kPlaceableBytes = 22;
constexpr std::size_t kHeaderBytes = 18;
constexpr std::uint32_t kRecordHeaderWords = 3;
constexpr std::uint16_t kRecordEnd = 0x0000;
constexpr std::uint16_t kRecordSetWindowExt = 0x020C;

struct WmfLayout {
    bool placeable = false;
    int box_width = 0;  // placeable only, in the file's units
    int box_height = 0;
    int units_per_inch = 0;
    std::uint64_t header_at = 0;
    bool has_extent = false;
    int extent_x = 0;  // the first window extent, sign dropped
    int extent_y = 0;
    std::uint64_t end = 0;              // just past the end record, when walked to it
    std::uint32_t largest_record = 0;   // in 16-bit words
    Size size;
};

std::int16_t s16(const std::uint8_t* p) { return std::int16_t(le16(p)); }

IoResult picture_size(WmfLayout& l) {
    std::int64_t w = 0, h = 0;
    if (l.placeable) {
        if (l.units_per_inch == 0) return IoResult::failure("WMF gives no units per inch");
        if (l.box_width == 0 || l.box_height == 0) return IoResult::failure("WMF bounding box is empty");
        w = std::max<std::int64_t>(1, std::llround(double(l.box_width) * 96.0 / l.units_per_inch));
        h = std::max<std::int64_t>(1, std::llround(double(l.box_height) * 96.0 / l.units_per_inch));
    } else {
        if (!l.has_extent) return IoResult::failure("WMF without a placeable header sets no window extent");
        w = l.extent_x;
        h = l.extent_y;
    }
    if (w <= 0 || h <= 0) return IoResult::failure("WMF window extent is empty");
    if (!metafile_size_acceptable(std::uint64_t(w), std::uint64_t(h))) return IoResult::failure("WMF picture too large");
    l.size = {int(w), int(h)};
    return IoResult::success();
}

// Reads the headers and walks the records. With `to_end` false the walk
// stops as soon as the picture's size is known (enough for a size question).
IoResult read_layout(const ByteSource& src, bool to_end, WmfLayout& l) {
    std::uint8_t b[kPlaceableBytes];
    if (!src.read(0, b, 4)) return IoResult::failure("WMF file too short");
    if (le32(b) == kPlaceableKey) {
        if (!src.read(0, b, kPlaceableBytes)) return IoResult::failure("WMF file too short");
        l.placeable = true;
        l.box_width = std::abs(s16(b + 10) - s16(b + 6));
        l.box_height = std::abs(s16(b + 12) - s16(b + 8));
        l.units_per_inch = le16(b + 14);
        l.header_at = kPlaceableBytes;
    }
    std::uint8_t h[kHeaderBytes];
    if (!src.read(l.header_at, h, kHeaderBytes)) return IoResult::failure("WMF file too short");
    if ((le16(h) != 1 && le16(h) != 2) || le16(h + 2) != 9) return IoResult::failure("not a WMF header");

    const std::uint64_t size = src.size();
    std::uint64_t at = l.header_at + kHeaderBytes;
    for (;;) {
        std::uint8_t r[10];
        if (!src.read(at, r, 6)) return IoResult::failure("WMF ends before its end record");
        const std::uint32_t words = le32(r);
        const std::uint16_t function = le16(r + 4);
        if (words < kRecordHeaderWords) return IoResult::failure("WMF record with a bad size");
        const std::uint64_t bytes = std::uint64_t(words) * 2;
        if (bytes > size - at) return IoResult::failure("WMF record runs past the end of the file");
        l.largest_record = std::max(l.largest_record, words);
        if (function == kRecordSetWindowExt && words >= 5 && !l.has_extent && src.read(at, r, 10)) {
            l.has_extent = true;
            l.extent_y = std::abs(int(s16(r + 6)));
            l.extent_x = std::abs(int(s16(r + 8)));
        }
        if (function == kRecordEnd) {
            l.end = at + bytes;
            break;
        }
        if (!to_end && (l.placeable || l.has_extent)) break;
        at += bytes;
    }
    return picture_size(l);
}

const char* wmf_error_text(wmf_error_t e) {
    switch (e) {
    case wmf_E_InsMem: return "WMF renderer ran out of memory";
    case wmf_E_BadFormat: return "WMF file is damaged";
    case wmf_E_EOF: return "WMF ends early";
    // Reading from memory, this is what libwmf says when it finds no fonts.
    case wmf_E_BadFile: return "WMF renderer found no fonts (fonts-urw-base35)";
    default: return "WMF renderer failed";
    }
}

// libwmf keeps font tables per handle but is not known to be safe from
// several threads at once; metafiles are rare enough to take turns.
std::mutex& renderer_lock() {
    static std::mutex m;
    return m;
}

// One libwmf handle, destroyed (with everything it allocated) on every path.
class WmfHandle {
public:
    WmfHandle() {
        wmfAPI_Options options{};
        options.function = wmf_gd_function;
        const unsigned long flags =
            WMF_OPT_FUNCTION | WMF_OPT_IGNORE_NONFATAL | WMF_OPT_NO_ERROR | WMF_OPT_NO_DEBUG;
        error_ = wmf_api_create(&api_, flags, &options);
        if (error_ != wmf_E_None && api_) {
            wmf_api_destroy(api_);
            api_ = nullptr;
        }
    }
    ~WmfHandle() {
        if (!api_) return;
        if (open_) wmf_mem_close(api_);
        wmf_api_destroy(api_);
    }
    WmfHandle(const WmfHandle&) = delete;
    WmfHandle& operator=(const WmfHandle&) = delete;

    wmfAPI* api() const { return api_; }
    wmf_error_t error() const { return error_; }
    wmf_error_t open(std::vector<unsigned char>& bytes) {
        error_ = wmf_mem_open(api_, bytes.data(), long(bytes.size()));
        open_ = error_ == wmf_E_None;
        return error_;
    }

private:
    wmfAPI* api_ = nullptr;
    wmf_error_t error_ = wmf_E_None;
    bool open_ = false;
};

// The file up to its end record, with the header's file size and largest
// record rewritten to what the walk found (and the placeable checksum to
// match), so that libwmf's buffers are sized by the truth.
std::vector<unsigned char> consistent_copy(const std::uint8_t* data, const WmfLayout& l) {
    std::vector<unsigned char> bytes(data, data + l.end);
    auto put32 = [&](std::uint64_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes[at + std::uint64_t(i)] = static_cast<unsigned char>(v >> (8 * i));
    };
    put32(l.header_at + 6, std::uint32_t((l.end - l.header_at) / 2));
    put32(l.header_at + 12, l.largest_record);
    if (l.placeable) {
        std::uint16_t sum = 0;
        for (int i = 0; i < 10; ++i) sum = std::uint16_t(sum ^ le16(bytes.data() + 2 * i));
        bytes[20] = static_cast<unsigned char>(sum);
        bytes[21] = static_cast<unsigned char>(sum >> 8);
    }
    return bytes;
}

// Collects what libwmf writes.
int append_to_png(void* context, char* buffer, int length) {
    if (length <= 0) return 0;
    auto* png = static_cast<std::vector<std::uint8_t>*>(context);
    png->insert(png->end(), buffer, buffer + length);
    return length;
}

// The picture as a PNG file, drawn so that the window fills `l.size` pixels.
IoResult render_to_png(std::vector<unsigned char>& bytes, const WmfLayout& l, std::vector<std::uint8_t>& png) {
    std::lock_guard lock(renderer_lock());
    WmfHandle wmf;
    if (!wmf.api()) return IoResult::failure("WMF renderer could not start");
    wmf_gd_t* device = WMF_GD_GetData(wmf.api());
    if (!(device->flags & WMF_GD_SUPPORTS_PNG)) return IoResult::failure("WMF renderer cannot write PNG");
    device->type = wmf_gd_png;
    device->flags |= WMF_GD_OUTPUT_MEMORY | WMF_GD_OWN_BUFFER;
    device->sink.context = &png;
    device->sink.function = append_to_png;
    if (wmf.open(bytes) != wmf_E_None) return IoResult::failure(wmf_error_text(wmf.error()));

    wmfD_Rect drawn{};
    if (wmf_error_t e = wmf_scan(wmf.api(), 0, &drawn); e != wmf_E_None) return IoResult::failure(wmf_error_text(e));
    // libwmf places the window origin at 0 and measures a placeable file in
    // points (72 per inch), a plain one in logical units.
    const double scale = l.placeable ? 72.0 / l.units_per_inch : 1.0;
    const int window_x = l.has_extent ? l.extent_x : l.box_width;
    const int window_y = l.has_extent ? l.extent_y : l.box_height;
    if (window_x == 0 || window_y == 0) return IoResult::failure("WMF window extent is empty");
    wmfD_Rect frame{};
    frame.BR.x = float(window_x * scale);
    frame.BR.y = float(window_y * scale);
    device->bbox = frame;
    device->width = unsigned(l.size.width);
    device->height = unsigned(l.size.height);
    if (wmf_error_t e = wmf_play(wmf.api(), 0, &frame); e != wmf_E_None) return IoResult::failure(wmf_error_text(e));
    if (png.empty()) return IoResult::failure("WMF renderer produced nothing");
    return IoResult::success();
}

}  // namespace

IoResult wmf_size(const ByteSource& src, Size& out) {
    WmfLayout l;
    if (IoResult r = read_layout(src, false, l); !r) return r;
    out = l.size;
    return IoResult::success();
}

IoResult decode_wmf(const std::uint8_t* data, std::size_t size, Decoded& out) {
    WmfLayout l;
    if (IoResult r = read_layout(MemorySource(data, size), true, l); !r) return r;
    std::vector<unsigned char> bytes = consistent_copy(data, l);
    std::vector<std::uint8_t> png;
    if (IoResult r = render_to_png(bytes, l, png); !r) return r;
    Surface pixels;
    if (!decode_png(png.data(), png.size(), pixels) || pixels.size() != l.size)
        return IoResult::failure("WMF renderer produced an unreadable picture");
    out.surface = std::move(pixels);
    out.palette_entries = 0;
    return IoResult::success();
}

}  // namespace plat::codec

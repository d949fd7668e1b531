// Image files: a picture file drawn into the current image, the current image
// saved through the platform's codecs, files dropped on image windows, and
// request 9003.
#include "image/image_files.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "image/image_table.h"
#include "mavlib.h"
#include "plat/codecs.h"
#include "plat/codepage.h"
#include "plat/paths.h"
#include "plat/window.h"

namespace mav {

int g_jpeg_quality = 100;

namespace {

// File names cross as at most 260 UTF-16 units, as the original buffers held.
constexpr std::size_t kMaxNameUnits = 260;

std::string utf8_name(const char* sjis_name) {
    return plat::utf16_to_utf8(plat::sjis_to_utf16(sjis_name ? sjis_name : "", kMaxNameUnits));
}

// The nearest palette entry to a colour (squared RGB distance, lowest index
// on ties), remembered per colour in a small direct-mapped cache: pictures
// repeat colours a lot and a search costs 256 steps.
class NearestEntry {
public:
    explicit NearestEntry(const std::array<plat::Color, 256>& palette) : palette_(palette) { keys_.fill(kEmpty); }
    std::uint8_t operator()(plat::Color c) {
        c &= 0xFFFFFF;
        const std::size_t slot = (c * 2654435761u) >> 20 & (kSlots - 1);
        if (keys_[slot] == c) return values_[slot];
        int best = 0;
        int best_d = 1 << 30;
        for (int i = 0; i < 256 && best_d; ++i) {
            const plat::Color p = palette_[std::size_t(i)];
            const int dr = plat::red_of(p) - plat::red_of(c);
            const int dg = plat::green_of(p) - plat::green_of(c);
            const int db = plat::blue_of(p) - plat::blue_of(c);
            const int d = dr * dr + dg * dg + db * db;
            if (d < best_d) {
                best_d = d;
                best = i;
            }
        }
        keys_[slot] = c;
        values_[slot] = std::uint8_t(best);
        return std::uint8_t(best);
    }

private:
    static constexpr std::size_t kSlots = 4096;
    static constexpr plat::Color kEmpty = 0xFF000000;  // no colour has a top byte
    const std::array<plat::Color, 256>& palette_;
    std::array<plat::Color, kSlots> keys_;
    std::array<std::uint8_t, kSlots> values_{};
};

// Draws `pic` into `dst` with its top-left at (x, y), clipped. An Indexed8
// target takes indices from an Indexed8 picture and nearest palette entries
// from an Rgb32 one; an Rgb32 target takes colours.
void draw_picture(plat::Surface& dst, const plat::Surface& pic, int x, int y) {
    const int x0 = std::max(x, 0);
    const int y0 = std::max(y, 0);
    const int x1 = int(std::min<long long>(dst.width(), (long long)x + pic.width()));
    const int y1 = int(std::min<long long>(dst.height(), (long long)y + pic.height()));
    if (x0 >= x1 || y0 >= y1) return;
    const int n = x1 - x0;
    const bool to_indexed = dst.format() == plat::PixelFormat::Indexed8;
    const bool from_indexed = pic.format() == plat::PixelFormat::Indexed8;
    if (to_indexed && from_indexed) {
        for (int dy = y0; dy < y1; ++dy) std::memcpy(dst.row8(dy) + x0, pic.row8(dy - y) + (x0 - x), std::size_t(n));
    } else if (to_indexed) {
        NearestEntry nearest(dst.palette());
        for (int dy = y0; dy < y1; ++dy) {
            const std::uint32_t* src = pic.row32(dy - y) + (x0 - x);
            std::uint8_t* out = dst.row8(dy) + x0;
            for (int i = 0; i < n; ++i) out[i] = nearest(src[i]);
        }
    } else if (from_indexed) {
        for (int dy = y0; dy < y1; ++dy) {
            const std::uint8_t* src = pic.row8(dy - y) + (x0 - x);
            std::uint32_t* out = dst.row32(dy) + x0;
            for (int i = 0; i < n; ++i) out[i] = pic.palette()[src[i]];
        }
    } else {
        for (int dy = y0; dy < y1; ++dy)
            std::memcpy(dst.row32(dy) + x0, pic.row32(dy - y) + (x0 - x), std::size_t(n) * 4);
    }
}

}  // namespace

int load_image_native(const std::string& native_path, int x, int y) {
    if (!current_image_record()) return 2;
    plat::Surface pic;
    plat::ImageFileInfo info;
    if (!plat::load_image(native_path, pic, &info)) return 1;
    if (pic.is_null()) return 1;
    ImageRecord* r = current_image_record();
    if (!r) return 2;
    if (r->bits == 8 && info.palette_entries > 0) {
        MAV_RGBQUAD entries[256];
        for (int i = 0; i < info.palette_entries; ++i) {
            const plat::Color c = pic.palette()[std::size_t(i)];
            entries[i] = {std::uint8_t(plat::blue_of(c)), std::uint8_t(plat::green_of(c)),
                          std::uint8_t(plat::red_of(c)), 0};
        }
        MAV_SetPalette(entries, info.palette_entries);
    }
    draw_picture(r->buffer, pic, x, y);
    return 0;
}

std::string save_name_with_extension(const char* sjis_name, int format) {
    const std::u16string wide = plat::sjis_to_utf16(sjis_name ? sjis_name : "", kMaxNameUnits);
    std::string name = plat::utf16_to_utf8(wide);
    if (format < 0 || format > 4) return name;
    const char* ext = plat::image_format_extension(plat::ImageFormat(format));
    bool has = wide.size() >= 4;
    for (std::size_t i = 0; has && i < 4; ++i) {
        char16_t c = wide[wide.size() - 4 + i];
        if (c >= u'A' && c <= u'Z') c = char16_t(c - u'A' + u'a');
        has = c == char16_t(ext[i]);
    }
    if (!has) name += ext;
    return name;
}

void load_dropped_file(int index, const std::string& native_path) {
    if (MAV_SelectImage(index) != 0) return;
    load_image_native(native_path, 0, 0);
    MAV_RestoreImage();
    ImageRecord& r = image_record(index);
    if (!r.in_use.load()) return;
    plat::invalidate(r.hwnd);
    plat::update_window(r.hwnd);
    plat::set_foreground(r.hwnd);
}

void serve_load_request(RequestSlot& s) {
    // Without the image there is nothing to load into; the current image is
    // not the one the poster meant.
    if (MAV_SelectImage(s.index) != 0) {
        s.result = 2;
        return;
    }
    s.result = load_image_native(s.path ? s.path : "", s.x, s.y);
    MAV_RestoreImage();
}

}  // namespace mav

using namespace mav;

int MAV_LoadImage(const char* name, int x, int y) {
    if (!current_image_record()) return 2;
    if (!name) return 1;
    return load_image_native(plat::to_native_path(utf8_name(name)), x, y);
}

int MAV_SaveImage(int height, int width, int format, const char* name) {
    ImageRecord* r = current_image_record();
    if (!r) return 3;
    if (width == 0 || height == 0) return 2;
    if (width < 0 || height < 0 || format < 0 || format > 4 || !name) return 1;
    const bool indexed = r->bits == 8;
    plat::Surface out(width, height, indexed ? plat::PixelFormat::Indexed8 : plat::PixelFormat::Rgb32);
    if (out.is_null()) return 1;
    const int w = std::min(width, r->width);
    const int h = std::min(height, r->height);
    const std::size_t row_bytes = std::size_t(w) * (indexed ? 1 : 4);
    for (int y = 0; y < h; ++y) std::memcpy(out.row8(y), r->buffer.row8(y), row_bytes);
    if (indexed) out.palette() = r->buffer.palette();
    const std::string path = plat::to_native_path(save_name_with_extension(name, format));
    // PNG is written for speed: programs save a picture per frame while they run.
    return plat::save_image(out, path, plat::ImageFormat(format), g_jpeg_quality, plat::PngEffort::Fast) ? 0 : 1;
}

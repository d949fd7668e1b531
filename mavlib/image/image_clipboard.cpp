// Images on the clipboard: copy, cut and paste (with placement by a click),
// clipboard bitmaps, request 9004 and the main window's Paste.
#include "image/image_clipboard.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <new>
#include <unordered_map>
#include <vector>

#include "image/image_table.h"
#include "image/point_pick.h"
#include "mavlib.h"
#include "plat/core/clipboard.h"
#include "plat/codecs/dib.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"

namespace mav {

namespace {

std::atomic<std::size_t> g_block_limit{static_cast<std::size_t>(-1)};

int colour_distance(plat::Color a, plat::Color b) {
    int dr = plat::red_of(a) - plat::red_of(b);
    int dg = plat::green_of(a) - plat::green_of(b);
    int db = plat::blue_of(a) - plat::blue_of(b);
    return dr * dr + dg * dg + db * db;
}

// The palette index closest to a colour, the lowest index among equals.
std::uint8_t nearest_index(const std::array<plat::Color, 256>& palette, plat::Color c) {
    int best = 0, best_d = colour_distance(palette[0], c);
    for (int i = 1; i < 256 && best_d != 0; ++i) {
        int d = colour_distance(palette[std::size_t(i)], c);
        if (d < best_d) {
            best = i;
            best_d = d;
        }
    }
    return std::uint8_t(best);
}

// Copies `src` into the image with its top-left at (x, y), clipped to the
// image. A 32-bit image takes the colours. An 8-bit image takes, as the
// window system would, the nearest palette entry of each colour; an index
// whose entry is the same in both palettes is kept as it is.
void draw_picture(ImageRecord& r, const plat::Surface& src, int x, int y) {
    plat::Surface& dst = r.buffer;
    int x0 = std::max(0, x), y0 = std::max(0, y);
    int x1 = std::min(dst.width(), x + src.width()), y1 = std::min(dst.height(), y + src.height());
    if (x0 >= x1 || y0 >= y1) return;
    bool src_indexed = src.format() == plat::PixelFormat::Indexed8;
    if (dst.format() == plat::PixelFormat::Rgb32) {
        for (int dy = y0; dy < y1; ++dy) {
            std::uint32_t* out = dst.row32(dy);
            for (int dx = x0; dx < x1; ++dx) out[dx] = src.pixel(dx - x, dy - y) & 0xFFFFFFu;
        }
        return;
    }
    const auto& pal = dst.palette();
    if (src_indexed) {
        std::array<std::uint8_t, 256> map{};
        for (int i = 0; i < 256; ++i) {
            plat::Color c = src.palette()[std::size_t(i)];
            map[std::size_t(i)] = pal[std::size_t(i)] == c ? std::uint8_t(i) : nearest_index(pal, c);
        }
        for (int dy = y0; dy < y1; ++dy) {
            const std::uint8_t* in = src.row8(dy - y);
            std::uint8_t* out = dst.row8(dy);
            for (int dx = x0; dx < x1; ++dx) out[dx] = map[in[dx - x]];
        }
        return;
    }
    std::unordered_map<plat::Color, std::uint8_t> seen;
    for (int dy = y0; dy < y1; ++dy) {
        const std::uint32_t* in = src.row32(dy - y);
        std::uint8_t* out = dst.row8(dy);
        for (int dx = x0; dx < x1; ++dx) {
            plat::Color c = in[dx - x] & 0xFFFFFFu;
            auto it = seen.find(c);
            if (it == seen.end()) it = seen.emplace(c, nearest_index(pal, c)).first;
            out[dx] = it->second;
        }
    }
}

}  // namespace

void register_clipboard_requests() {
    set_request_handler(kReqDrawBitmap, [](RequestSlot& s) {
        MAV_DrawBitmap(static_cast<MAV_BITMAP>(s.bitmap));
        s.bitmap = nullptr;
    });
}

void paste_into_new_image() {
    if (frame().running.load()) return;
    MAV_BITMAP bitmap = MAV_GetClipboardBitmap(nullptr, nullptr);
    if (!bitmap) return;
    int w = bitmap->picture.width(), h = bitmap->picture.height();
    for (int k = 0; k < kImageSlots; ++k) {
        char name[8];
        std::snprintf(name, sizeof name, "%03d", k);
        int result = post_create_image(k, name, w, h, 32);
        if (result == 0) {
            post_draw_bitmap(bitmap);  // the bitmap is the server's from here on
            post_refresh(k);
            MAV_RestoreImage();
            return;
        }
        if (result == kRequestAbandoned) break;  // the program is ending
    }
    MAV_DeleteBitmap(bitmap);
}

int cut_image(int index) {
    ImageRecord* r = record_in_use(index);
    if (!r) return 1;
    MAV_CopyImage(index);
    MAV_ClearImage(index);
    plat::invalidate(r->hwnd);
    return 0;
}

void set_clipboard_block_limit(std::size_t bytes) { g_block_limit = bytes; }

}  // namespace mav

using namespace mav;

int MAV_CopyImage(int index) {
    ImageRecord* r = record_in_use(index);
    if (!r) return 1;
    std::size_t size = plat::dib::packed_size(r->buffer);
    std::vector<std::uint8_t> block;
    bool got = size > 0 && size <= g_block_limit.load();
    if (got) {
        try {
            block.resize(size);
        } catch (const std::bad_alloc&) {
            got = false;
        }
    }
    if (!got) {
        plat::clipboard::clear();
        MAV_Pause("No enough memory for copy");
        return 2;
    }
    plat::dib::write(r->buffer, block.data(), size);
    plat::clipboard::set_dib(std::move(block));
    return 0;
}

MAV_BITMAP MAV_GetClipboardBitmap(MAV_RGBQUAD* palette, int* count) {
    if (count) *count = 0;
    auto dib = plat::clipboard::dib();
    if (!dib) return nullptr;
    plat::Surface picture;
    plat::dib::Info info;
    if (!plat::dib::to_surface(dib->data(), dib->size(), picture, &info)) return nullptr;
    auto* bitmap = new (std::nothrow) MAV_Bitmap;
    if (!bitmap) return nullptr;
    bitmap->picture = std::move(picture);
    if (info.bits <= 8) {
        for (int i = 0; palette && i < info.palette_entries; ++i) {
            plat::Color c = bitmap->picture.palette()[std::size_t(i)];
            palette[i] = {std::uint8_t(plat::blue_of(c)), std::uint8_t(plat::green_of(c)),
                          std::uint8_t(plat::red_of(c)), 0};
        }
        if (count) *count = info.palette_entries;
    }
    return bitmap;
}

int MAV_GetBitmapSize(MAV_BITMAP bitmap, int* width, int* height) {
    if (!bitmap) return 1;
    if (width) *width = bitmap->picture.width();
    if (height) *height = bitmap->picture.height();
    return 0;
}

void MAV_DeleteBitmap(MAV_BITMAP bitmap) { delete bitmap; }

int MAV_DrawBitmap(MAV_BITMAP bitmap) {
    if (!bitmap) return 2;
    ImageRecord* r = current_image_record();
    if (r) draw_picture(*r, bitmap->picture, 0, 0);
    delete bitmap;
    return r ? 0 : 1;
}

int MAV_PasteImage(int index, int x, int y) {
    if (!record_in_use(index)) return 1;
    MAV_RGBQUAD palette[256];
    int count = 0;
    MAV_BITMAP bitmap = MAV_GetClipboardBitmap(palette, &count);
    if (!bitmap) return 2;
    int w = bitmap->picture.width(), h = bitmap->picture.height();
    if ((x == -1 || y == -1) && !place_by_click(index, w, h, x, y)) {
        delete bitmap;
        return 3;
    }
    ImageRecord* r = record_in_use(index);
    if (!r) {
        delete bitmap;
        return 1;
    }
    if (r->bits == 8)
        for (int i = 0; i < count; ++i)
            r->buffer.palette()[std::size_t(i)] = plat::rgb(palette[i].rgbRed, palette[i].rgbGreen, palette[i].rgbBlue);
    draw_picture(*r, bitmap->picture, x, y);
    plat::invalidate(r->hwnd);
    delete bitmap;
    return 0;
}

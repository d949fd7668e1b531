// Image windows: creation with a zoom fitted to the screen, destruction,
// resizing, zoom and stretch mode, the caption, and refreshing the window
// from the buffer.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>

#include "image/image_files.h"
#include "image/image_table.h"
#include "image/image_window_internals.h"
#include "mavlib.h"
#include "plat/base/codepage.h"
#include "plat/core/metrics.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"
#include "runtime/snapping.h"

void* mav_bits[256] = {};

namespace mav {

namespace {

constexpr std::uint32_t kImageStyle = plat::style::Caption | plat::style::CloseBox | plat::style::SizingBorder;

ImageRecord* g_images = new ImageRecord[kImageSlots];
std::atomic<int> g_current{0};

struct Limits {
    int min_w, min_h, max_w, max_h;
};

Limits screen_limits(int layout) {
    const plat::Metrics& m = plat::metrics();
    plat::Size screen = plat::screen_size();
    if (layout == 0) return {1, 1, 2 * screen.width, 2 * screen.height};
    return {m.min_window.width - 2 * m.sizing_frame, m.min_window.height - 2 * m.sizing_frame - m.caption_height,
            screen.width, screen.height - m.caption_height};
}

// A requested window coordinate: -1 leaves it to the platform; any other
// value, negative ones included, is a screen position (kept far enough from
// the int range that adding the window size cannot overflow).
int window_corner(int v) {
    constexpr int kFarthest = 1 << 24;
    return v == -1 ? plat::kDefaultPos : std::clamp(v, -kFarthest, kFarthest);
}

}  // namespace

ImageRecord& image_record(int index) { return g_images[index]; }
std::atomic<int>& current_image() { return g_current; }

int image_of_window(plat::Hwnd h) {
    if (!h) return -1;
    for (int i = 0; i < kImageSlots; ++i)
        if (g_images[i].in_use.load() && g_images[i].hwnd == h) return i;
    return -1;
}

bool fit_zoom(int width, int height, int zoom, int layout, ZoomFit& out) {
    Limits lim = screen_limits(layout);
    double cw = std::min(double(width) * zoom / 100.0, double(lim.max_w));
    double ch = std::min(double(height) * zoom / 100.0, double(lim.max_h));
    if (cw < 1) cw = 1;
    if (ch < 1) ch = 1;
    // Below 1 when even zoom 1 is too big for the screen: the raise below
    // then finds that no zoom fits.
    long long z = (long long)std::min(cw * 100.0 / width, ch * 100.0 / height);
    long long dw = (long long)width * z / 100;
    long long dh = (long long)height * z / 100;
    if (dw < lim.min_w || dh < lim.min_h) {
        z = (long long)std::ceil(std::max(double(lim.min_w) * 100.0 / width, double(lim.min_h) * 100.0 / height));
        dw = (long long)width * z / 100;
        dh = (long long)height * z / 100;
        if (dw > lim.max_w || dh > lim.max_h) return false;
    }
    if (z < 1) return false;  // never zoom 0: mouse positions are divided by it
    out = {int(dw), int(dh), int(z)};
    return true;
}

std::string image_caption(const ImageRecord& r) {
    constexpr std::size_t kMaxCaption = 255;  // bytes, the smooth-mode mark included
    char zoom[32];
    std::snprintf(zoom, sizeof zoom, r.bits == 8 ? "(%d%%)[8bit]" : "(%d%%)", r.zoom);
    std::string caption = r.title + zoom;
    const std::string_view mark = r.stretch_mode == kStretchSmooth ? "*" : "";
    caption.resize(plat::sjis_prefix_length(caption, kMaxCaption - mark.size()));
    caption += mark;
    return caption;
}

void draw_buffer(const ImageRecord& r, plat::Dc& dc) {
    if (r.zoom == 100) {
        dc.blit({0, 0}, r.buffer, r.buffer.rect());
        return;
    }
    plat::StretchMode mode = r.stretch_mode == kStretchSmooth ? plat::StretchMode::Smooth : plat::StretchMode::Plain;
    dc.stretch_blit({0, 0, r.disp_width, r.disp_height}, r.buffer, r.buffer.rect(), mode);
}

namespace {

// A buffer and a window made for an image before its slot changes, so that a
// failure leaves whatever the slot holds as it was.
struct NewImage {
    int width = 0, height = 0;
    ZoomFit fit;
    plat::Surface buffer;
    plat::Hwnd hwnd;
};

int make_image(const std::string& title, int bits, int layout, int x, int y, int width, int height, int zoom,
               NewImage& out) {
    out.width = std::max(width, 1);
    out.height = std::max(height, 1);
    if (!fit_zoom(out.width, out.height, zoom, layout, out.fit)) return 2;
    out.buffer = plat::Surface(out.width, out.height, bits == 8 ? plat::PixelFormat::Indexed8 : plat::PixelFormat::Rgb32);
    if (out.buffer.is_null()) return 3;  // the pixel memory cannot be had

    ImageRecord shown;  // what the caption is made of
    shown.title = title;
    shown.bits = bits;
    shown.zoom = out.fit.zoom;
    plat::Rect wr = plat::adjust_window_rect({0, 0, out.fit.width, out.fit.height}, kImageStyle, false);
    int left = window_corner(x);
    int top = window_corner(y);
    plat::CreateParams p;
    p.class_name = "mav_iw";
    p.title = plat::utf16_to_utf8(plat::sjis_to_utf16(image_caption(shown), 255));
    p.style = kImageStyle | plat::style::Visible;
    p.owner = main_window();
    p.rect = {left, top, left + wr.width(), top + wr.height()};
    out.hwnd = plat::create_window(p);
    if (!out.hwnd) {
        out.buffer = plat::Surface();
        return 3;
    }
    return 0;
}

// Takes the slot out of use and lets its window go (the caller says when).
plat::Hwnd release_slot(int index) {
    ImageRecord& r = g_images[index];
    r.in_use = 0;
    // Bounds tests fail from here on, before the memory goes.
    r.width = r.height = r.stride = 0;
    mav_bits[index] = nullptr;
    windows().image[index] = 0;
    plat::Hwnd h = r.hwnd;
    r.hwnd = {};
    r.buffer = plat::Surface();
    r.title.clear();
    return h;
}

// Puts a made image into a free slot and shows it as the current image.
void install_image(int index, NewImage&& made, std::string title, int bits, int layout) {
    ImageRecord& r = g_images[index];
    r.bits = bits;
    r.layout = layout;
    r.zoom = made.fit.zoom;
    r.disp_width = made.fit.width;
    r.disp_height = made.fit.height;
    r.stretch_mode = kStretchPlain;
    r.title = std::move(title);
    r.buffer = std::move(made.buffer);
    r.hwnd = made.hwnd;
    r.width = made.width;
    r.height = made.height;
    r.stride = r.buffer.stride();
    mav_bits[index] = r.buffer.bits();
    r.in_use = 1;
    windows().image[index] = r.hwnd.id;
    plat::update_window(r.hwnd);
    plat::set_foreground(r.hwnd);
    plat::enable_file_drops(r.hwnd, true);
    rebuild_snap_list();
    MAV_SelectImage(index);
}

}  // namespace

int create_image(int index, const char* title, int x, int y, int width, int height, int zoom, int bits,
                 int layout) {
    if (index < 0 || index >= kImageSlots) return 4;
    if (g_images[index].in_use.load()) return 1;
    if (bits != 8 && bits != 32) return 3;
    std::string name = title ? title : "";
    NewImage made;
    if (int result = make_image(name, bits, layout, x, y, width, height, zoom, made); result != 0) return result;
    install_image(index, std::move(made), std::move(name), bits, layout);
    return 0;
}

void destroy_image(int index) {
    plat::destroy_window(release_slot(index));
    rebuild_snap_list();
}

void register_image_requests() {
    set_request_handler(kReqCreateImage, [](RequestSlot& s) {
        s.result = s.bits == 8 ? MAV_CreateImage8(s.index, s.name, s.x, s.y, s.width, s.height, s.zoom)
                               : MAV_CreateImage(s.index, s.name, s.x, s.y, s.width, s.height, s.zoom);
    });
    set_request_handler(kReqRefresh, [](RequestSlot& s) { MAV_Refresh(s.index); });
    set_request_handler(kReqLoadImage, serve_load_request);
}

}  // namespace mav

using namespace mav;

int MAV_CreateImage(int index, const char* title, int x, int y, int width, int height, int zoom) {
    return create_image(index, title, x, y, width, height, zoom, 32, 1);
}

int MAV_CreateImage8(int index, const char* title, int x, int y, int width, int height, int zoom) {
    return create_image(index, title, x, y, width, height, zoom, 8, 1);
}

int MAV_CreateImageFL(int index, const char* title, int x, int y, int width, int height, int zoom) {
    return create_image(index, title, x, y, width, height, zoom, 32, 0);
}

int MAV_CreateImage8FL(int index, const char* title, int x, int y, int width, int height, int zoom) {
    return create_image(index, title, x, y, width, height, zoom, 8, 0);
}

int MAV_DestroyImage(int index) {
    if (!record_in_use(index)) return 1;
    destroy_image(index);
    return 0;
}

int MAV_ResizeImage(int index, int width, int height) {
    ImageRecord* r = record_in_use(index);
    if (!r) return 1;
    // The new buffer and window are made first: a size that cannot be shown
    // or had leaves the image, its pixels and its window as they were.
    const plat::Rect wr = plat::window_rect(r->hwnd);
    NewImage made;
    if (int result = make_image(r->title, r->bits, r->layout, wr.left, wr.top, width, height, r->zoom, made);
        result != 0)
        return result;
    std::string title = r->title;
    const int bits = r->bits;
    const int layout = r->layout;
    const int mode = r->stretch_mode;
    auto palette = r->buffer.palette();
    plat::destroy_window(release_slot(index));
    install_image(index, std::move(made), std::move(title), bits, layout);
    // Creation reads -1 as "place it for me"; a window that sat there goes back.
    if (wr.left == -1 || wr.top == -1) plat::move_window(r->hwnd, wr.top_left());
    if (bits == 8) r->buffer.palette() = palette;
    MAV_SetStretchMode(index, mode);
    return 0;
}

int MAV_SetImageZoom(int index, int zoom) {
    ImageRecord* r = record_in_use(index);
    if (!r) return 1;
    ZoomFit fit;
    if (!fit_zoom(r->width, r->height, zoom, r->layout, fit)) return 2;
    plat::Rect wr = plat::window_rect(r->hwnd);
    plat::Rect nr = plat::Rect::from_xywh(wr.left, wr.top, wr.width() + fit.width - r->disp_width,
                                          wr.height() + fit.height - r->disp_height);
    r->zoom = fit.zoom;
    r->disp_width = fit.width;
    r->disp_height = fit.height;
    plat::set_window_rect(r->hwnd, nr);
    plat::show_window(r->hwnd, true);
    plat::invalidate(r->hwnd);
    MAV_UpdateImageTitle(index);
    rebuild_snap_list();
    return 0;
}

int MAV_SetStretchMode(int index, int mode) {
    ImageRecord* r = record_in_use(index);
    if (!r) return 1;
    if (mode == kStretchPlain || mode == kStretchSmooth) r->stretch_mode = mode;
    plat::invalidate(r->hwnd);
    MAV_UpdateImageTitle(index);
    return 0;
}

int MAV_GetStretchMode(int index) {
    ImageRecord* r = record_in_use(index);
    return r ? r->stretch_mode : 0;
}

int MAV_Refresh(int index) {
    ImageRecord* r = record_in_use(index);
    if (!r) return 1;
    plat::WindowDc wdc(r->hwnd);
    if (wdc.valid()) draw_buffer(*r, wdc.dc());
    return 0;
}

int MAV_UpdateImageTitle(int index) {
    ImageRecord* r = record_in_use(index);
    if (!r) return 1;
    plat::set_window_text(r->hwnd, plat::utf16_to_utf8(plat::sjis_to_utf16(image_caption(*r))));
    return 0;
}

int MAV_ClearImage(int index) {
    ImageRecord* r = record_in_use(index);
    if (!r) return 1;
    std::fill(r->buffer.bits(), r->buffer.bits() + std::size_t(r->buffer.stride()) * r->height, std::uint8_t(0));
    return 0;
}

int MAV_MoveImage(int index, int x, int y) {
    ImageRecord* r = record_in_use(index);
    if (!r) return 1;
    plat::move_window(r->hwnd, {x, y});
    return 0;
}

int MAV_GetImageWidth(int index) {
    ImageRecord* r = record_in_use(index);
    return r ? r->width : 0;
}

int MAV_GetImageHeight(int index) {
    ImageRecord* r = record_in_use(index);
    return r ? r->height : 0;
}

int MAV_GetImageBits(int index) {
    ImageRecord* r = record_in_use(index);
    return r ? r->bits : 0;
}

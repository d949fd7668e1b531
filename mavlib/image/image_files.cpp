// Image files: a picture file drawn into the current image, the current image
// saved through the platform's codecs, files dropped on image windows,
// request 9003, and saves posted to an image's window by other threads.
#include "image/image_files.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "image/image_table.h"
#include "mavlib.h"
#include "plat/codecs/codecs.h"
#include "plat/base/codepage.h"
#include "plat/base/paths.h"
#include "plat/core/messages.h"
#include "plat/core/window.h"

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

// Saves posted to image windows, by order number (the User message's param).
// An order the poster stops waiting for is withdrawn, so a late message finds
// nothing to do.
struct SaveOrder {
    int index = 0;
    std::string path;
    bool taken = false;  // the window's thread is carrying it out
    bool done = false;
    PostedSave result;
};

struct SaveOrders {
    std::mutex m;
    std::condition_variable finished;
    std::map<std::intptr_t, std::shared_ptr<SaveOrder>> pending;
    std::intptr_t next = 1;  // positive: the platform's own User params are negative
};

SaveOrders& save_orders() {
    static SaveOrders* o = new SaveOrders;  // never destroyed: a poster may still wait at exit
    return *o;
}

}  // namespace

namespace {
thread_local std::string t_last_file_error;
}  // namespace

const std::string& last_file_error() { return t_last_file_error; }

void report_drop_failure(const std::string& native_path, const std::string& why) {
    std::fprintf(stderr, "mavlib: cannot load the dropped file '%s': %s\n", native_path.c_str(), why.c_str());
}
void set_last_file_error(std::string why) { t_last_file_error = std::move(why); }

plat::IoResult decode_picture_file(const std::string& native_path, DecodedPicture& out) {
    DecodedPicture picture;
    plat::IoResult r = plat::load_image(native_path, picture.pixels, &picture.info);
    if (r && picture.pixels.is_null()) r = plat::IoResult::failure("empty picture");
    set_last_file_error(r ? std::string() : r.message);
    if (r) out = std::move(picture);
    return r;
}

int draw_into_current_image(const DecodedPicture& picture, int x, int y) {
    ImageRecord* r = current_image_record();
    if (!r) return 2;
    const plat::Surface& pic = picture.pixels;
    if (r->bits == 8 && picture.info.palette_entries > 0) {
        MAV_RGBQUAD entries[256];
        for (int i = 0; i < picture.info.palette_entries; ++i) {
            const plat::Color c = pic.palette()[std::size_t(i)];
            entries[i] = {std::uint8_t(plat::blue_of(c)), std::uint8_t(plat::green_of(c)),
                          std::uint8_t(plat::red_of(c)), 0};
        }
        MAV_SetPalette(entries, picture.info.palette_entries);
    }
    draw_picture(r->buffer, pic, x, y);
    return 0;
}

int load_image_native(const std::string& native_path, int x, int y) {
    if (!current_image_record()) return 2;
    DecodedPicture picture;
    if (!decode_picture_file(native_path, picture)) return 1;
    return draw_into_current_image(picture, x, y);
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
    if (load_image_native(native_path, 0, 0) == 1) report_drop_failure(native_path, last_file_error());
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

plat::IoResult save_image_record(const ImageRecord& r, int width, int height, plat::ImageFormat format,
                                 const std::string& native_path) {
    const bool indexed = r.bits == 8;
    plat::Surface out(width, height, indexed ? plat::PixelFormat::Indexed8 : plat::PixelFormat::Rgb32);
    if (out.is_null()) return plat::IoResult::failure("out of memory");
    const int w = std::min(width, r.width);
    const int h = std::min(height, r.height);
    const std::size_t row_bytes = std::size_t(w) * (indexed ? 1 : 4);
    for (int y = 0; y < h; ++y) std::memcpy(out.row8(y), r.buffer.row8(y), row_bytes);
    if (indexed) out.palette() = r.buffer.palette();
    // PNG is written for speed: programs save a picture per frame while they run.
    return plat::save_image(out, native_path, format, g_jpeg_quality, plat::PngEffort::Fast);
}

PostedSave post_image_save(int index, const std::string& native_path, int timeout_ms) {
    if (!valid_image_index(index)) return {PostedSave::NoImage, {}};
    const plat::Hwnd window{windows().image[index].load()};
    if (!window) return {PostedSave::NoImage, {}};
    SaveOrders& o = save_orders();
    auto order = std::make_shared<SaveOrder>();
    order->index = index;
    order->path = native_path;
    std::intptr_t id;
    {
        std::lock_guard lock(o.m);
        id = o.next++;
        o.pending[id] = order;
    }
    plat::Message msg;
    msg.window = window;
    msg.kind = plat::MsgKind::User;
    msg.param = id;
    const bool posted = plat::post_message(msg);

    std::unique_lock lock(o.m);
    auto give_up = [&](PostedSave::Outcome why) {
        // A save under way is seen through: it ends without waiting for anything.
        if (order->taken) {
            o.finished.wait(lock, [&] { return order->done; });
            return order->result;
        }
        o.pending.erase(id);
        return PostedSave{why, {}};
    };
    if (!posted) return give_up(PostedSave::NoImage);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!order->done) {
        // Destroyed meanwhile: its window and the message with it are gone.
        if (windows().image[index].load() != window.id) return give_up(PostedSave::NoImage);
        if (frame().quit_state.load() != kQuitRunning) return give_up(PostedSave::Exiting);
        if (std::chrono::steady_clock::now() >= deadline) return give_up(PostedSave::NotServed);
        o.finished.wait_for(lock, std::chrono::milliseconds(5));
    }
    return order->result;
}

void serve_image_save(int index, std::intptr_t id) {
    SaveOrders& o = save_orders();
    std::shared_ptr<SaveOrder> order;
    {
        std::lock_guard lock(o.m);
        auto it = o.pending.find(id);
        if (it == o.pending.end()) return;  // withdrawn
        order = it->second;
        o.pending.erase(it);
        order->taken = true;
    }
    PostedSave result;
    if (!valid_image_index(index) || index != order->index || !image_record(index).in_use.load()) {
        result.outcome = PostedSave::NoImage;
    } else {
        const ImageRecord& r = image_record(index);
        std::error_code ec;
        const auto parent = std::filesystem::path(order->path).parent_path();
        if (!parent.empty()) std::filesystem::create_directories(parent, ec);
        plat::IoResult saved = save_image_record(r, r.width, r.height, plat::ImageFormat::Png, order->path);
        if (!saved) result = {PostedSave::Failed, saved.message};
    }
    {
        std::lock_guard lock(o.m);
        order->result = std::move(result);
        order->done = true;
    }
    o.finished.notify_all();
}

}  // namespace mav

using namespace mav;

const char* MAV_GetLastFileError(void) { return last_file_error().c_str(); }

int MAV_LoadImage(const char* name, int x, int y) {
    if (!current_image_record()) return 2;
    if (!name) {
        set_last_file_error("no file name");
        return 1;
    }
    return load_image_native(plat::to_native_path(utf8_name(name)), x, y);
}

int MAV_SaveImage(int height, int width, int format, const char* name) {
    ImageRecord* r = current_image_record();
    if (!r) return 3;
    if (width == 0 || height == 0) return 2;
    if (width < 0 || height < 0 || format < 0 || format > 4 || !name) return 1;
    const std::string path = plat::to_native_path(save_name_with_extension(name, format));
    return save_image_record(*r, width, height, plat::ImageFormat(format), path) ? 0 : 1;
}

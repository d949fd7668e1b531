#include "runtime/snapping.h"

#include <cstdlib>
#include <mutex>

#include "plat/core/metrics.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"

namespace mav {

namespace {

constexpr int kHorizontal = 1;
constexpr int kVertical = 2;

bool counts(int d) { return std::abs(d) < kSnapDistance; }

std::mutex g_list_mutex;
std::vector<plat::Rect> g_list;

void add_window(std::vector<plat::Rect>& list, std::uint32_t id) {
    if (!id || list.size() >= std::size_t(kSnapListMax)) return;
    plat::Hwnd h{id};
    if (plat::is_window(h)) list.push_back(plat::window_rect(h));
}

}  // namespace

plat::Rect snap_rect(const plat::Rect& p, const plat::Rect& current, const std::vector<plat::Rect>& list) {
    plat::Rect out = p;
    int fixed = 0;
    auto shift_x = [&](int d) { out.translate(d, 0); fixed |= kHorizontal; };
    auto shift_y = [&](int d) { out.translate(0, d); fixed |= kVertical; };
    for (const plat::Rect& r : list) {
        if (fixed == (kHorizontal | kVertical)) break;
        if (r == current) continue;
        bool v_overlap = r.top <= p.bottom && r.bottom >= p.top;
        bool h_overlap = r.left <= p.right && r.right >= p.left;
        if (!(fixed & kHorizontal) && v_overlap) {
            if (counts(r.right - p.left)) shift_x(r.right - p.left);
            else if (counts(r.left - p.right)) shift_x(r.left - p.right);
        }
        if (!(fixed & kVertical) && (fixed & kHorizontal) && h_overlap) {
            if (counts(r.top - p.top)) shift_y(r.top - p.top);
            else if (counts(r.bottom - p.bottom)) shift_y(r.bottom - p.bottom);
        }
        if (!(fixed & kVertical) && h_overlap) {
            if (counts(r.bottom - p.top)) shift_y(r.bottom - p.top);
            else if (counts(r.top - p.bottom)) shift_y(r.top - p.bottom);
        }
        if (!(fixed & kHorizontal) && (fixed & kVertical) && v_overlap) {
            if (counts(r.left - p.left)) shift_x(r.left - p.left);
            else if (counts(r.right - p.right)) shift_x(r.right - p.right);
        }
    }
    return out;
}

std::vector<plat::Rect> build_snap_list() {
    plat::Size fs = plat::full_screen_client();
    int w = fs.width;
    int h = fs.height + plat::metrics().caption_height;
    std::vector<plat::Rect> list{
        {-1000, 0, 0, h},
        {0, -1000, w, 0},
        {w, 0, w + 1000, h},
        {0, h, w, h + 1000},
    };
    WindowTables& t = windows();
    for (auto& id : t.image) add_window(list, id.load());
    for (auto& id : t.text) add_window(list, id.load());
    add_window(list, t.input_box.load());
    add_window(list, t.button_box.load());
    add_window(list, frame().main_window.load());
    return list;
}

void rebuild_snap_list() {
    std::vector<plat::Rect> list = build_snap_list();
    std::lock_guard lock(g_list_mutex);
    g_list = std::move(list);
}

std::vector<plat::Rect> snap_list() {
    std::lock_guard lock(g_list_mutex);
    return g_list;
}

bool handle_snapping(plat::Message& msg) {
    if (msg.kind == plat::MsgKind::Moving) {
        if (msg.ctrl) msg.rect = snap_rect(msg.rect, plat::window_rect(msg.window), snap_list());
        return true;
    }
    if (msg.kind == plat::MsgKind::Move) {
        rebuild_snap_list();
        return true;
    }
    return false;
}

}  // namespace mav

// The image window's procedure: paint from the buffer, zoom keys and wheel,
// the stretch-mode toggle, keys passed on to the main window, the mouse
// state programs may read, the popup menus and their commands, and saves
// posted by other threads.
#include "image/image_clipboard.h"
#include "image/image_commands.h"
#include "image/image_files.h"
#include "image/image_window_internals.h"
#include "mavlib.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "runtime/snapping.h"

int mav_mouse = 0;
int mav_mouse_image = -1;
int mav_mouse_x = 0;
int mav_mouse_y = 0;
int mav_mouse_left = 0;
int mav_mouse_middle = 0;
int mav_mouse_shift = 0;
int mav_mouse_ctrl = 0;

namespace mav {

namespace {

// Image pixels under a client position.
plat::Point to_image(const ImageRecord& r, plat::Point client) {
    return {client.x * 100 / r.zoom, client.y * 100 / r.zoom};
}

void record_mouse(int index, const ImageRecord& r, const plat::Message& m, bool left, bool middle) {
    if (!mav_mouse) return;
    mav_mouse_image = index;
    plat::Point p = to_image(r, m.pos);
    mav_mouse_x = p.x;
    mav_mouse_y = p.y;
    mav_mouse_left = left;
    mav_mouse_middle = middle;
    mav_mouse_shift = m.shift;
    mav_mouse_ctrl = m.ctrl;
}

// What the mouse does while a point pick runs: true when the pick took it.
bool feed_pick(int index, const ImageRecord& r, const plat::Message& m) {
    PointPick& pick = point_pick();
    plat::Point p = to_image(r, m.pos);
    if (!pick.active.load()) {
        if (m.kind == plat::MsgKind::MouseMove) {
            pick.hover_image = index;
            pick.move_x = p.x;
            pick.move_y = p.y;
        }
        return false;
    }
    bool ours = pick.image.load() == index;
    switch (m.kind) {
    case plat::MsgKind::MouseMove:
        if (ours) {
            pick.hover_image = index;
            pick.move_x = p.x;
            pick.move_y = p.y;
            pick.moved = 1;
        }
        return false;  // the mouse state is still recorded
    case plat::MsgKind::LButtonDown:
        if (ours) {
            pick.click_x = p.x;
            pick.click_y = p.y;
            pick.click_shift = m.shift;
            pick.clicked = 1;
        }
        return false;
    case plat::MsgKind::RButtonDown:
    case plat::MsgKind::MButtonDown:
        if (ours) pick.cancelled = 1;
        return true;
    default:
        return false;
    }
}

void forward_to_main(const plat::Message& m) {
    plat::Message fwd = m;
    fwd.window = main_window();
    plat::post_message(fwd);
}

void on_key(int index, ImageRecord& r, const plat::Message& m) {
    if (frame().pick_active.load()) return;
    if (m.ctrl) {
        switch (m.key) {
        case 'Q': MAV_DestroyImage(index); return;
        case plat::key::Numpad0:
        case '0':  // as the menu shows it
            MAV_SetImageZoom(index, 100);
            return;
        case plat::key::NumpadAdd: MAV_SetImageZoom(index, zoom_in(r.zoom)); return;
        case plat::key::NumpadSubtract: MAV_SetImageZoom(index, zoom_out(r.zoom)); return;
        case 'C': MAV_CopyImage(index); return;
        case 'X': cut_image(index); return;
        case 'V': run_image_command(r.hwnd, cmd::kPasteAtOrigin); return;
        case 'R': run_image_command(r.hwnd, cmd::kClipping); return;
        default: break;
        }
    }
    switch (m.key) {
    case plat::key::Tab:
        MAV_SetStretchMode(index, r.stretch_mode == kStretchSmooth ? kStretchPlain : kStretchSmooth);
        break;
    case plat::key::Escape:
    case 'C':
    case 'X':
    case 'S':
        forward_to_main(m);
        break;
    default:
        break;
    }
}

}  // namespace

bool image_window_proc(plat::Message& m) {
    int index = image_of_window(m.window);
    ImageRecord* r = index >= 0 ? &image_record(index) : nullptr;
    switch (m.kind) {
    case plat::MsgKind::Paint:
        if (r) draw_buffer(*r, *m.dc);
        return true;
    case plat::MsgKind::Close:
        if (r) MAV_DestroyImage(index);
        else plat::destroy_window(m.window);
        return true;
    case plat::MsgKind::Move:
    case plat::MsgKind::Moving:
        return handle_snapping(m);
    case plat::MsgKind::Sizing:
        // The size follows the zoom only.
        m.rect = plat::window_rect(m.window);
        return true;
    case plat::MsgKind::KeyDown:
        if (r) on_key(index, *r, m);
        return true;
    case plat::MsgKind::MouseWheel:
        if (r && m.ctrl && m.wheel != 0) MAV_SetImageZoom(index, m.wheel < 0 ? zoom_in(r->zoom) : zoom_out(r->zoom));
        return true;
    case plat::MsgKind::MouseMove:
        if (!r) return true;
        feed_pick(index, *r, m);
        record_mouse(index, *r, m, m.lbutton, m.mbutton);
        return true;
    case plat::MsgKind::LButtonDown:
        if (!r) return true;
        feed_pick(index, *r, m);
        record_mouse(index, *r, m, true, false);
        return true;
    case plat::MsgKind::MButtonDown:
        // Presses on the caption or the frame are not the image's.
        if (!r || m.non_client) return true;
        if (feed_pick(index, *r, m)) return true;
        record_mouse(index, *r, m, false, true);
        open_image_menu(index, m.screen_pos, true);
        return true;
    case plat::MsgKind::RButtonDown:
        if (r && !m.non_client && !feed_pick(index, *r, m)) open_image_menu(index, m.screen_pos, false);
        return true;
    case plat::MsgKind::Command:
        if (r) run_image_command(m.window, m.command_id);
        return true;
    case plat::MsgKind::DropFiles:
        // Only the first of several files is loaded; none while a point pick
        // waits for its clicks.
        if (r && !m.files.empty() && !frame().pick_active.load()) load_dropped_file(index, m.files.front());
        return true;
    case plat::MsgKind::User:
        // A save posted by another thread: done here, where the pixels are drawn.
        serve_image_save(index, m.param);
        return true;
    default:
        return false;
    }
}

}  // namespace mav

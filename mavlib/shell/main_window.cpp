#include "shell/main_window.h"

#include <atomic>
#include <cstdio>
#include <filesystem>

#include "image/image_clipboard.h"
#include "image/image_files.h"
#include "mavlib.h"
#include "plat/base/clock.h"
#include "plat/ui/popup_menu.h"
#include "plat/codecs/codecs.h"
#include "plat/base/codepage.h"
#include "plat/ui/controls.h"
#include "plat/core/keys.h"
#include "plat/core/metrics.h"
#include "plat/core/window.h"
#include "plat/gfx/theme.h"
#include "runtime/commands.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"
#include "runtime/snapping.h"
#include "runtime/status_line.h"
#include "shell/main_window_dialogues.h"
#include "shell/stop_signals.h"
#include "shell/user_thread.h"

namespace mav {

namespace {

std::atomic<ImageSizeProbe> g_size_probe{nullptr};
std::atomic<RestoreImageHook> g_restore_hook{nullptr};

constexpr int kClientWidth = 240;
constexpr int kClientExtra = 32;  // client height beyond the menu bar
constexpr int kDropDistance = 55;
constexpr int kDropOffsets[28] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, -6, -5, -4, -3,
                                  -2, -1, 1, 2, 3, 4, 5, 6, -3, -2, -1, 1, 2, 3};
constexpr int kDropStepMs = 20;

constexpr int total_drop() {
    int sum = 0;
    for (int offset : kDropOffsets) sum += offset;
    return sum;
}
static_assert(total_drop() == kDropDistance, "the drop ends where the window belongs");
constexpr int kDropSettleMs = 500;

std::string class_name_for(int instance) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "mavlib_mw%d", instance);
    return buf;
}

bool busy() { return frame().running.load() || frame().input_pending.load(); }

// Waits, polling the clock, until `ms` have passed since `base`.
void wait_since(double base, int ms) {
    while (plat::monotonic_ms() - base < ms) plat::sleep_ms(1);
}

// Shows the window at a step of the drop. Only the first show changes more:
// a window coming up is activated, as a new window is; the later steps keep
// the z-order and the activation as the user's windows have made them.
void show_step(plat::Hwnd h) {
    if (plat::is_visible(h)) return;
    plat::show_window(h, true);
    plat::set_foreground(h);
}

void drop_in(plat::Hwnd h) {
    // A batch run has nobody to watch it, and a program a signal is ending
    // does not keep it waiting: the window goes straight to its place.
    int left = kDropDistance;
    auto jump = [&] {
        plat::Rect r = plat::window_rect(h);
        plat::move_window(h, {r.left, r.top + left});
        show_step(h);
    };
    if (frame().batch_run.load() || stop_signal()) return jump();
    double base = plat::monotonic_ms();
    for (int offset : kDropOffsets) {
        if (stop_signal()) return jump();
        plat::Rect r = plat::window_rect(h);
        plat::move_window(h, {r.left, r.top + offset});
        left -= offset;
        show_step(h);
        wait_since(base, kDropStepMs);
        base = plat::monotonic_ms();
    }
    wait_since(base, kDropSettleMs);
}

void on_create(plat::Hwnd h) {
    plat::Hwnd label = plat::create_label(h, plat::Rect::from_xywh(0, 6, 234, 20),
                                          plat::sjis_to_utf8(centred_status_text("Ready")), kStatusLabelId);
    frame().status_label = label.id;
    frame().main_window = h.id;
    drop_in(h);
    frame().screen_depth = plat::screen_depth();
    start_user_thread();
}

bool on_key(const plat::Message& m) {
    FrameState& f = frame();
    if (m.ctrl) {
        if (m.key == 'V') post_main_command(kCmdPaste);
        else if (m.key == 'W') post_main_command(kCmdWindowInfo);
        return true;
    }
    switch (m.key) {
    case plat::key::Escape:
    case 'X': run_exit_sequence(); return true;
    case 'S': request_start(); return true;
    case 'C': request_stop(); return true;
    default: break;
    }
    if (f.trigger_keys.load()) {
        if (m.key == plat::key::Space || m.key == 'Z') {
            MAV_Printf("space");
            f.trigger_flag = 1;
        } else if (m.key == plat::key::Down) {
            MAV_Printf("down");
            f.trigger_flag = 1;
        }
    }
    return true;
}

void show_popup(plat::Point screen) {
    if (frame().pick_active.load()) return;
    plat::MenuPtr menu = build_main_popup_menu();
    int cmd = plat::track_popup_menu(*menu, screen, main_window());
    if (cmd) post_main_command(cmd);
}

void open_lowest_closed_text_window() {
    for (int i = 0; i < kTextSlots; ++i) {
        plat::Hwnd h{windows().text[i].load()};
        if (!h || !plat::is_window(h)) {
            post_open_text(i);
            return;
        }
    }
}

void on_command(int id) {
    switch (id) {
    case kCmdStart: request_start(); return;
    case kCmdStop: request_stop(); return;
    case kCmdExit: run_exit_sequence(); return;
    case kCmdTextWindow: open_lowest_closed_text_window(); return;
    case kCmdImageWindow: image_window_dialogue(); return;
    case kCmdInputBox: input_box_dialogue(); return;
    case kCmdButtonBox: button_box_dialogue(); return;
    case kCmdWindowInfo: window_info_command(); return;
    case kCmdPaste: paste_into_new_image(); return;
    default: return;
    }
}

bool main_proc(plat::Message& m) {
    switch (m.kind) {
    case plat::MsgKind::Create:
        on_create(m.window);
        return true;
    case plat::MsgKind::Command:
        on_command(m.command_id);
        return true;
    case plat::MsgKind::KeyDown:
        return on_key(m);
    case plat::MsgKind::RButtonDown:
        show_popup(m.screen_pos);
        return true;
    case plat::MsgKind::DropFiles:
        handle_dropped_files(m.files);
        return true;
    case plat::MsgKind::Sizing:
        // The main window keeps its size.
        m.rect = plat::window_rect(m.window);
        return true;
    case plat::MsgKind::Moving:
    case plat::MsgKind::Move:
        return handle_snapping(m);
    case plat::MsgKind::Close:
        // The close box ends the program the way Exit does, so UserExit runs.
        run_exit_sequence();
        return true;
    case plat::MsgKind::Destroy:
        plat::post_quit_message(0);
        return true;
    default:
        return false;
    }
}

// Any format the codecs read, decoded to its end: a file that cannot be read
// whole gets no window (the load request decodes it again).
bool probe_image_size(const std::string& path, int& w, int& h) {
    DecodedPicture picture;
    if (plat::IoResult r = decode_picture_file(path, picture); !r) {
        report_drop_failure(path, r.message);
        return false;
    }
    w = picture.pixels.width();
    h = picture.pixels.height();
    return true;
}

}  // namespace

void set_image_size_probe(ImageSizeProbe probe) { g_size_probe = probe; }
void post_main_command(int id) {
    plat::Message m;
    m.window = main_window();
    m.kind = plat::MsgKind::Command;
    m.command_id = id;
    plat::post_message(m);
}

void set_restore_image_hook(RestoreImageHook hook) { g_restore_hook = hook; }

bool register_main_window_class(int instance) {
    plat::WindowClass cls;
    cls.name = class_name_for(instance);
    cls.proc = main_proc;
    cls.background = plat::theme::kFace;
    // The paste command's request 9004 is served by the clipboard code.
    register_clipboard_requests();
    return plat::register_class(cls);
}

plat::Hwnd create_main_window(int instance, const std::string& caption) {
    const plat::Metrics& mt = plat::metrics();
    std::uint32_t st = plat::style::Caption | plat::style::CloseBox | plat::style::SizingBorder;
    // The menu bar takes its height out of the client area asked for.
    plat::Rect wr = plat::adjust_window_rect({0, 0, kClientWidth, mt.menu_bar_height + kClientExtra}, st, false);
    plat::Size fs = plat::full_screen_client();
    int x = (fs.width - wr.width()) / 2;
    int y = fs.height + mt.caption_height - wr.height() - kDropDistance;
    plat::CreateParams p;
    p.class_name = class_name_for(instance);
    p.title = caption;
    p.style = st;
    p.rect = plat::Rect::from_xywh(x, y, wr.width(), wr.height());
    p.menu = plat::Menu::create();
    p.menu->add("Start(&S)", kCmdStart).add("Stop(&C)", kCmdStop).add("Exit(&X)", kCmdExit);
    return plat::create_window(p);
}

plat::MenuPtr build_main_popup_menu() {
    auto menu = plat::Menu::create();
    menu->add("Paste\tCtrl+V", kCmdPaste)
        .add_separator()
        .add("Start", kCmdStart)
        .add("Stop", kCmdStop)
        .add("E&xit", kCmdExit)
        .add_separator()
        .add("Image Window", kCmdImageWindow)
        .add("Text Window", kCmdTextWindow)
        .add("Input Box", kCmdInputBox)
        .add("Button Box", kCmdButtonBox)
        .add_separator()
        .add("&Window Info.\tCtrl+W", kCmdWindowInfo);
    bool gated = busy();
    for (int id : {kCmdPaste, kCmdStart, kCmdImageWindow, kCmdTextWindow, kCmdInputBox, kCmdButtonBox,
                   kCmdWindowInfo})
        menu->find_command(id)->grayed = gated;
    return menu;
}

void request_start() {
    if (!frame().running.load()) frame().start_request = 1;
}

void request_stop() { frame().stop_flag = 1; }

void run_exit_sequence() {
    FrameState& f = frame();
    int expected = kQuitRunning;
    if (!f.quit_state.compare_exchange_strong(expected, kQuitRequested)) return;
    f.input_pending = 0;  // ends a waiting text input
    f.stop_flag = 1;
    MAV_CloseAllLogs();
    if (!wait_user_thread(2000)) abandon_user_thread();
    if (f.quit_state.load() == kQuitRequested) {
        call_user_exit_once();
        f.quit_state = kQuitFinished;
    }
    if (!user_thread_abandoned()) join_user_thread();
    plat::destroy_window(main_window());
}

void handle_dropped_files(const std::vector<std::string>& files) {
    RequestWork work;  // one piece of work from the first create to the last restore
    int counter = 0;
    for (const std::string& given : files) {
        std::error_code ec;
        std::filesystem::path full = std::filesystem::absolute(given, ec);
        if (ec) continue;
        std::string file_part = full.filename().string();
        if (file_part.empty()) continue;
        int w = 0, h = 0;
        ImageSizeProbe probe = g_size_probe.load();
        if (!probe) probe = probe_image_size;
        if (!probe(full.string(), w, h) || w == 0 || h == 0) continue;
        std::string name_part = plat::utf8_to_sjis(file_part);
        for (; counter < kImageSlots; ++counter) {
            char name[300];
            std::snprintf(name, sizeof name, "%03d %s", counter, name_part.c_str());
            int r = post_create_image(counter, name, w, h, 32);
            if (r == 0) {
                std::string path = full.string();
                post_load_image(counter, path.c_str());
                post_refresh(counter);
                // The new window became the current image; go back to the one before.
                RestoreImageHook restore = g_restore_hook.load();
                (restore ? restore : MAV_RestoreImage)();
                ++counter;
                break;
            }
            if (r == 1) continue;
            ++counter;
            break;
        }
        if (frame().quit_state.load() != kQuitRunning) return;
    }
}

}  // namespace mav

void MAV_RequestStart(void) { mav::request_start(); }

void MAV_RequestExit(int code) {
    mav::frame().exit_code = code;
    mav::frame().exit_code_given = true;
    mav::post_main_command(mav::kCmdExit);
}

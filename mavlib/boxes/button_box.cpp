// The button box: a grid of push buttons whose presses (clicks and keys) are
// counted until the program polls them.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <optional>

#include "boxes/box_common.h"
#include "boxes/boxes.h"
#include "mav/boxes.h"
#include "mavlib.h"
#include "plat/ui/controls.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"

namespace mav {

namespace {

constexpr int kGap = 4;
constexpr int kMaxClient = 8192;

struct ButtonBox {
    plat::Hwnd box;
    int nx = 0, ny = 0, count = 0;
    int button_width = 98;  // kept between boxes
    int button_height = 26;
    plat::Hwnd buttons[kButtonBoxMaxButtons];
    // Written by the box's message handling and read-and-cleared by the
    // program, both on the user thread; atomic so that no press is lost even
    // if a program polls from elsewhere.
    std::atomic<int> presses[kButtonBoxMaxButtons] = {};
    int rename_button = 0;
};

ButtonBox& bb() {
    static ButtonBox* s = new ButtonBox;
    return *s;
}

std::atomic<bool> g_parallax_keys{false};

// Set once the program polls its buttons at all, and while it acts on a
// press it took (until it polls again): see button_presses_pending.
std::atomic<bool> g_polled{false};
std::atomic<bool> g_acting{false};

plat::Rect button_rect(int column, int row) {
    const ButtonBox& s = bb();
    return plat::Rect::from_xywh(column * (s.button_width + kGap) + kGap, row * (s.button_height + kGap) + kGap,
                                 s.button_width, s.button_height);
}

void layout_buttons() {
    ButtonBox& s = bb();
    for (int i = 0; i < s.count; ++i) plat::set_window_rect(s.buttons[i], button_rect(i % s.nx, i / s.nx));
    plat::invalidate(s.box);
}

void on_size() {
    ButtonBox& s = bb();
    plat::Rect c = plat::client_rect(s.box);
    s.button_width = std::max(1, c.width() - (kGap * s.nx + kGap)) / s.nx;
    s.button_height = std::max(1, c.height() - (kGap * s.ny + kGap)) / s.ny;
    layout_buttons();
}

bool valid_button(int i) { return bb().box && i >= 0 && i < bb().count; }

void add_press(int i) {
    if (valid_button(i)) bb().presses[i].fetch_add(1, std::memory_order_relaxed);
}

void set_pressed_once(int i) {
    if (valid_button(i)) bb().presses[i].store(1, std::memory_order_relaxed);
}

void forward_to_main(const plat::Message& m) {
    plat::Message fwd = m;
    fwd.window = main_window();
    if (fwd.window) plat::post_message(fwd);
}

void post_close(plat::Hwnd box) {
    plat::Message close;
    close.window = box;
    close.kind = plat::MsgKind::Close;
    plat::post_message(close);
}

void standard_key(const plat::Message& m) {
    if (m.ctrl) {
        if (m.key == 'Q') post_close(m.window);
        return;
    }
    int k = m.key;
    if (k == plat::key::Escape || k == 'C' || k == 'S' || k == 'X') forward_to_main(m);
    else if (k >= '0' && k <= '9') add_press(k - '0');
    else if (k >= plat::key::Numpad0 && k <= plat::key::Numpad0 + 9) add_press(k - plat::key::Numpad0);
}

// The parallax map: which button a key sets, or -1.
int parallax_button(int k) {
    switch (k) {
    case plat::key::Space:
    case plat::key::Up: return 11;
    case '0': return 9;
    case plat::key::Minus: return 10;  // the main keyboard's only, not the keypad's
    case 'Z': return 22;
    case 'X': return 23;
    case 'S': return 36;
    case 'W': return 37;
    case 'Q': return 38;
    case 'A': return 39;
    case 'E': return 40;
    case 'D': return 41;
    default: break;
    }
    if (k >= '1' && k <= '9') return k - '1';
    if (k >= plat::key::Numpad0 && k <= plat::key::Numpad0 + 9) return k - plat::key::Numpad0;
    return -1;
}

void parallax_key(const plat::Message& m) {
    if (!m.ctrl && (m.key == plat::key::Escape || m.key == 'C')) {
        forward_to_main(m);
        return;
    }
    set_pressed_once(parallax_button(m.key));
}

void parallax_char(const plat::Message& m) {
    if (m.ctrl) return;
    if (m.ch >= U'0' && m.ch <= U'9') add_press(int(m.ch - U'0'));
}

void rename_button(int i) {
    if (!valid_button(i)) return;
    plat::Hwnd box = bb().box;
    std::string old = window_text_sjis(bb().buttons[i]);
    rename_through_text_window(i, old, [box, i](const std::string& line) {
        if (bb().box != box || !valid_button(i)) return;
        plat::set_window_text(bb().buttons[i], window_text_from_sjis(line));
    });
}

// The button whose cell holds a client point (the gap left of and above a
// button belongs to it).
int button_at(plat::Point p) {
    const ButtonBox& s = bb();
    int column = std::clamp(p.x / (s.button_width + kGap), 0, s.nx - 1);
    int row = std::clamp(p.y / (s.button_height + kGap), 0, s.ny - 1);
    return column + s.nx * row;
}

// A button's click; the popup menus' commands are left to the shared handling.
bool on_command(const plat::Message& m) {
    ButtonBox& s = bb();
    int i = m.command_id - kButtonIdBase;
    if (i < 0 || i >= s.count || m.notify != plat::notify::Clicked) return false;
    add_press(i);
    plat::set_focus(s.box);  // keys keep working in the box
    return true;
}

void forget_box() {
    ButtonBox& s = bb();
    s.box = {};
    windows().button_box = 0;
    for (auto& b : s.buttons) b = {};
    s.count = s.nx = s.ny = 0;
}

const BoxKind& button_box_kind() {
    static const BoxKind kind{
        .open_box = [] { return bb().box; },
        .on_size = on_size,
        .on_command = on_command,
        .close = MAV_CloseButtonBox,
        .forget = forget_box,
        .destroy_item = "&Destroy\tCtrl+Q",
        .destroy_command = kCmdButtonBoxDestroy,
        .rename_command = kCmdButtonBoxRename,
        .item_at = button_at,
        .rename = rename_button,
        .rename_item = &bb().rename_button,
    };
    return kind;
}

}  // namespace

bool button_presses_pending() {
    if (!g_polled.load(std::memory_order_relaxed) || !frame().running.load()) return false;
    if (g_acting.load(std::memory_order_relaxed)) return true;
    for (const auto& p : bb().presses)
        if (p.load(std::memory_order_relaxed) > 0) return true;
    return false;
}

bool button_box_proc(plat::Message& m) {
    if (std::optional<bool> handled = handle_box_message(m, button_box_kind())) return *handled;
    bool ours = bb().box && m.window == bb().box;
    switch (m.kind) {
    case plat::MsgKind::KeyDown:
        if (!ours) return true;
        if (g_parallax_keys.load()) parallax_key(m);
        else standard_key(m);
        return true;
    case plat::MsgKind::Char:
        if (ours && g_parallax_keys.load()) parallax_char(m);
        return true;
    default:
        return false;
    }
}

ButtonBoxLayout button_box_layout() {
    ButtonBoxLayout out;
    const ButtonBox& s = bb();
    if (!s.box) return out;
    out.open = true;
    out.window = plat::window_rect(s.box);
    out.nx = s.nx;
    out.ny = s.ny;
    out.client = plat::client_rect(s.box).size();
    for (int i = 0; i < s.count; ++i) out.captions.push_back(window_text_sjis(s.buttons[i]));
    return out;
}

}  // namespace mav

using namespace mav;

int MAV_OpenButtonBox(int x, int y, int nx, int ny) {
    ButtonBox& s = bb();
    if (s.box) return 1;
    if (nx <= 0 || ny <= 0 || static_cast<long long>(nx) * ny > kButtonBoxMaxButtons) return 2;
    s.nx = nx;
    s.ny = ny;
    s.count = nx * ny;
    plat::Rect client{0, 0, nx * (s.button_width + kGap) + kGap, ny * (s.button_height + kGap) + kGap};
    plat::Rect wr = plat::adjust_window_rect(client, kBoxStyle, false);
    x = std::clamp(x, -kMaxCoordinate, kMaxCoordinate);
    y = std::clamp(y, -kMaxCoordinate, kMaxCoordinate);
    plat::CreateParams p;
    p.class_name = "mav_bb";
    p.title = "ButtonBox";
    p.style = kBoxStyle | plat::style::Visible;
    p.owner = main_window();
    p.rect = plat::Rect::from_xywh(x, y, wr.width(), wr.height());
    plat::Hwnd box = plat::create_window(p);
    if (!box) {
        s.count = s.nx = s.ny = 0;
        return 3;
    }
    s.box = box;
    for (auto& presses : s.presses) presses.store(0, std::memory_order_relaxed);
    for (int i = 0; i < s.count; ++i) {
        char caption[16];
        std::snprintf(caption, sizeof caption, "%d", i);
        s.buttons[i] = plat::create_button(box, button_rect(i % nx, i / nx), caption, kButtonIdBase + i);
    }
    windows().button_box = box.id;  // for other threads, once it is complete
    plat::update_window(box);
    plat::set_foreground(box);
    return 0;
}

int MAV_CloseButtonBox(void) {
    return close_box_window(bb().box, forget_box, "DestroyWindow[BB] error", "MAVLIB error!");
}

int MAV_SetButtonBoxTitle(int i, const char* title) {
    if (!valid_button(i)) return 1;
    plat::set_window_text(bb().buttons[i], window_text_from_sjis(title ? title : ""));
    return 0;
}

int MAV_ButtonPressed(int i) {
    if (!valid_button(i)) return 0;
    const int n = bb().presses[i].exchange(0, std::memory_order_relaxed);
    g_polled.store(true, std::memory_order_relaxed);
    g_acting.store(n != 0, std::memory_order_relaxed);
    return n;
}

int MAV_ResizeButtonBox(int w, int h) {
    ButtonBox& s = bb();
    if (!s.box) return 1;
    w = std::clamp(w, 1, kMaxClient);
    h = std::clamp(h, 1, kMaxClient);
    plat::Rect now = plat::window_rect(s.box);
    plat::Rect wr = plat::adjust_window_rect({0, 0, w, h}, kBoxStyle, false);
    plat::set_window_rect(s.box, plat::Rect::from_xywh(now.left, now.top, wr.width(), wr.height()));
    on_size();  // also when the size did not change
    return 0;
}

void MAV_UseParallaxButtonKeys(int enabled) { g_parallax_keys = enabled != 0; }

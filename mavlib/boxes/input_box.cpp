// The input box: rows of a label and an edit field, whose values the program
// reads. A field's text becomes its value only when the field loses the
// focus or Enter is pressed in it.
#include <algorithm>
#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

#include "boxes/box_common.h"
#include "boxes/boxes.h"
#include "mav/boxes.h"
#include "mavlib.h"
#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"

namespace mav {

namespace {

constexpr int kRowPitch = 28;
constexpr int kRowHeight = 24;
constexpr int kTop = 4;
constexpr int kLabelX = 4;
constexpr int kLabelDrop = 3;   // labels sit this much lower than their fields
constexpr int kWidthExtra = 12;  // 4 before the label, 4 between, 4 after the field
constexpr int kLabelIdBase = 1100;
constexpr int kFieldIdBase = 1200;
constexpr int kMaxWidth = 4096;
constexpr std::size_t kValueSize = 256;
constexpr const char* kBlanks = "                    ";  // twenty

using Values = std::array<std::array<char, kValueSize>, kInputBoxMaxItems>;

struct InputBox {
    plat::Hwnd box;
    int items = 0;
    int label_width = 80;  // kept between boxes
    int field_width = 70;
    plat::Hwnd labels[kInputBoxMaxItems];
    plat::Hwnd fields[kInputBoxMaxItems];
    std::unique_ptr<Values> values;  // one set per box
    plat::Hwnd focused;              // the field that last got the focus
    plat::Hit sizing_edge = plat::Hit::Nowhere;
    int rename_item = 0;
};

// Touched only by the thread that owns the box (the user thread).
InputBox& ib() {
    static InputBox* s = new InputBox;
    return *s;
}

bool valid_item(int i) { return ib().box && i >= 0 && i < ib().items; }

int field_index(plat::Hwnd h) {
    for (int i = 0; i < ib().items; ++i)
        if (ib().fields[i] == h) return i;
    return -1;
}

void store_value(int i, std::string_view sjis) {
    auto& v = (*ib().values)[std::size_t(i)];
    std::size_t n = std::min(sjis.size(), kValueSize - 1);
    std::memcpy(v.data(), sjis.data(), n);
    v[n] = '\0';
}

// Copies a field's text into its value.
void take_value(int i) {
    if (!valid_item(i) || !ib().values) return;
    store_value(i, window_text_sjis(ib().fields[i]));
}

plat::Rect label_rect(int i) {
    return plat::Rect::from_xywh(kLabelX, kTop + kRowPitch * i + kLabelDrop, ib().label_width, kRowHeight);
}

plat::Rect field_rect(int i) {
    return plat::Rect::from_xywh(ib().label_width + 8, kTop + kRowPitch * i, ib().field_width, kRowHeight);
}

plat::Rect client_for_items() {
    return {0, 0, ib().label_width + ib().field_width + kWidthExtra, kRowPitch * ib().items + 2};
}

void layout_rows() {
    for (int i = 0; i < ib().items; ++i) {
        plat::set_window_rect(ib().labels[i], label_rect(i));  // labels keep their place, fields move
        plat::set_window_rect(ib().fields[i], field_rect(i));
    }
    plat::invalidate(ib().box);
}

bool moves_left_edge(plat::Hit e) {
    return e == plat::Hit::Left || e == plat::Hit::TopLeft || e == plat::Hit::BottomLeft;
}

void on_size() {
    int w = plat::client_rect(ib().box).width();
    InputBox& s = ib();
    if (moves_left_edge(s.sizing_edge))
        s.label_width = std::max(1, w - s.field_width - kWidthExtra);
    else
        s.field_width = std::max(1, w - s.label_width - kWidthExtra);
    layout_rows();
}

plat::Hwnd focused_or_first() {
    if (!ib().focused || field_index(ib().focused) < 0) ib().focused = ib().fields[0];
    return ib().focused;
}

void on_activate(bool active) {
    // Activation messages are posted: by the time one arrives another window
    // may have come to the front, and the focus must not be taken from it.
    if (active != (plat::active_window() == ib().box)) return;
    if (active) {
        plat::set_focus(focused_or_first());
        plat::set_edit_selection(ib().fields[0], 0, -1);
        return;
    }
    // Going to another window takes the focus from the field without telling
    // it, so take its value here, as losing the focus would.
    int i = field_index(ib().focused);
    if (i >= 0 && field_index(plat::focus_window()) < 0) {
        take_value(i);
        plat::invalidate(ib().fields[i]);
    }
}

void rename_item(int item) {
    if (!valid_item(item)) return;
    plat::Hwnd box = ib().box;
    std::string old = window_text_sjis(ib().labels[item]);
    rename_through_text_window(item, old, [box, item](const std::string& line) {
        // The box may have closed, or been replaced, while the line was typed.
        if (ib().box != box || !valid_item(item)) return;
        plat::set_window_text(ib().labels[item], kBlanks);
        plat::set_window_text(ib().labels[item], window_text_from_sjis(line));
    });
}

int item_at(plat::Point client) { return client.y < 0 ? -1 : client.y / kRowPitch; }

// The fields' notices and Enter; the popup menus' commands are left to the
// shared handling.
bool on_command(const plat::Message& m) {
    if (m.source) {
        int i = field_index(m.source);
        if (i < 0) return true;
        if (m.notify == plat::notify::SetFocus) ib().focused = m.source;
        else if (m.notify == plat::notify::KillFocus) take_value(i);
        return true;
    }
    if (m.command_id != plat::kIdOk) return false;
    take_value(field_index(ib().focused));  // Enter
    return true;
}

void forget_box() {
    InputBox& s = ib();
    s.box = {};
    windows().input_box = 0;
    s.values.reset();
    for (int i = 0; i < kInputBoxMaxItems; ++i) s.labels[i] = s.fields[i] = {};
    s.focused = {};
    s.items = 0;
}

void set_field(int i, const char* text) {
    store_value(i, text);
    plat::set_edit_text(ib().fields[i], window_text_from_sjis(text));
}

const BoxKind& input_box_kind() {
    static const BoxKind kind{
        .open_box = [] { return ib().box; },
        .on_size = on_size,
        .on_command = on_command,
        .close = MAV_CloseInputBox,
        .forget = forget_box,
        .destroy_item = "Destroy",
        .destroy_command = kCmdInputBoxDestroy,
        .rename_command = kCmdInputBoxRename,
        .item_at = item_at,
        .rename = rename_item,
        .rename_item = &ib().rename_item,
    };
    return kind;
}

}  // namespace

bool input_box_proc(plat::Message& m) {
    if (std::optional<bool> handled = handle_box_message(m, input_box_kind())) return *handled;
    bool ours = ib().box && m.window == ib().box;
    switch (m.kind) {
    case plat::MsgKind::Sizing:
        if (!ours) return false;
        {
            // Only the width may change.
            plat::Rect now = plat::window_rect(m.window);
            m.rect.top = now.top;
            m.rect.bottom = now.bottom;
            ib().sizing_edge = m.hit;
        }
        return true;
    case plat::MsgKind::Activate:
        if (ours) on_activate(m.flag);
        return true;
    case plat::MsgKind::SetFocus:
        // A click on a label or between the rows: the focus stays in the fields.
        if (ours && plat::focus_window() == m.window) plat::set_focus(focused_or_first());
        return true;
    default:
        return false;
    }
}

InputBoxLayout input_box_layout() {
    InputBoxLayout out;
    InputBox& s = ib();
    out.label_width = s.label_width;
    out.field_width = s.field_width;
    if (!s.box) return out;
    out.open = true;
    out.window = plat::window_rect(s.box);
    out.items = s.items;
    for (int i = 0; i < s.items; ++i) out.titles.push_back(window_text_sjis(s.labels[i]));
    return out;
}

}  // namespace mav

using namespace mav;

int MAV_OpenInputBox(int x, int y, int items) {
    InputBox& s = ib();
    if (s.box) return 1;
    s.items = std::clamp(items, 1, kInputBoxMaxItems);
    plat::Rect wr = plat::adjust_window_rect(client_for_items(), kBoxStyle, false);
    plat::CreateParams p;
    p.class_name = "mav_ib";
    p.title = "InputBox";
    p.style = kBoxStyle | plat::style::Visible;
    p.owner = main_window();
    x = std::clamp(x, -kMaxCoordinate, kMaxCoordinate);
    y = std::clamp(y, -kMaxCoordinate, kMaxCoordinate);
    p.rect = plat::Rect::from_xywh(x, y, wr.width(), wr.height());
    plat::Hwnd box = plat::create_window(p);
    if (!box) {
        s.items = 0;
        return 2;
    }
    s.box = box;
    s.values = std::make_unique<Values>();
    s.focused = {};
    for (int i = 0; i < s.items; ++i) {
        char label[16];
        std::snprintf(label, sizeof label, "Item %d", i);
        s.labels[i] = plat::create_label(box, label_rect(i), label, kLabelIdBase + i);
        store_value(i, "0");
        s.fields[i] = plat::create_edit(box, field_rect(i), "0", kFieldIdBase + i, plat::ctl::TabStop | plat::ctl::Group);
    }
    windows().input_box = box.id;  // for other threads, once it is complete
    plat::update_window(box);
    plat::set_foreground(box);
    plat::set_focus(s.fields[0]);
    return 0;
}

int MAV_CloseInputBox(void) {
    return close_box_window(ib().box, forget_box, "DestroyWindow[IB] Error", "MAVLIB Error!");
}

int MAV_SetInputBoxTitle(int i, const char* title) {
    if (!valid_item(i)) return 1;
    plat::set_window_text(ib().labels[i], kBlanks);
    plat::set_window_text(ib().labels[i], window_text_from_sjis(title ? title : ""));
    return 0;
}

int MAV_SetInputBoxInt(int i, int value) {
    if (!valid_item(i)) return 1;
    char text[16];
    std::snprintf(text, sizeof text, "%d", value);
    set_field(i, text);
    return 0;
}

int MAV_SetInputBoxDouble(int i, double value) {
    if (!valid_item(i)) return 1;
    // What gcvt(value, 10, buf) writes: the shorter of fixed and exponent
    // form, trailing zeros dropped.
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    set_field(i, text);
    return 0;
}

int MAV_GetInputBoxInt(int i) {
    if (!valid_item(i) || !ib().values) return 0;
    // atoi's reading, with out-of-range numbers held at the int limits
    // instead of being undefined.
    long v = std::strtol((*ib().values)[std::size_t(i)].data(), nullptr, 10);
    return int(std::clamp<long>(v, INT_MIN, INT_MAX));
}

double MAV_GetInputBoxDouble(int i) {
    if (!valid_item(i) || !ib().values) return 0.0;
    return std::strtod((*ib().values)[std::size_t(i)].data(), nullptr);
}

int MAV_ResizeInputBox(int label_width, int field_width) {
    InputBox& s = ib();
    s.label_width = std::clamp(label_width, 1, kMaxWidth);
    s.field_width = std::clamp(field_width, 1, kMaxWidth);
    if (!s.box) return 0;
    plat::Rect now = plat::window_rect(s.box);
    plat::Rect client = plat::client_rect(s.box);
    plat::Rect wr = plat::adjust_window_rect({0, 0, s.label_width + s.field_width + kWidthExtra, client.height()},
                                             kBoxStyle, false);
    plat::set_window_rect(s.box, plat::Rect::from_xywh(now.left, now.top, wr.width(), wr.height()));
    layout_rows();
    return 0;
}

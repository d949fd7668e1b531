// The colour dialog: the basic colours and the caller's custom colours as
// grids of cells, a preview of the chosen colour with its "#RRGGBB", the
// Red, Green and Blue fields, "Add to Custom Colors", OK and Cancel. The
// chosen colour follows every click and every keystroke in a field.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "backend_interface.h"
#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/core/window.h"
#include "chooser_answers.h"
#include "control_class.h"
#include "focus_ring.h"
#include "modal_box.h"
#include "modal_loop.h"
#include "swatch_grid.h"
#include "plat/gfx/theme.h"

namespace plat {

namespace {

constexpr const char* kDialogClass = "plat_colordlg";
constexpr const char* kPreviewClass = "plat_colorpreview";
constexpr const char* kCaption = "Color";
constexpr int kCellW = 26, kCellH = 22;

// Eight hues (columns) at five strengths (rows: a pale tint, full, then
// darker), and a row of greys from white to black.
constexpr std::array<Color, colordlg::kColumns> kHues{0xFF0000, 0xFF8000, 0xFFFF00, 0x00FF00,
                                                     0x00FFFF, 0x0000FF, 0x8000FF, 0xFF00FF};
constexpr Color scaled(Color c, int num, int den) {
    return rgb(red_of(c) * num / den, green_of(c) * num / den, blue_of(c) * num / den);
}
constexpr Color tint(Color c) { return rgb((red_of(c) + 255) / 2, (green_of(c) + 255) / 2, (blue_of(c) + 255) / 2); }

std::vector<Color> basic_colors() {
    std::vector<Color> out;
    for (Color h : kHues) out.push_back(tint(h));
    for (int strength : {4, 3, 2, 1})
        for (Color h : kHues) out.push_back(scaled(h, strength, 4));
    for (int i = 0; i < colordlg::kColumns; ++i) {
        int v = 255 - (255 * i + (colordlg::kColumns - 1) / 2) / (colordlg::kColumns - 1);
        out.push_back(rgb(v, v, v));
    }
    return out;
}

struct DialogState {
    Color color = 0;
    std::array<std::uint32_t, 16> custom{};
    int next_custom = 0;  // the cell "Add to Custom Colors" fills
    bool done = false;
    bool ok = false;
    Hwnd dialog, basic, custom_grid, preview, hex, add, ok_button, cancel;
    std::array<Hwnd, 3> fields;  // red, green, blue
};

int component(Color c, int i) { return i == 0 ? red_of(c) : i == 1 ? green_of(c) : blue_of(c); }

std::string hex_text(Color c) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%06X", unsigned(c & 0xFFFFFF));
    return buf;
}

// Shows the chosen colour in the preview and its label, and, unless it came
// from them, in the fields.
void show_color(DialogState& st, bool fields_too) {
    invalidate(st.preview);
    set_window_text(st.hex, hex_text(st.color));
    invalidate(st.hex);
    if (!fields_too) return;
    for (int i = 0; i < 3; ++i) set_edit_text(st.fields[std::size_t(i)], std::to_string(component(st.color, i)));
}

void on_swatch(DialogState& st, Hwnd grid) {
    int i = ui::swatch_selection(grid);
    if (i < 0) return;
    st.color = ui::swatch_color(grid, i);
    if (grid == st.custom_grid) {
        st.next_custom = i;
        ui::set_swatch_selection(st.basic, -1);
    }
    show_color(st, true);
}

// A field's number is taken as it is typed; past the ends it counts as the
// end, and anything that is not a number leaves the colour as it is.
void on_field_change(DialogState& st, int i) {
    auto n = ui::whole_number(window_text(st.fields[std::size_t(i)]));
    if (!n) return;
    int v = std::clamp(*n, 0, 255);
    int r = red_of(st.color), g = green_of(st.color), b = blue_of(st.color);
    (i == 0 ? r : i == 1 ? g : b) = v;
    st.color = rgb(r, g, b);
    int sel = ui::swatch_selection(st.basic);
    if (sel >= 0 && ui::swatch_color(st.basic, sel) != st.color) ui::set_swatch_selection(st.basic, -1);
    show_color(st, false);
}

// Leaving a field shows the number the colour holds.
void on_field_left(DialogState& st, int i) {
    Hwnd f = st.fields[std::size_t(i)];
    std::string text = std::to_string(component(st.color, i));
    if (window_text(f) != text) set_edit_text(f, text);
}

void add_custom(DialogState& st) {
    int i = std::clamp(st.next_custom, 0, 15);
    st.custom[std::size_t(i)] = st.color;
    ui::set_swatch_color(st.custom_grid, i, st.color);
    ui::set_swatch_selection(st.custom_grid, i);
    st.next_custom = (i + 1) % 16;
}

void finish(DialogState& st, bool ok) {
    st.done = true;
    st.ok = ok;
}

int field_index(const DialogState& st, Hwnd h) {
    for (int i = 0; i < 3; ++i)
        if (st.fields[std::size_t(i)] == h) return i;
    return -1;
}

void on_command(DialogState& st, const Message& m) {
    int f = field_index(st, m.source);
    if (m.command_id == kIdOk && m.notify == notify::Clicked) finish(st, true);
    else if (m.command_id == kIdCancel && m.notify == notify::Clicked) finish(st, false);
    else if (m.command_id == colordlg::kAddCustom && m.notify == notify::Clicked) add_custom(st);
    else if (m.notify == ui::kSwatchChosen && m.source) on_swatch(st, m.source);
    else if (f >= 0 && m.notify == notify::Change) on_field_change(st, f);
    else if (f >= 0 && m.notify == notify::KillFocus) on_field_left(st, f);
}

bool dialog_proc(Message& m) {
    return ui::route_box_message<DialogState>(m, on_command, [](DialogState& st) { finish(st, false); });
}

bool preview_proc(Message& m) {
    if (m.kind != MsgKind::Paint) return false;
    DialogState* st = ui::modal_state<DialogState>(m.window);
    Rect r = client_rect(m.window);
    Dc& dc = *m.dc;
    ui::draw_sunken_border(dc, r);
    dc.fill_rect({2, 2, r.right - 1, r.bottom - 1}, st ? st->color : theme::kFace);
    return true;
}

// The dialog's own keys, taken before the focused part sees them.
ui::DialogKeys dialog_keys(DialogState& st) {
    return {.tab_ring = {st.basic, st.custom_grid, st.fields[0], st.fields[1], st.fields[2], st.add, st.ok_button,
                         st.cancel},
            .cancel = [&st] { finish(st, false); },
            .accept = [&st](Hwnd) { finish(st, true); }};
}

Hwnd create_preview(DialogState& st, Rect r) {
    return ui::create_dialog_part(
        {.name = kPreviewClass, .proc = preview_proc, .background = theme::kFace, .paint_background = false}, st.dialog,
        r, colordlg::kPreview, &st, style::MouseTransparent);
}

// The parts, laid out in two columns: the grids and the button that fills
// the custom cells on the left, the preview and the fields on the right.
void create_parts(DialogState& st, const std::vector<Color>& basic) {
    constexpr int kM = 12, kRowH = FixedFont::kCellHeight;
    constexpr int kGridW = colordlg::kColumns * kCellW;
    constexpr int kRightX = kM + kGridW + 16, kRightW = 164;
    const int basic_h = colordlg::kBasicRows * kCellH, custom_h = colordlg::kCustomRows * kCellH;
    const int custom_top = 28 + basic_h + 28;
    const int buttons_y = custom_top + custom_h + 10;

    create_label(st.dialog, Rect::from_xywh(kM, 10, kGridW, kRowH), "Basic colors:", 0);
    st.basic = ui::create_swatch_grid(st.dialog, Rect::from_xywh(kM, 28, kGridW, basic_h), colordlg::kBasic,
                                      colordlg::kColumns, basic);
    create_label(st.dialog, Rect::from_xywh(kM, custom_top - 18, kGridW, kRowH), "Custom colors:", 0);
    st.custom_grid = ui::create_swatch_grid(st.dialog, Rect::from_xywh(kM, custom_top, kGridW, custom_h),
                                            colordlg::kCustom, colordlg::kColumns,
                                            std::vector<Color>(st.custom.begin(), st.custom.end()));
    st.add = create_button(st.dialog, Rect::from_xywh(kM, buttons_y, kGridW, 23), "Add to Custom Colors",
                           colordlg::kAddCustom, ctl::TabStop);

    create_label(st.dialog, Rect::from_xywh(kRightX, 10, kRightW, kRowH), "Color:", 0);
    st.preview = create_preview(st, Rect::from_xywh(kRightX, 28, kRightW, 84));
    st.hex = create_label(st.dialog, Rect::from_xywh(kRightX, 118, kRightW, kRowH), "", colordlg::kHex);
    const char* names[3] = {"Red:", "Green:", "Blue:"};
    const int ids[3] = {colordlg::kRed, colordlg::kGreen, colordlg::kBlue};
    for (int i = 0; i < 3; ++i) {
        int y = 146 + i * 28;
        create_label(st.dialog, Rect::from_xywh(kRightX, y + 3, 56, kRowH), names[i], 0);
        st.fields[std::size_t(i)] = create_edit(st.dialog, Rect::from_xywh(kRightX + 60, y, 48, 22), "", ids[i]);
    }
    st.ok_button = create_button(st.dialog, Rect::from_xywh(kRightX, buttons_y, 78, 23), "OK", kIdOk, ctl::TabStop);
    st.cancel = create_button(st.dialog, Rect::from_xywh(kRightX + kRightW - 78, buttons_y, 78, 23), "Cancel",
                              kIdCancel, ctl::TabStop);
}

Size client_size() {
    constexpr int kGridW = colordlg::kColumns * kCellW;
    int custom_top = 28 + colordlg::kBasicRows * kCellH + 28;
    int buttons_y = custom_top + colordlg::kCustomRows * kCellH + 10;
    return {12 + kGridW + 16 + 164 + 12, buttons_y + 23 + 12};
}

}  // namespace

bool color_dialog(Hwnd owner, std::uint32_t& rgb_out, std::array<std::uint32_t, 16>& custom) {
    detail::DialogInfo info{detail::DialogKind::Color, kCaption, {}};
    if (auto answer = detail::backend().modal_opened(info)) {
        if (answer->cancel) return false;
        auto c = ui::parse_color_answer(answer->path);
        if (!c) {
            std::fprintf(stderr, "%s: cannot read the answer '%s' (#RRGGBB or R,G,B wanted); cancelled\n", kCaption,
                         answer->path.c_str());
            std::fflush(stderr);
            return false;
        }
        rgb_out = *c;
        return true;
    }

    DialogState st;
    st.color = rgb_out & 0xFFFFFF;
    for (std::size_t i = 0; i < st.custom.size(); ++i) st.custom[i] = custom[i] & 0xFFFFFF;
    ui::ensure_class({kDialogClass, dialog_proc, theme::kFace});
    ui::ModalLoop loop;
    st.dialog = ui::create_modal_window(kDialogClass, kCaption, client_size(), owner, &st);
    if (!st.dialog) return false;
    std::vector<Color> basic = basic_colors();
    create_parts(st, basic);
    auto known = std::find(basic.begin(), basic.end(), st.color);
    if (known != basic.end()) ui::set_swatch_selection(st.basic, int(known - basic.begin()));
    show_color(st, true);

    ui::activate_modal_window(st.dialog, st.basic);

    const ui::DialogKeys keys = dialog_keys(st);
    loop.run_while_open(st.dialog, [&] { return st.done; },
                        [&](Message& m) { return ui::take_dialog_key(st.dialog, m, keys); });

    ui::close_modal_window(st.dialog, owner, {st.preview});
    // The custom colours are the caller's to keep, whatever the answer.
    custom = st.custom;
    if (!st.ok) return false;
    rgb_out = st.color;
    return true;
}

}  // namespace plat

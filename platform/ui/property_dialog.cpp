// The property dialog: one row per property (name, slider, value field,
// range, and an "Automatic" box where the property has one) over an OK
// button. Each change goes to the caller's apply at once, on this thread;
// there is nothing to cancel, so OK, Enter, Escape and the close box all
// just close it.
#include <algorithm>
#include <charconv>
#include <cstdint>
#include <string>
#include <vector>

#include "backend_interface.h"
#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/core/keys.h"
#include "plat/core/metrics.h"
#include "plat/core/window.h"
#include "control_class.h"
#include "modal_box.h"
#include "modal_loop.h"
#include "plat/gfx/theme.h"

namespace plat {

namespace {

constexpr const char* kDialogClass = "plat_propdlg";
constexpr int kMargin = 12;
constexpr int kGap = 8;         // between the parts of a row
constexpr int kColumnGap = 24;  // between columns of rows
constexpr int kControlHeight = 22;
constexpr int kPitch = 28;      // row to row, when the screen has room
constexpr int kMinPitch = 24;   // closest the rows may come before a second column opens
constexpr int kSliderWidth = 200;
constexpr int kMaxNameWidth = 240;
constexpr Size kButton{75, 23};
constexpr const char* kAutoCaption = "Automatic";

struct Row {
    PropertyRow p;  // min <= max, step >= 1, value on a step
    Hwnd slider, field, autobox;
};

struct DialogState {
    std::vector<Row> rows;
    const PropertyApply* apply = nullptr;
    Hwnd dialog;
    bool done = false;
};

// The row a part with id `base + r` belongs to, or -1.
int row_of(const DialogState& st, int id, int base) {
    int r = id - base;
    return r >= 0 && r < int(st.rows.size()) ? r : -1;
}

void applied(DialogState& st, int r) {
    const Row& row = st.rows[std::size_t(r)];
    if (*st.apply) (*st.apply)(r, row.p.value, row.p.is_auto);
}

void show_value(const Row& row) {
    std::string text = std::to_string(row.p.value);
    if (window_text(row.field) != text) set_edit_text(row.field, text);
}

void on_slider(DialogState& st, int r) {
    Row& row = st.rows[std::size_t(r)];
    std::int32_t v = slider_pos(row.slider);
    if (v == row.p.value) return;
    row.p.value = v;
    show_value(row);
    applied(st, r);
}

// The field's number, taken as the slider takes a position; anything that
// is not a whole number brings the current value back.
void commit_field(DialogState& st, int r) {
    Row& row = st.rows[std::size_t(r)];
    std::string text = window_text(row.field);
    auto first = text.find_first_not_of(' ');
    auto last = text.find_last_not_of(' ');
    std::string_view num = first == std::string::npos ? std::string_view{}
                                                      : std::string_view(text).substr(first, last - first + 1);
    if (num.size() > 1 && num[0] == '+' && num[1] != '-') num.remove_prefix(1);
    std::int64_t v = 0;
    auto [end, ec] = std::from_chars(num.data(), num.data() + num.size(), v);
    bool whole = !num.empty() && end == num.data() + num.size();
    if (whole && ec == std::errc::result_out_of_range) v = num[0] == '-' ? INT64_MIN / 2 : INT64_MAX / 2;
    else if (!whole || ec != std::errc{}) v = row.p.value;
    set_slider_pos(row.slider, v);
    std::int32_t now = slider_pos(row.slider);
    bool changed = now != row.p.value;
    row.p.value = now;
    show_value(row);
    if (changed) applied(st, r);
}

void show_auto(const Row& row) {
    enable_control(row.slider, !row.p.is_auto);
    enable_control(row.field, !row.p.is_auto);
}

void on_auto(DialogState& st, int r) {
    Row& row = st.rows[std::size_t(r)];
    bool on = is_checked(row.autobox);
    if (on == row.p.is_auto) return;
    row.p.is_auto = on;
    show_auto(row);
    applied(st, r);
}

void on_command(DialogState& st, const Message& m) {
    int id = m.command_id;
    if (id == kIdOk) st.done = true;  // the button, or Enter's default command
    else if (int r = row_of(st, id, propdlg::kSlider); r >= 0 && m.notify == notify::Scroll) on_slider(st, r);
    else if (int r = row_of(st, id, propdlg::kValue); r >= 0 && m.notify == notify::KillFocus) commit_field(st, r);
    else if (int r = row_of(st, id, propdlg::kAuto); r >= 0 && m.notify == notify::Clicked) on_auto(st, r);
}

bool dialog_proc(Message& m) {
    return ui::route_box_message<DialogState>(m, on_command, [](DialogState& st) { st.done = true; });
}

// The dialog's own keys, taken before the dialog keys and the focused
// control see them: Escape closes, Enter in a value field takes its number
// and stays, so that several rows can be typed in a row.
bool dialog_key(DialogState& st, Message& m) {
    if (m.kind != MsgKind::KeyDown || !ui::is_within(st.dialog, m.window)) return false;
    if (m.key == key::Escape) {
        st.done = true;
        return true;
    }
    if (m.key == key::Enter && is_edit(m.window)) {
        if (int r = row_of(st, control_id(m.window), propdlg::kValue); r >= 0) {
            commit_field(st, r);
            set_edit_selection(m.window, 0, -1);
            return true;
        }
    }
    return handle_dialog_key(st.dialog, m);
}

std::string range_text(const PropertyRow& p) { return std::to_string(p.min) + " .. " + std::to_string(p.max); }

struct Layout {
    int name_w = 0, field_w = 0, range_w = 0, auto_w = 0;
    int row_w = 0;
    int pitch = kPitch;
    int per_column = 0;
    int columns = 1;
    Size client;

    Point row_origin(int r) const {
        int col = per_column ? r / per_column : 0;
        int line = per_column ? r % per_column : 0;
        return {kMargin + col * (row_w + kColumnGap), kMargin + line * pitch};
    }
};

// Sized from the rows; when they do not fit the work area's height they
// come closer, then spread over columns.
Layout lay_out(const std::vector<Row>& rows, std::string_view caption) {
    const FixedFont& font = FixedFont::instance();
    Layout l;
    bool any_auto = false;
    for (const Row& row : rows) {
        l.name_w = std::max(l.name_w, font.text_width(row.p.name));
        l.field_w = std::max({l.field_w, font.text_width(std::to_string(row.p.min)),
                              font.text_width(std::to_string(row.p.max))});
        l.range_w = std::max(l.range_w, font.text_width(range_text(row.p)));
        any_auto = any_auto || row.p.has_auto;
    }
    l.name_w = std::min(l.name_w, kMaxNameWidth);
    l.field_w = std::max(l.field_w, font.text_width("00000")) + 10;  // edges and caret room
    l.auto_w = any_auto ? 13 + 5 + font.text_width(kAutoCaption) + 4 : 0;
    l.row_w = l.name_w + kGap + kSliderWidth + kGap + l.field_w + kGap + l.range_w + (any_auto ? kGap + l.auto_w : 0);

    int n = int(rows.size());
    Rect frame = adjust_window_rect({0, 0, 100, 100}, style::Caption | style::CloseBox, false);
    int room = work_area().height() - (frame.height() - 100) - 2 * kMargin - kGap - kButton.height;
    int lines = n;
    if (n > 1 && (n - 1) * kPitch + kControlHeight > room) {
        int fit = std::max(1, (room - kControlHeight) / kMinPitch + 1);  // lines at the closest pitch
        l.columns = (n + fit - 1) / fit;
        lines = (n + l.columns - 1) / l.columns;
        if (lines > 1) l.pitch = std::clamp((room - kControlHeight) / (lines - 1), kMinPitch, kPitch);
    }
    l.per_column = lines;
    int rows_h = lines > 0 ? (lines - 1) * l.pitch + kControlHeight : 0;
    int rows_w = l.columns * l.row_w + (l.columns - 1) * kColumnGap;
    l.client.width = std::max({2 * kMargin + rows_w, kButton.width + 2 * kMargin,
                               font.text_width(caption) + 48});
    l.client.height = kMargin + rows_h + kGap + 4 + kButton.height + kMargin;
    return l;
}

void create_row(DialogState& st, const Layout& l, int r) {
    Row& row = st.rows[std::size_t(r)];
    Point o = l.row_origin(r);
    int label_y = o.y + (kControlHeight - FixedFont::kCellHeight) / 2;
    int x = o.x;
    create_label(st.dialog, Rect::from_xywh(x, label_y, l.name_w, FixedFont::kCellHeight), row.p.name,
                 propdlg::kName + r);
    x += l.name_w + kGap;
    row.slider = create_slider(st.dialog, Rect::from_xywh(x, o.y, kSliderWidth, kControlHeight), propdlg::kSlider + r);
    set_slider_range(row.slider, {row.p.min, row.p.max, row.p.step, 0});
    set_slider_pos(row.slider, row.p.value);
    row.p.value = slider_pos(row.slider);
    x += kSliderWidth + kGap;
    row.field = create_edit(st.dialog, Rect::from_xywh(x, o.y, l.field_w, kControlHeight), std::to_string(row.p.value),
                            propdlg::kValue + r);
    x += l.field_w + kGap;
    create_label(st.dialog, Rect::from_xywh(x, label_y, l.range_w, FixedFont::kCellHeight), range_text(row.p),
                 propdlg::kRange + r);
    x += l.range_w + kGap;
    if (row.p.has_auto) {
        row.autobox = create_check_box(st.dialog, Rect::from_xywh(x, o.y, l.auto_w, kControlHeight), kAutoCaption,
                                       propdlg::kAuto + r);
        set_checked(row.autobox, row.p.is_auto);
        show_auto(row);
    }
}

// Centred over the owner as every box is, then moved back within the work
// area where the owner stands near its edge.
void keep_on_screen(Hwnd dialog) {
    Rect wr = window_rect(dialog);
    Rect area = work_area();
    int x = std::max(area.left, std::min(wr.left, area.right - wr.width()));
    int y = std::max(area.top, std::min(wr.top, area.bottom - wr.height()));
    if (x != wr.left || y != wr.top) move_window(dialog, {x, y});
}

}  // namespace

void property_dialog(Hwnd owner, std::string_view caption, std::vector<PropertyRow> rows, const PropertyApply& apply) {
    detail::DialogInfo info{detail::DialogKind::Properties, std::string(caption), {}};
    if (detail::backend().modal_opened(info)) return;

    DialogState st;
    st.apply = &apply;
    if (rows.size() > std::size_t(propdlg::kMaxRows)) rows.resize(std::size_t(propdlg::kMaxRows));
    for (PropertyRow& p : rows) {
        p.step = std::max<std::int32_t>(1, p.step);
        p.max = std::max(p.min, p.max);  // an empty range holds its minimum only
        p.is_auto = p.has_auto && p.is_auto;
        st.rows.push_back({std::move(p), {}, {}, {}});
    }
    Layout l = lay_out(st.rows, caption);

    ui::ensure_class({kDialogClass, dialog_proc, theme::kFace});
    ui::ModalLoop loop;
    st.dialog = ui::create_modal_window(kDialogClass, caption, l.client, owner, &st);
    if (!st.dialog) return;
    keep_on_screen(st.dialog);
    for (int r = 0; r < int(st.rows.size()); ++r) create_row(st, l, r);
    Hwnd ok = create_button(st.dialog,
                            Rect::from_xywh(l.client.width - kMargin - kButton.width,
                                            l.client.height - kMargin - kButton.height, kButton.width, kButton.height),
                            "OK", kIdOk, ctl::TabStop);

    Hwnd first = ok;
    for (const Row& row : st.rows)
        if (control_enabled(row.slider)) {
            first = row.slider;
            break;
        }
    ui::activate_modal_window(st.dialog, first);

    loop.run_while_open(st.dialog, [&] { return st.done; }, [&](Message& m) { return dialog_key(st, m); });
    ui::close_modal_window(st.dialog, owner);
}

}  // namespace plat

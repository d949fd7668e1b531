// Single-line edit field. The text lives in the window text, so that it can be
// read from any thread; the caret, the selection and the scroll position are
// kept here per field.
#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "plat/core/clipboard.h"
#include "plat/base/codepage.h"
#include "plat/ui/controls.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "control_class.h"
#include "plat/gfx/theme.h"

namespace plat {

namespace {

constexpr const char* kEditClass = "plat_edit";
constexpr int kBorder = 2;       // sunken client edge
constexpr int kTextInset = 3;    // border plus one pixel before the first character
constexpr std::size_t kMaxChars = 32767;

struct EditState {
    int caret = 0;   // active end of the selection
    int anchor = 0;  // the other end
    int scroll = 0;  // pixels of text scrolled off to the left
    bool dragging = false;
};

ui::ControlStates<EditState>& states() { return ui::ControlStates<EditState>::instance(); }
EditState state_of(Hwnd h) { return states().get(h); }
void store_state(Hwnd h, const EditState& st) { states().put(h, st); }

std::u32string text_of(Hwnd h) { return utf8_to_utf32(window_text(h)); }

int text_len(const std::u32string& t) { return int(t.size()); }

// Pixel offset of each caret position: x[i] is where character i starts.
std::vector<int> caret_offsets(const std::u32string& text) {
    const FixedFont& font = FixedFont::instance();
    std::vector<int> x(text.size() + 1, 0);
    for (std::size_t i = 0; i < text.size(); ++i) x[i + 1] = x[i] + font.advance(text[i]);
    return x;
}

int inner_width(Hwnd h) { return std::max(1, client_rect(h).width() - 2 * kTextInset); }

void clamp_state(EditState& st, int len) {
    st.caret = std::clamp(st.caret, 0, len);
    st.anchor = std::clamp(st.anchor, 0, len);
    st.scroll = std::max(0, st.scroll);
}

// Scrolls so that the caret shows, without leaving blank room on the right
// that text could fill.
void keep_caret_visible(Hwnd h, EditState& st, const std::u32string& text) {
    clamp_state(st, text_len(text));
    std::vector<int> x = caret_offsets(text);
    int w = inner_width(h);
    int total = x.back();
    st.scroll = std::min(st.scroll, std::max(0, total + 1 - w));
    int cx = x[std::size_t(st.caret)];
    if (cx < st.scroll) st.scroll = cx;
    if (cx > st.scroll + w - 1) st.scroll = cx - w + 1;
}

void paint(Hwnd h, Dc& outer) {
    Rect client = client_rect(h);
    ui::draw_sunken_border(outer, client, true);
    std::u32string text = text_of(h);
    EditState st = state_of(h);
    clamp_state(st, text_len(text));
    bool enabled = control_enabled(h);
    bool focused = enabled && focus_window() == h;

    // Text may not spill onto the edge.
    Rect inside{client.left + kBorder, client.top + kBorder, client.right - kBorder, client.bottom - kBorder};
    Rect clip = inside.translated(outer.origin().x, outer.origin().y).intersected(outer.clip());
    Dc dc(outer.surface(), outer.origin(), clip);
    dc.set_bk_mode(BkMode::Transparent);
    if (!enabled) dc.fill_rect(inside, theme::kFace);

    std::vector<int> x = caret_offsets(text);
    int x0 = kTextInset - st.scroll;
    int y0 = (client.height() - FixedFont::kCellHeight) / 2;
    dc.set_text_color(enabled ? theme::kText : theme::kGrayText);
    dc.draw_text({x0, y0}, utf32_to_utf8(text));

    int s = std::min(st.caret, st.anchor), e = std::max(st.caret, st.anchor);
    if (focused && s < e) {
        dc.fill_rect({x0 + x[std::size_t(s)], y0, x0 + x[std::size_t(e)], y0 + FixedFont::kCellHeight},
                     theme::kHighlight);
        dc.set_text_color(theme::kHighlightText);
        dc.draw_text({x0 + x[std::size_t(s)], y0},
                     utf32_to_utf8(std::u32string_view(text).substr(std::size_t(s), std::size_t(e - s))));
    }
    if (focused) {
        int cx = x0 + x[std::size_t(st.caret)];
        bool on_highlight = s < e && st.caret == s;  // the caret's column is the highlight's first
        dc.vline(cx, y0, y0 + FixedFont::kCellHeight, on_highlight ? theme::kHighlightText : theme::kText);
    }
}

// Caret position nearest to a client x.
int position_at(Hwnd h, int client_x) {
    std::u32string text = text_of(h);
    EditState st = state_of(h);
    std::vector<int> x = caret_offsets(text);
    int px = client_x - kTextInset + st.scroll;
    int best = 0;
    for (std::size_t i = 0; i < x.size(); ++i)
        if (std::abs(x[i] - px) < std::abs(x[std::size_t(best)] - px)) best = int(i);
    return best;
}

bool is_word_char(char32_t c) { return c > 0x20 && c != 0x3000; }

// The characters around `index` of the same kind as it (a word, or the
// blanks between words), as [start, end).
std::pair<int, int> run_around(const std::u32string& t, int index) {
    const int n = text_len(t);
    if (n == 0) return {0, 0};
    index = std::clamp(index, 0, n - 1);
    const bool word = is_word_char(t[std::size_t(index)]);
    int start = index, end = index + 1;
    while (start > 0 && is_word_char(t[std::size_t(start - 1)]) == word) --start;
    while (end < n && is_word_char(t[std::size_t(end)]) == word) ++end;
    return {start, end};
}

// The character under a client x (the first or last one beyond the text).
int char_at(Hwnd h, int client_x) {
    std::u32string text = text_of(h);
    std::vector<int> x = caret_offsets(text);
    const int px = client_x - kTextInset + state_of(h).scroll;
    int i = 0;
    while (i + 1 < int(text.size()) && x[std::size_t(i) + 1] <= px) ++i;
    return i;
}

int word_left(const std::u32string& t, int pos) {
    while (pos > 0 && !is_word_char(t[std::size_t(pos - 1)])) --pos;
    while (pos > 0 && is_word_char(t[std::size_t(pos - 1)])) --pos;
    return pos;
}

int word_right(const std::u32string& t, int pos) {
    int n = text_len(t);
    while (pos < n && is_word_char(t[std::size_t(pos)])) ++pos;
    while (pos < n && !is_word_char(t[std::size_t(pos)])) ++pos;
    return pos;
}

// Replaces the selection with `insert` (clipped to the length limit) and
// tells the parent when the text changed.
void replace_selection(Hwnd h, EditState& st, std::u32string insert) {
    std::u32string text = text_of(h);
    clamp_state(st, text_len(text));
    std::size_t s = std::size_t(std::min(st.caret, st.anchor));
    std::size_t e = std::size_t(std::max(st.caret, st.anchor));
    std::size_t room = kMaxChars - std::min(kMaxChars, text.size() - (e - s));
    if (insert.size() > room) insert.resize(room);
    if (s == e && insert.empty()) return;
    text.replace(s, e - s, insert);
    st.caret = st.anchor = int(s + insert.size());
    keep_caret_visible(h, st, text);
    store_state(h, st);
    set_window_text(h, utf32_to_utf8(text));
    invalidate(h);
    ui::notify_parent(h, notify::Change);
}

std::u32string selected_text(Hwnd h, const EditState& st) {
    std::u32string text = text_of(h);
    int len = text_len(text);
    std::size_t s = std::size_t(std::clamp(std::min(st.caret, st.anchor), 0, len));
    std::size_t e = std::size_t(std::clamp(std::max(st.caret, st.anchor), 0, len));
    return text.substr(s, e - s);
}

void copy_selection(Hwnd h, const EditState& st) {
    std::u32string sel = selected_text(h, st);
    if (!sel.empty()) clipboard::set_text(utf8_to_utf16(utf32_to_utf8(sel)));
}

// The clipboard's first line, without control characters.
std::u32string clipboard_line() {
    auto text = clipboard::text();
    if (!text) return {};
    std::u32string out;
    for (char32_t c : utf8_to_utf32(utf16_to_utf8(*text))) {
        if (c == U'\r' || c == U'\n') break;
        if (c == U'\t') c = U' ';
        if (c >= 0x20 && c != 0x7F) out += c;
    }
    return out;
}

void move_caret(Hwnd h, EditState& st, int to, bool extend) {
    std::u32string text = text_of(h);
    st.caret = to;
    if (!extend) st.anchor = to;
    keep_caret_visible(h, st, text);
    store_state(h, st);
    invalidate(h);
}

void on_key(Hwnd h, const Message& m) {
    std::u32string text = text_of(h);
    EditState st = state_of(h);
    clamp_state(st, text_len(text));
    int len = text_len(text);
    bool has_sel = st.caret != st.anchor;
    int s = std::min(st.caret, st.anchor), e = std::max(st.caret, st.anchor);
    switch (m.key) {
    case key::Left: {
        int to = m.ctrl ? word_left(text, st.caret) : std::max(0, st.caret - 1);
        if (has_sel && !m.shift && !m.ctrl) to = s;
        move_caret(h, st, to, m.shift);
        break;
    }
    case key::Right: {
        int to = m.ctrl ? word_right(text, st.caret) : std::min(len, st.caret + 1);
        if (has_sel && !m.shift && !m.ctrl) to = e;
        move_caret(h, st, to, m.shift);
        break;
    }
    case key::Home: move_caret(h, st, 0, m.shift); break;
    case key::End: move_caret(h, st, len, m.shift); break;
    case key::Backspace:
        if (m.ctrl) break;
        if (!has_sel) {
            if (st.caret == 0) break;
            st.anchor = st.caret - 1;
        }
        replace_selection(h, st, {});
        break;
    case key::Delete:
        if (m.shift) {  // cut
            if (!has_sel) break;
            copy_selection(h, st);
            replace_selection(h, st, {});
            break;
        }
        if (!has_sel) {
            if (st.caret >= len) break;
            st.anchor = st.caret + 1;
        }
        replace_selection(h, st, {});
        break;
    case key::Insert:
        if (m.ctrl) copy_selection(h, st);
        else if (m.shift) replace_selection(h, st, clipboard_line());
        break;
    case 'A':
        if (m.ctrl) {
            st.anchor = 0;
            move_caret(h, st, len, true);
        }
        break;
    case 'C':
        if (m.ctrl) copy_selection(h, st);
        break;
    case 'X':
        if (m.ctrl && has_sel) {
            copy_selection(h, st);
            replace_selection(h, st, {});
        }
        break;
    case 'V':
        if (m.ctrl) replace_selection(h, st, clipboard_line());
        break;
    default:
        break;
    }
}

bool edit_proc(Message& m) {
    Hwnd h = m.window;
    if (ui::is_user_input(m.kind) && !control_enabled(h)) return true;
    if (ui::handle_lifetime_and_paint<EditState>(m, paint)) return true;
    switch (m.kind) {
    case MsgKind::SetFocus: {
        EditState st = state_of(h);
        keep_caret_visible(h, st, text_of(h));
        store_state(h, st);
        invalidate(h);
        ui::notify_parent(h, notify::SetFocus);
        return true;
    }
    case MsgKind::KillFocus: {
        EditState st = state_of(h);
        st.dragging = false;
        store_state(h, st);
        if (capture_window() == h) release_capture();
        invalidate(h);
        ui::notify_parent(h, notify::KillFocus);
        return true;
    }
    case MsgKind::KeyDown:
        on_key(h, m);
        return true;
    case MsgKind::Char:
        // Control characters (Enter, Tab, Backspace, Escape) are keys, not text.
        if (!m.ctrl && m.ch >= 0x20 && m.ch != 0x7F) {
            EditState st = state_of(h);
            replace_selection(h, st, std::u32string(1, m.ch > 0x10FFFF ? char32_t(0xFFFD) : m.ch));
        }
        return true;
    case MsgKind::LButtonDblClk: {
        // A double click selects the word under the pointer, as on every desktop.
        if (focus_window() != h) set_focus(h);
        const auto [start, end] = run_around(text_of(h), char_at(h, m.pos.x));
        EditState st = state_of(h);
        st.dragging = false;
        st.anchor = start;
        move_caret(h, st, end, true);
        return true;
    }
    case MsgKind::LButtonDown: {
        if (focus_window() != h) set_focus(h);
        EditState st = state_of(h);
        int pos = position_at(h, m.pos.x);
        st.dragging = true;
        store_state(h, st);
        move_caret(h, st, pos, m.shift);
        set_capture(h);
        return true;
    }
    case MsgKind::MouseMove: {
        EditState st = state_of(h);
        if (!st.dragging) return true;
        move_caret(h, st, position_at(h, m.pos.x), true);
        return true;
    }
    case MsgKind::LButtonUp: {
        EditState st = state_of(h);
        st.dragging = false;
        store_state(h, st);
        if (capture_window() == h) release_capture();
        return true;
    }
    default:
        return false;
    }
}

}  // namespace

Hwnd create_edit(Hwnd parent, Rect rect, std::string_view text, int id, std::uint32_t extra_style) {
    return ui::create_control({kEditClass, theme::kLight, edit_proc, true, true}, parent, rect, text, id, extra_style);
}

bool is_edit(Hwnd h) { return h && class_name(h) == kEditClass; }

void set_edit_text(Hwnd h, std::string_view utf8) {
    if (!is_edit(h)) return;
    store_state(h, EditState{});
    set_window_text(h, utf8);
    invalidate(h);
}

void set_edit_selection(Hwnd h, int start, int end) {
    if (!is_edit(h)) return;
    std::u32string text = text_of(h);
    int len = text_len(text);
    EditState st = state_of(h);
    st.anchor = std::clamp(start, 0, len);
    st.caret = end < 0 ? len : std::clamp(end, 0, len);
    keep_caret_visible(h, st, text);
    store_state(h, st);
    invalidate(h);
}

EditSelection edit_selection(Hwnd h) {
    EditState st = state_of(h);
    clamp_state(st, text_len(text_of(h)));
    return {std::min(st.caret, st.anchor), std::max(st.caret, st.anchor), st.caret};
}

int edit_scroll(Hwnd h) { return state_of(h).scroll; }

}  // namespace plat

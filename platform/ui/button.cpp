// Multi-line push button, its caption in the UI font.
#include <algorithm>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "plat/base/codepage.h"
#include "plat/ui/controls.h"
#include "plat/core/keys.h"
#include "plat/gfx/ui_font.h"
#include "plat/core/window.h"
#include "control_class.h"
#include "plat/gfx/theme.h"

namespace plat {

namespace {

constexpr const char* kButtonClass = "plat_button";
constexpr int kTextMargin = 4;  // each side, inside the edges
constexpr int kEdge = 2;        // the raised edge, which captions stay off
constexpr const char* kEllipsis = "...";

struct ButtonState {
    ui::PressState press;
};

ui::ControlStates<ButtonState>& states() { return ui::ControlStates<ButtonState>::instance(); }
ButtonState state_of(Hwnd h) { return states().get(h); }
void store_state(Hwnd h, const ButtonState& st) { states().put(h, st); }

// The caption as lines that fit `width`: its own line breaks first, then
// breaks at the last blank that fits, or inside a word too long for a line.
std::vector<std::u32string> wrap_lines(const UiFont& font, std::string_view caption, int width) {
    std::vector<std::u32string> out;
    std::u32string para;
    auto flush = [&](std::u32string p) {
        while (true) {
            int w = 0;
            std::size_t fit = 0;
            while (fit < p.size() && w + font.advance(p[fit]) <= width) w += font.advance(p[fit++]);
            if (fit >= p.size()) {
                out.push_back(std::move(p));
                return;
            }
            std::size_t cut = fit;
            std::size_t blank = p.rfind(U' ', fit);
            if (blank != std::u32string::npos && blank > 0) cut = blank;
            if (cut == 0) cut = 1;  // not even one character fits: one per line
            out.push_back(p.substr(0, cut));
            std::size_t next = cut;
            while (next < p.size() && p[next] == U' ') ++next;
            p.erase(0, next);
            if (p.empty()) return;
        }
    };
    for (char32_t c : utf8_to_utf32(caption)) {
        if (c == U'\r') continue;
        if (c == U'\n') {
            flush(para);
            para.clear();
        } else {
            para += c;
        }
    }
    flush(para);
    return out;
}

int width_of(const UiFont& font, const std::u32string& s) {
    int w = 0;
    for (char32_t c : s) w += font.advance(c);
    return w;
}

// The last line that shows when more do not fit: as much of it as fits
// with an ellipsis after it.
std::u32string with_ellipsis(const UiFont& font, std::u32string line, int width) {
    const std::u32string dots = utf8_to_utf32(kEllipsis);
    while (!line.empty() && (line.back() == U' ' || width_of(font, line + dots) > width)) line.pop_back();
    return line + dots;
}

// The lines of a caption as a button of `client` size shows them: only
// whole lines, as many as fit between its edges (one at least).
std::vector<std::string> caption_lines(const UiFont& font, std::string_view caption, Size client) {
    const int width = std::max(1, client.width - 2 * kTextMargin);
    std::vector<std::u32string> lines = wrap_lines(font, caption, width);
    const std::size_t room = std::size_t(std::max(1, (client.height - 2 * kEdge) / font.line_height()));
    if (lines.size() > room) {
        lines.resize(room);
        lines.back() = with_ellipsis(font, lines.back(), width);
    }
    std::vector<std::string> out;
    for (const std::u32string& l : lines) out.push_back(utf32_to_utf8(l));
    return out;
}

void paint(Hwnd h, Dc& dc) {
    Rect r = client_rect(h);
    ButtonState st = state_of(h);
    if (st.press.pressed) {
        dc.frame_rect(r, theme::kDark);
        dc.frame_rect({r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, theme::kShadow);
    } else {
        dc.hline(r.left, r.right - 1, r.top, theme::kLight);
        dc.vline(r.left, r.top, r.bottom - 1, theme::kLight);
        dc.hline(r.left, r.right, r.bottom - 1, theme::kDark);
        dc.vline(r.right - 1, r.top, r.bottom, theme::kDark);
        dc.hline(r.left + 1, r.right - 1, r.bottom - 2, theme::kShadow);
        dc.vline(r.right - 2, r.top + 1, r.bottom - 1, theme::kShadow);
    }
    const int off = st.press.pressed ? 1 : 0;
    const UiFont& font = UiFont::instance();
    const std::vector<std::string> lines = caption_lines(font, window_text(h), r.size());
    const int pitch = font.line_height();
    // The block of lines is centred, and each line in it.
    int y = (r.height() - int(lines.size()) * pitch) / 2 + off;
    // A caption taller or wider than the button stays off its edges.
    Rect inside{r.left + kEdge, r.top + kEdge, r.right - kEdge, r.bottom - kEdge};
    Dc text_dc(dc.surface(), dc.origin(), inside.translated(dc.origin().x, dc.origin().y).intersected(dc.clip()));
    text_dc.set_text_color(theme::kText);
    for (const std::string& line : lines) {
        font.draw_text(text_dc, {(r.width() - font.text_width(line)) / 2 + off, y}, line);
        y += pitch;
    }
    if (focus_window() == h && r.width() > 8 && r.height() > 8)
        ui::draw_focus_rect(dc, {r.left + 3, r.top + 3, r.right - 3, r.bottom - 3});
}

void tell_parent(Hwnd h) { ui::notify_parent(h, notify::Clicked); }

bool button_proc(Message& m) {
    Hwnd h = m.window;
    if (ui::handle_lifetime_and_paint<ButtonState>(m, paint)) return true;
    switch (m.kind) {
    case MsgKind::SetFocus:
        invalidate(h);
        return true;
    case MsgKind::Char:
        return true;  // a button takes no text
    default: {
        ButtonState st = state_of(h);
        const ui::PressResult r = ui::track_press(h, m, st.press);
        if (!r.handled) return false;
        store_state(h, st);
        if (r.redraw || m.kind == MsgKind::KillFocus) invalidate(h);
        if (r.clicked) tell_parent(h);
        return true;
    }
    }
}

}  // namespace

Hwnd create_button(Hwnd parent, Rect rect, std::string_view caption, int id, std::uint32_t extra_style) {
    return ui::create_control({kButtonClass, theme::kFace, button_proc}, parent, rect, caption, id, extra_style);
}

bool is_button(Hwnd h) { return h && class_name(h) == kButtonClass; }

void click_button(Hwnd h) {
    if (is_button(h)) tell_parent(h);
}

}  // namespace plat

// The modal Yes/No question, as the save dialog asks before overwriting:
// text lines over a Yes and a No button, No focused at first. Y and N answer
// it, Escape and the close box say No, Enter the focused button.
#include <algorithm>
#include <string>
#include <vector>

#include "backend_interface.h"
#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "control_class.h"
#include "modal_box.h"
#include "modal_loop.h"
#include "plat/gfx/theme.h"

namespace plat {

namespace {

constexpr const char* kQuestionClass = "plat_question";
constexpr int kMargin = 16;
constexpr Size kButton{75, 23};

struct QuestionState {
    std::vector<std::string> lines;
    int answer = 0;
    Hwnd yes, no;
};

bool question_proc(Message& m) {
    auto* st = ui::modal_state<QuestionState>(m.window);
    if (!st) return false;
    switch (m.kind) {
    case MsgKind::Paint:
        ui::draw_lines(*m.dc, {kMargin, kMargin}, st->lines);
        return true;
    case MsgKind::Command:
        if (m.command_id == kIdYes || m.command_id == kIdNo) st->answer = m.command_id;
        return true;
    case MsgKind::Close:
        st->answer = kIdNo;
        return true;
    default:
        return false;
    }
}

// The box's own keys, taken before the focused button sees them.
bool question_key(QuestionState& st, Hwnd box, const Message& m) {
    if (m.kind != MsgKind::KeyDown || !ui::is_within(box, m.window)) return false;
    switch (m.key) {
    case 'Y': st.answer = kIdYes; return true;
    case 'N':
    case key::Escape: st.answer = kIdNo; return true;
    case key::Enter: st.answer = focus_window() == st.yes ? kIdYes : kIdNo; return true;
    case key::Tab:
    case key::Left:
    case key::Right:
        set_focus(focus_window() == st.yes ? st.no : st.yes);
        return true;
    default:
        return false;
    }
}

}  // namespace

int yes_no_box(Hwnd owner, std::string_view text, std::string_view caption) {
    detail::DialogInfo info{detail::DialogKind::Question, std::string(caption), std::string(text)};
    if (auto answer = detail::backend().modal_opened(info)) return answer->cancel ? kIdNo : kIdYes;

    QuestionState st;
    st.lines = ui::split_lines(text);
    const FixedFont& font = FixedFont::instance();
    int client_w = std::max({ui::widest_line(st.lines) + 2 * kMargin, 2 * kButton.width + 48,
                             font.text_width(std::string(caption)) + 48});
    int client_h = kMargin + int(st.lines.size()) * FixedFont::kCellHeight + kMargin + kButton.height + 12;

    ui::ensure_class({kQuestionClass, question_proc, theme::kFace});
    ui::ModalLoop loop;
    Hwnd box = ui::create_modal_window(kQuestionClass, caption, {client_w, client_h}, owner, &st);
    if (!box) return kIdNo;
    int by = client_h - 12 - kButton.height;
    int bx = (client_w - (2 * kButton.width + 8)) / 2;
    st.yes = create_button(box, Rect::from_xywh(bx, by, kButton.width, kButton.height), "Yes", kIdYes, ctl::TabStop);
    st.no = create_button(box, Rect::from_xywh(bx + kButton.width + 8, by, kButton.width, kButton.height), "No",
                          kIdNo, ctl::TabStop);
    ui::activate_modal_window(box, st.no);

    loop.run_while_open(box, [&] { return st.answer != 0; }, [&](Message& m) { return question_key(st, box, m); });
    ui::close_modal_window(box, owner);
    return st.answer ? st.answer : kIdNo;
}

}  // namespace plat

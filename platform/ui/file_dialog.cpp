// The open-file and save-file dialogs and the Yes/No question they ask
// before overwriting. Both run a modal loop on the calling thread, as the
// message box does.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "backend_interface.h"
#include "plat/controls.h"
#include "plat/dialogs.h"
#include "plat/keys.h"
#include "plat/menu.h"
#include "plat/metrics.h"
#include "plat/paths.h"
#include "plat/window.h"
#include "ui_colors.h"

namespace fs = std::filesystem;

namespace plat {

namespace {

constexpr const char* kDialogClass = "plat_filedlg";
constexpr const char* kListClass = "plat_filelist";
constexpr const char* kComboClass = "plat_filtercombo";
constexpr const char* kQuestionClass = "plat_question";
constexpr int kRowHeight = FixedFont::kCellHeight;
constexpr int kListInset = 2;
constexpr int kWheelRows = 3;
constexpr Color kFolderYellow = 0xE8C44A;

// ---- Shared pieces ----------------------------------------------------------

char lower(char c) { return char(std::tolower(static_cast<unsigned char>(c))); }

bool less_no_case(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        char x = lower(a[i]), y = lower(b[i]);
        if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;  // names differing only in case keep a stable order
}

bool glob_match(std::string_view name, std::string_view pat) {
    std::size_t n = 0, p = 0, star = std::string_view::npos, mark = 0;
    while (n < name.size()) {
        if (p < pat.size() && (pat[p] == '?' || lower(pat[p]) == lower(name[n]))) {
            ++n;
            ++p;
        } else if (p < pat.size() && pat[p] == '*') {
            star = p++;
            mark = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++mark;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == '*') ++p;
    return p == pat.size();
}

std::string trimmed(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
    return std::string(s.substr(b, e - b));
}

bool has_wildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

// An absolute, lexically normal folder path without a trailing separator
// (but "/" for the root).
std::string normal_folder(const fs::path& p) {
    std::error_code ec;
    fs::path abs = p.is_absolute() ? p : fs::absolute(p, ec);
    std::string s = abs.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    return s.empty() ? std::string("/") : s;
}

std::string start_folder(const std::string& initial) {
    std::error_code ec;
    if (!initial.empty() && fs::is_directory(initial, ec)) return normal_folder(initial);
    return normal_folder(fs::current_path(ec));
}

// `name` (UTF-8, Windows-style or POSIX) taken relative to `folder`.
std::string resolve(const std::string& folder, std::string_view name) {
    fs::path p(to_native_path(name));
    if (!p.is_absolute()) p = fs::path(folder) / p;
    return p.lexically_normal().string();
}

Point centred_on(Hwnd owner, Size outer) {
    Rect area{0, 0, screen_size().width, screen_size().height};
    if (owner && is_window(owner)) area = window_rect(owner);
    return {std::max(0, area.left + (area.width() - outer.width) / 2),
            std::max(0, area.top + (area.height() - outer.height) / 2)};
}

void draw_sunken(Dc& dc, Rect r) {
    dc.hline(r.left, r.right - 1, r.top, ui::kShadow);
    dc.vline(r.left, r.top, r.bottom - 1, ui::kShadow);
    dc.hline(r.left + 1, r.right - 2, r.top + 1, ui::kDark);
    dc.vline(r.left + 1, r.top + 1, r.bottom - 2, ui::kDark);
    dc.hline(r.left, r.right, r.bottom - 1, ui::kLight);
    dc.vline(r.right - 1, r.top, r.bottom, ui::kLight);
}

// Runs a modal loop until `done` holds or the window goes; a Quit seen on
// the way is put back for the loop that waits for it. `pre` may take a
// message before it is dispatched.
template <typename Done, typename Pre>
void modal_loop(Hwnd window, Done done, Pre pre) {
    Message m;
    while (!done() && is_window(window)) {
        if (!get_message(m)) {
            post_quit_message(int(m.param));
            return;
        }
        if (pre(m)) continue;
        translate_message(m);
        dispatch_message(m);
    }
}

bool inside(Hwnd root, Hwnd h) {
    for (int depth = 0; h && depth < 64; ++depth) {
        if (h == root) return true;
        h = parent_of(h);
    }
    return false;
}

// ---- The file dialog's state --------------------------------------------------

struct DialogState {
    bool save = false;
    FileDialogOptions options;
    std::string caption;
    std::string folder;
    std::string typed_patterns;  // set when a wildcard name was entered
    std::vector<FolderEntry> entries;
    int selected = -1;
    int top = 0;
    int filter_index = 1;  // 1-based
    bool answered = false;
    FileDialogResult result;

    Hwnd dialog, folder_label, list, name, combo, ok, cancel;

    std::string patterns() const {
        if (!typed_patterns.empty()) return typed_patterns;
        if (options.filters.empty()) return "*.*";
        return options.filters[std::size_t(filter_index - 1)].patterns;
    }
    int visible_rows() const { return std::max(1, (client_rect(list).height() - 2 * kListInset) / kRowHeight); }
};

void show_folder(DialogState& st) {
    // The tail of a long path is the part worth seeing; cut at character starts.
    const FixedFont& font = FixedFont::instance();
    int room = client_rect(st.folder_label).width();
    std::string shown = st.folder;
    for (std::size_t cut = 1; font.text_width(shown) > room && cut < st.folder.size(); ++cut) {
        if ((static_cast<unsigned char>(st.folder[cut]) & 0xC0) == 0x80) continue;
        shown = "..." + st.folder.substr(cut);
    }
    set_window_text(st.folder_label, shown);
}

void relist(DialogState& st) {
    st.entries = list_folder(st.folder, st.patterns());
    st.selected = -1;
    st.top = 0;
    invalidate(st.list);
}

void go_to(DialogState& st, const std::string& folder) {
    st.folder = normal_folder(folder);
    show_folder(st);
    relist(st);
}

void scroll_into_view(DialogState& st) {
    int rows = st.visible_rows();
    if (st.selected < st.top) st.top = st.selected;
    if (st.selected >= st.top + rows) st.top = st.selected - rows + 1;
    st.top = std::clamp(st.top, 0, std::max(0, int(st.entries.size()) - rows));
}

void select_entry(DialogState& st, int index) {
    if (st.entries.empty()) return;
    index = std::clamp(index, 0, int(st.entries.size()) - 1);
    st.selected = index;
    scroll_into_view(st);
    const FolderEntry& e = st.entries[std::size_t(index)];
    if (!e.folder) set_edit_text(st.name, e.name);
    invalidate(st.list);
}

void set_filter(DialogState& st, int index) {
    if (st.options.filters.empty()) return;
    index = std::clamp(index, 1, int(st.options.filters.size()));
    st.filter_index = index;
    st.typed_patterns.clear();
    // A pattern in the name field follows the filter; a name stays.
    if (has_wildcard(window_text(st.name))) set_edit_text(st.name, st.patterns());
    invalidate(st.combo);
    relist(st);
}

void finish(DialogState& st, bool ok, std::string path = {}) {
    st.answered = true;
    st.result.ok = ok;
    st.result.path = ok ? std::move(path) : std::string();
    st.result.filter_index = st.filter_index;
}

// After a box the dialog asked, the name is the thing to correct.
void refocus_name(DialogState& st) {
    if (!is_window(st.name)) return;
    set_focus(st.name);
    set_edit_selection(st.name, 0, -1);
}

// OK, or Enter outside the list: act on the file-name field.
void accept_name(DialogState& st) {
    std::string text = trimmed(window_text(st.name));
    if (text.empty()) return;
    if (has_wildcard(text)) {
        st.typed_patterns = text;
        relist(st);
        return;
    }
    std::string full = resolve(st.folder, text);
    std::error_code ec;
    if (fs::is_directory(full, ec)) {
        go_to(st, full);
        set_edit_text(st.name, "");
        return;
    }
    fs::path p(full);
    if (st.options.path_must_exist && (!p.has_filename() || !fs::is_directory(p.parent_path(), ec))) {
        message_box(st.dialog, text + "\nPath does not exist.\nCheck the path and try again.", st.caption,
                    MbIcon::Error);
        refocus_name(st);
        return;
    }
    bool exists = fs::exists(p, ec);
    if (!st.save && st.options.file_must_exist && !exists) {
        message_box(st.dialog, text + "\nFile not found.\nCheck the file name and try again.", st.caption,
                    MbIcon::Error);
        refocus_name(st);
        return;
    }
    if (st.save && st.options.overwrite_prompt && exists) {
        if (yes_no_box(st.dialog, p.filename().string() + " already exists.\nDo you want to replace it?",
                       st.caption) != kIdYes) {
            refocus_name(st);
            return;
        }
    }
    finish(st, true, full);
}

// Double click or Enter on the list's selected entry.
void activate_selected(DialogState& st) {
    if (st.selected < 0 || st.selected >= int(st.entries.size())) {
        accept_name(st);
        return;
    }
    const FolderEntry& e = st.entries[std::size_t(st.selected)];
    if (e.folder) {
        go_to(st, resolve(st.folder, e.name));
        return;
    }
    set_edit_text(st.name, e.name);
    accept_name(st);
}

DialogState* state_of(Hwnd h) { return reinterpret_cast<DialogState*>(user_data(h)); }

// ---- The list of entries --------------------------------------------------------

void draw_entry_icon(Dc& dc, Point at, bool folder) {
    if (folder) {
        dc.fill_rect(Rect::from_xywh(at.x, at.y + 4, 5, 2), kFolderYellow);
        dc.fill_rect(Rect::from_xywh(at.x, at.y + 5, 12, 8), kFolderYellow);
        dc.frame_rect(Rect::from_xywh(at.x, at.y + 5, 12, 8), ui::kDark);
    } else {
        dc.fill_rect(Rect::from_xywh(at.x + 1, at.y + 2, 9, 12), ui::kLight);
        dc.frame_rect(Rect::from_xywh(at.x + 1, at.y + 2, 9, 12), ui::kShadow);
    }
}

void paint_list(DialogState& st, Dc& dc) {
    Rect r = client_rect(st.list);
    dc.fill_rect(r, ui::kLight);
    draw_sunken(dc, r);
    bool focused = focus_window() == st.list;
    int rows = st.visible_rows();
    dc.set_bk_mode(BkMode::Transparent);
    for (int i = 0; i < rows && st.top + i < int(st.entries.size()); ++i) {
        int index = st.top + i;
        const FolderEntry& e = st.entries[std::size_t(index)];
        int y = kListInset + i * kRowHeight;
        bool sel = index == st.selected;
        if (sel) dc.fill_rect({kListInset, y, r.right - kListInset, y + kRowHeight}, focused ? ui::kHighlight : ui::kFace);
        draw_entry_icon(dc, {kListInset + 3, y}, e.folder);
        dc.set_text_color(sel && focused ? ui::kHighlightText : ui::kText);
        dc.draw_text({kListInset + 20, y}, e.name);
    }
}

bool list_proc(Message& m) {
    DialogState* st = state_of(m.window);
    if (!st) return false;
    int count = int(st->entries.size());
    switch (m.kind) {
    case MsgKind::Paint:
        paint_list(*st, *m.dc);
        return true;
    case MsgKind::SetFocus:
    case MsgKind::KillFocus:
        invalidate(m.window);
        return true;
    case MsgKind::LButtonDown:
    case MsgKind::LButtonDblClk: {
        set_focus(m.window);
        int row = st->top + (m.pos.y - kListInset) / kRowHeight;
        if (m.pos.y < kListInset || row >= count) return true;
        select_entry(*st, row);
        if (m.kind == MsgKind::LButtonDblClk) activate_selected(*st);
        return true;
    }
    case MsgKind::MouseWheel: {
        int rows = st->visible_rows();
        st->top = std::clamp(st->top - m.wheel / 120 * kWheelRows, 0, std::max(0, count - rows));
        invalidate(m.window);
        return true;
    }
    case MsgKind::KeyDown: {
        int page = std::max(1, st->visible_rows() - 1);
        switch (m.key) {
        case key::Up: select_entry(*st, st->selected < 0 ? 0 : st->selected - 1); break;
        case key::Down: select_entry(*st, st->selected + 1); break;
        case key::PageUp: select_entry(*st, st->selected - page); break;
        case key::PageDown: select_entry(*st, std::max(0, st->selected) + page); break;
        case key::Home: select_entry(*st, 0); break;
        case key::End: select_entry(*st, count - 1); break;
        case key::Backspace:
            if (st->folder != "/") go_to(*st, fs::path(st->folder).parent_path().string());
            break;
        default: break;
        }
        return true;
    }
    case MsgKind::Char:
        return true;
    default:
        return false;
    }
}

// ---- The filter drop-down -------------------------------------------------------

void paint_combo(DialogState& st, Dc& dc) {
    Rect r = client_rect(st.combo);
    dc.fill_rect(r, ui::kLight);
    draw_sunken(dc, r);
    bool focused = focus_window() == st.combo;
    int arrow_w = r.height() - 4;
    Rect arrow{r.right - 2 - arrow_w, 2, r.right - 2, r.bottom - 2};
    Rect text_area{3, 3, arrow.left - 1, r.bottom - 3};
    if (focused) dc.fill_rect(text_area, ui::kHighlight);
    dc.set_bk_mode(BkMode::Transparent);
    dc.set_text_color(focused ? ui::kHighlightText : ui::kText);
    if (!st.options.filters.empty())
        dc.draw_text({5, (r.height() - kRowHeight) / 2}, st.options.filters[std::size_t(st.filter_index - 1)].label);
    dc.fill_rect(arrow, ui::kFace);
    dc.frame_rect(arrow, ui::kDark);
    int cx = (arrow.left + arrow.right) / 2, cy = (arrow.top + arrow.bottom) / 2 - 2;
    for (int i = 0; i < 4; ++i) dc.hline(cx - 3 + i, cx + 4 - i, cy + i, ui::kText);
}

void drop_down(DialogState& st) {
    if (st.options.filters.empty()) return;
    auto menu = Menu::create();
    for (std::size_t i = 0; i < st.options.filters.size(); ++i) {
        // '&' marks mnemonics in menus; a label shows it literally.
        std::string text;
        for (char c : st.options.filters[i].label) text += c == '&' ? std::string("&&") : std::string(1, c);
        menu->add(text, int(i) + 1);
        menu->items.back().checked = int(i) + 1 == st.filter_index;
    }
    Rect r = window_rect(st.combo);
    int chosen = track_popup_menu(*menu, {r.left, r.bottom}, st.dialog);
    if (chosen > 0 && is_window(st.dialog)) set_filter(st, chosen);
}

bool combo_proc(Message& m) {
    DialogState* st = state_of(m.window);
    if (!st) return false;
    switch (m.kind) {
    case MsgKind::Paint:
        paint_combo(*st, *m.dc);
        return true;
    case MsgKind::SetFocus:
    case MsgKind::KillFocus:
        invalidate(m.window);
        return true;
    case MsgKind::LButtonDown:
        set_focus(m.window);
        drop_down(*st);
        return true;
    case MsgKind::KeyDown:
        if (m.key == key::Up) set_filter(*st, st->filter_index - 1);
        else if (m.key == key::Down && !m.ctrl) set_filter(*st, st->filter_index + 1);
        else if (m.key == key::F4 || m.key == key::Space) drop_down(*st);  // as drop-downs do
        return true;
    case MsgKind::Char:
        return true;
    default:
        return false;
    }
}

// ---- The dialog window ----------------------------------------------------------

bool dialog_proc(Message& m) {
    DialogState* st = state_of(m.window);
    if (!st) return false;
    switch (m.kind) {
    case MsgKind::Command:
        if (m.command_id == kIdOk && m.notify == notify::Clicked) accept_name(*st);
        else if (m.command_id == kIdCancel && m.notify == notify::Clicked) finish(*st, false);
        return true;
    case MsgKind::Close:
        finish(*st, false);
        return true;  // the dialog's caller destroys it
    default:
        return false;
    }
}

void register_classes() {
    static std::once_flag once;
    std::call_once(once, [] {
        WindowClass dlg;
        dlg.name = kDialogClass;
        dlg.background = ui::kFace;
        dlg.proc = dialog_proc;
        register_class(dlg);
        WindowClass list;
        list.name = kListClass;
        list.background = ui::kLight;
        list.paint_background = false;
        list.double_clicks = true;
        list.proc = list_proc;
        register_class(list);
        WindowClass combo;
        combo.name = kComboClass;
        combo.background = ui::kLight;
        combo.paint_background = false;
        combo.proc = combo_proc;
        register_class(combo);
    });
}

Hwnd create_child(Hwnd parent, const char* cls, Rect r, int id, DialogState* st) {
    CreateParams p;
    p.class_name = cls;
    p.style = style::Child | style::Visible | ctl::TabStop;
    p.rect = r;
    p.parent = parent;
    p.control_id = id;
    p.user_data = reinterpret_cast<std::intptr_t>(st);
    return create_window(p);
}

// Tab order: list, name, filter, OK, Cancel.
void tab(DialogState& st, bool backwards) {
    std::vector<Hwnd> ring{st.list, st.name, st.combo, st.ok, st.cancel};
    auto it = std::find(ring.begin(), ring.end(), focus_window());
    int n = int(ring.size());
    int i = it == ring.end() ? (backwards ? 0 : n - 1) : int(it - ring.begin());
    Hwnd next = ring[std::size_t((i + (backwards ? n - 1 : 1)) % n)];
    set_focus(next);
    if (next == st.name) set_edit_selection(st.name, 0, -1);
}

// The dialog's own keys, taken before the focused control sees them.
bool dialog_key(DialogState& st, const Message& m) {
    if (m.kind != MsgKind::KeyDown || !inside(st.dialog, m.window)) return false;
    switch (m.key) {
    case key::Escape:
        finish(st, false);
        return true;
    case key::Tab:
        if (m.ctrl) return false;
        tab(st, m.shift);
        return true;
    case key::Enter:
        if (m.window == st.cancel) finish(st, false);
        else if (m.window == st.list) activate_selected(st);
        else accept_name(st);
        return true;
    default:
        return false;
    }
}

FileDialogResult run_file_dialog(Hwnd owner, const FileDialogOptions& options, bool save) {
    DialogState st;
    st.save = save;
    st.options = options;
    st.caption = options.caption.empty() ? (save ? "Save As" : "Open") : options.caption;
    int nfilters = int(options.filters.size());
    st.filter_index = options.filter_index >= 1 && options.filter_index <= nfilters ? options.filter_index : 1;
    st.folder = start_folder(options.initial_dir);

    detail::DialogInfo info{save ? detail::DialogKind::Save : detail::DialogKind::Open, st.caption, st.folder};
    if (auto answer = detail::backend().modal_opened(info)) {
        FileDialogResult r;
        r.filter_index = st.filter_index;
        if (answer->cancel || answer->path.empty()) return r;
        r.ok = true;
        r.path = resolve(st.folder, answer->path);
        return r;
    }

    register_classes();
    constexpr int kW = 460, kH = 316, kM = 10;
    constexpr int kFieldX = 124, kFieldW = 236, kButtonX = 370, kButtonW = 80;
    std::uint32_t dlg_style = style::Caption | style::CloseBox | style::Visible;
    Rect wr = adjust_window_rect({0, 0, kW, kH}, dlg_style, false);
    Point at = centred_on(owner, wr.size());
    CreateParams p;
    p.class_name = kDialogClass;
    p.title = st.caption;
    p.style = dlg_style;
    p.rect = Rect::from_xywh(at.x, at.y, wr.width(), wr.height());
    p.user_data = reinterpret_cast<std::intptr_t>(&st);
    st.dialog = create_window(p);
    if (!st.dialog) return {};

    create_label(st.dialog, Rect::from_xywh(kM, 12, kFieldX - kM, kRowHeight), "Look in:", 0);
    st.folder_label = create_label(st.dialog, Rect::from_xywh(kFieldX, 12, kW - kFieldX - kM, kRowHeight), "",
                                   filedlg::kFolder);
    st.list = create_child(st.dialog, kListClass, Rect::from_xywh(kM, 36, kW - 2 * kM, 13 * kRowHeight + 2 * kListInset),
                           filedlg::kList, &st);
    create_label(st.dialog, Rect::from_xywh(kM, 253, kFieldX - kM, kRowHeight), "File name:", 0);
    st.name = create_edit(st.dialog, Rect::from_xywh(kFieldX, 250, kFieldW, 22), options.file_name, filedlg::kName);
    create_label(st.dialog, Rect::from_xywh(kM, 283, kFieldX - kM, kRowHeight), "Files of type:", 0);
    st.combo = create_child(st.dialog, kComboClass, Rect::from_xywh(kFieldX, 280, kFieldW, 22), filedlg::kFilter, &st);
    st.ok = create_button(st.dialog, Rect::from_xywh(kButtonX, 250, kButtonW, 23), save ? "Save" : "Open", kIdOk,
                          ctl::TabStop);
    st.cancel = create_button(st.dialog, Rect::from_xywh(kButtonX, 280, kButtonW, 23), "Cancel", kIdCancel,
                              ctl::TabStop);
    show_folder(st);
    relist(st);

    set_foreground(st.dialog);
    set_focus(st.name);
    set_edit_selection(st.name, 0, -1);

    modal_loop(st.dialog, [&] { return st.answered; }, [&](Message& m) { return dialog_key(st, m); });

    for (Hwnd h : {st.dialog, st.list, st.combo})
        if (is_window(h)) set_user_data(h, 0);
    destroy_window(st.dialog);
    if (owner && is_window(owner)) set_foreground(owner);
    if (!st.answered) st.result.filter_index = st.filter_index;
    return st.result;
}

// ---- The Yes/No question -----------------------------------------------------

struct QuestionState {
    std::vector<std::string> lines;
    int answer = 0;
    Hwnd yes, no;
};

bool question_proc(Message& m) {
    auto* st = reinterpret_cast<QuestionState*>(user_data(m.window));
    if (!st) return false;
    switch (m.kind) {
    case MsgKind::Paint: {
        m.dc->set_bk_mode(BkMode::Transparent);
        m.dc->set_text_color(ui::kText);
        int y = 16;
        for (const auto& line : st->lines) {
            m.dc->draw_text({16, y}, line);
            y += kRowHeight;
        }
        return true;
    }
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

bool question_key(QuestionState& st, Hwnd box, const Message& m) {
    if (m.kind != MsgKind::KeyDown || !inside(box, m.window)) return false;
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

bool match_file_patterns(std::string_view name, std::string_view patterns) {
    bool any = false;
    std::size_t start = 0;
    while (start <= patterns.size()) {
        std::size_t end = patterns.find(';', start);
        if (end == std::string_view::npos) end = patterns.size();
        std::string pat = trimmed(patterns.substr(start, end - start));
        if (!pat.empty()) {
            any = true;
            if (pat == "*.*" || glob_match(name, pat)) return true;
        }
        start = end + 1;
    }
    return !any;
}

std::vector<FolderEntry> list_folder(const std::string& folder, std::string_view patterns) {
    std::vector<FolderEntry> folders, files;
    std::error_code ec;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (name.empty() || name[0] == '.') continue;
        std::error_code type_ec;
        if (it->is_directory(type_ec)) folders.push_back({name, true});
        else if (match_file_patterns(name, patterns)) files.push_back({name, false});
    }
    auto by_name = [](const FolderEntry& a, const FolderEntry& b) { return less_no_case(a.name, b.name); };
    std::sort(folders.begin(), folders.end(), by_name);
    std::sort(files.begin(), files.end(), by_name);
    std::vector<FolderEntry> out;
    if (normal_folder(folder) != "/") out.push_back({"..", true});
    out.insert(out.end(), folders.begin(), folders.end());
    out.insert(out.end(), files.begin(), files.end());
    return out;
}

FileDialogResult open_file_dialog(Hwnd owner, const FileDialogOptions& options) {
    return run_file_dialog(owner, options, false);
}

FileDialogResult save_file_dialog(Hwnd owner, const FileDialogOptions& options) {
    return run_file_dialog(owner, options, true);
}

int yes_no_box(Hwnd owner, std::string_view text, std::string_view caption) {
    detail::DialogInfo info{detail::DialogKind::Question, std::string(caption), std::string(text)};
    if (auto answer = detail::backend().modal_opened(info)) return answer->cancel ? kIdNo : kIdYes;

    static std::once_flag once;
    std::call_once(once, [] {
        WindowClass cls;
        cls.name = kQuestionClass;
        cls.background = ui::kFace;
        cls.proc = question_proc;
        register_class(cls);
    });

    QuestionState st;
    std::string cur;
    for (char c : text) {
        if (c == '\n') {
            st.lines.push_back(cur);
            cur.clear();
        } else if (c != '\r') {
            cur += c;
        }
    }
    st.lines.push_back(cur);
    const FixedFont& font = FixedFont::instance();
    int text_w = 0;
    for (const auto& l : st.lines) text_w = std::max(text_w, font.text_width(l));
    constexpr Size kButton{75, 23};
    int client_w = std::max({text_w + 32, 2 * kButton.width + 48, font.text_width(std::string(caption)) + 48});
    int client_h = 16 + int(st.lines.size()) * kRowHeight + 16 + kButton.height + 12;
    std::uint32_t box_style = style::Caption | style::CloseBox | style::Visible;
    Rect wr = adjust_window_rect({0, 0, client_w, client_h}, box_style, false);
    Point at = centred_on(owner, wr.size());
    CreateParams p;
    p.class_name = kQuestionClass;
    p.title = std::string(caption);
    p.style = box_style;
    p.rect = Rect::from_xywh(at.x, at.y, wr.width(), wr.height());
    p.user_data = reinterpret_cast<std::intptr_t>(&st);
    Hwnd box = create_window(p);
    if (!box) return kIdNo;
    int by = client_h - 12 - kButton.height;
    int bx = (client_w - (2 * kButton.width + 8)) / 2;
    st.yes = create_button(box, Rect::from_xywh(bx, by, kButton.width, kButton.height), "Yes", kIdYes, ctl::TabStop);
    st.no = create_button(box, Rect::from_xywh(bx + kButton.width + 8, by, kButton.width, kButton.height), "No",
                          kIdNo, ctl::TabStop);
    set_foreground(box);
    set_focus(st.no);

    modal_loop(box, [&] { return st.answer != 0; }, [&](Message& m) { return question_key(st, box, m); });

    set_user_data(box, 0);
    destroy_window(box);
    if (owner && is_window(owner)) set_foreground(owner);
    return st.answer ? st.answer : kIdNo;
}

}  // namespace plat

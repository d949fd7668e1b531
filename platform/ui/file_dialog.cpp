// The open-file and save-file dialogs: the folder shown, the list of its
// entries (file_list.cpp), the file-name field, the filter drop-down, and OK
// and Cancel. They run a modal loop on the calling thread, as the message box
// does, and ask with the Yes/No question (question_box.cpp) before
// overwriting.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "backend_interface.h"
#include "plat/ui/controls.h"
#include "plat/ui/popup_menu.h"
#include "plat/ui/dialogs.h"
#include "plat/core/keys.h"
#include "plat/core/menu.h"
#include "plat/base/paths.h"
#include "plat/core/window.h"
#include "control_class.h"
#include "file_list.h"
#include "focus_ring.h"
#include "modal_box.h"
#include "modal_loop.h"
#include "ui_colors.h"

namespace fs = std::filesystem;

namespace plat {

namespace {

constexpr const char* kDialogClass = "plat_filedlg";
constexpr const char* kListClass = "plat_filelist";
constexpr const char* kComboClass = "plat_filtercombo";
constexpr int kRowHeight = FixedFont::kCellHeight;
constexpr int kListInset = 2;
constexpr int kWheelRows = 3;
constexpr Color kFolderYellow = 0xE8C44A;

// ---- Paths ------------------------------------------------------------------

using ui::has_wildcard;
using ui::normal_folder;
using ui::trimmed;

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
    ui::draw_sunken_border(dc, r);
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
    DialogState* st = ui::modal_state<DialogState>(m.window);
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
    ui::draw_sunken_border(dc, r);
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
    DialogState* st = ui::modal_state<DialogState>(m.window);
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

void on_command(DialogState& st, const Message& m) {
    if (m.command_id == kIdOk && m.notify == notify::Clicked) accept_name(st);
    else if (m.command_id == kIdCancel && m.notify == notify::Clicked) finish(st, false);
}

bool dialog_proc(Message& m) {
    return ui::route_box_message<DialogState>(m, on_command, [](DialogState& st) { finish(st, false); });
}

Hwnd create_list(DialogState& st, Rect r) {
    return ui::create_dialog_part({.name = kListClass,
                                   .proc = list_proc,
                                   .background = ui::kLight,
                                   .paint_background = false,
                                   .double_clicks = true},
                                  st.dialog, r, filedlg::kList, &st, ctl::TabStop);
}

Hwnd create_combo(DialogState& st, Rect r) {
    return ui::create_dialog_part(
        {.name = kComboClass, .proc = combo_proc, .background = ui::kLight, .paint_background = false}, st.dialog, r,
        filedlg::kFilter, &st, ctl::TabStop);
}

// The dialog's own keys, taken before the focused control sees them. Tab
// order: list, name, filter, OK, Cancel.
ui::DialogKeys dialog_keys(DialogState& st) {
    return {.tab_ring = {st.list, st.name, st.combo, st.ok, st.cancel},
            .cancel = [&st] { finish(st, false); },
            .accept = [&st](Hwnd focused) {
                if (focused == st.list) activate_selected(st);
                else accept_name(st);
            }};
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

    ui::ensure_class({kDialogClass, dialog_proc, ui::kFace});
    constexpr int kW = 460, kH = 316, kM = 10;
    constexpr int kFieldX = 124, kFieldW = 236, kButtonX = 370, kButtonW = 80;
    ui::ModalLoop loop;
    st.dialog = ui::create_modal_window(kDialogClass, st.caption, {kW, kH}, owner, &st);
    if (!st.dialog) return {};

    create_label(st.dialog, Rect::from_xywh(kM, 12, kFieldX - kM, kRowHeight), "Look in:", 0);
    st.folder_label = create_label(st.dialog, Rect::from_xywh(kFieldX, 12, kW - kFieldX - kM, kRowHeight), "",
                                   filedlg::kFolder);
    st.list = create_list(st, Rect::from_xywh(kM, 36, kW - 2 * kM, 13 * kRowHeight + 2 * kListInset));
    create_label(st.dialog, Rect::from_xywh(kM, 253, kFieldX - kM, kRowHeight), "File name:", 0);
    st.name = create_edit(st.dialog, Rect::from_xywh(kFieldX, 250, kFieldW, 22), options.file_name, filedlg::kName);
    create_label(st.dialog, Rect::from_xywh(kM, 283, kFieldX - kM, kRowHeight), "Files of type:", 0);
    st.combo = create_combo(st, Rect::from_xywh(kFieldX, 280, kFieldW, 22));
    st.ok = create_button(st.dialog, Rect::from_xywh(kButtonX, 250, kButtonW, 23), save ? "Save" : "Open", kIdOk,
                          ctl::TabStop);
    st.cancel = create_button(st.dialog, Rect::from_xywh(kButtonX, 280, kButtonW, 23), "Cancel", kIdCancel,
                              ctl::TabStop);
    show_folder(st);
    relist(st);

    ui::activate_modal_window(st.dialog, st.name);

    const ui::DialogKeys keys = dialog_keys(st);
    loop.run_while_open(st.dialog, [&] { return st.answered; },
                        [&](Message& m) { return ui::take_dialog_key(st.dialog, m, keys); });

    ui::close_modal_window(st.dialog, owner, {st.list, st.combo});
    if (!st.answered) st.result.filter_index = st.filter_index;
    return st.result;
}

}  // namespace

FileDialogResult open_file_dialog(Hwnd owner, const FileDialogOptions& options) {
    return run_file_dialog(owner, options, false);
}

FileDialogResult save_file_dialog(Hwnd owner, const FileDialogOptions& options) {
    return run_file_dialog(owner, options, true);
}

}  // namespace plat

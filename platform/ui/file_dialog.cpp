// The open-file and save-file dialogs: the folder shown, the list of its
// entries (file_list.cpp, shown in a list box), the file-name field, the filter drop-down, and OK
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
#include "list_box.h"
#include "modal_box.h"
#include "modal_loop.h"
#include "plat/gfx/theme.h"

namespace fs = std::filesystem;

namespace plat {

namespace {

constexpr const char* kDialogClass = "plat_filedlg";
constexpr const char* kComboClass = "plat_filtercombo";
constexpr int kRowHeight = FixedFont::kCellHeight;
constexpr Color kFolderYellow = 0xE8C44A;
constexpr int kFileIcon = 0, kFolderIcon = 1;
constexpr int kIconColumn = 17;  // the icon and the room after it

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
    std::vector<FolderEntry> entries;  // as the list shows them
    int filter_index = 1;  // 1-based
    bool answered = false;
    FileDialogResult result;

    Hwnd dialog, folder_label, list, name, combo, ok, cancel;

    std::string patterns() const {
        if (!typed_patterns.empty()) return typed_patterns;
        if (options.filters.empty()) return "*.*";
        return options.filters[std::size_t(filter_index - 1)].patterns;
    }
    // The entry chosen in the list, if any.
    const FolderEntry* selected() const {
        int i = ui::list_selection(list);
        return i >= 0 && i < int(entries.size()) ? &entries[std::size_t(i)] : nullptr;
    }
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
    std::vector<std::string> names;
    std::vector<int> icons;
    for (const FolderEntry& e : st.entries) {
        names.push_back(e.name);
        icons.push_back(e.folder ? kFolderIcon : kFileIcon);
    }
    ui::set_list_items(st.list, std::move(names), std::move(icons));
}

void go_to(DialogState& st, const std::string& folder) {
    st.folder = normal_folder(folder);
    show_folder(st);
    relist(st);
}

// A file chosen in the list becomes the name; a folder leaves the name be.
void on_entry_chosen(DialogState& st) {
    const FolderEntry* e = st.selected();
    if (e && !e->folder) set_edit_text(st.name, e->name);
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
    const FolderEntry* chosen = st.selected();
    if (!chosen) {
        accept_name(st);
        return;
    }
    const FolderEntry e = *chosen;  // going to a folder relists the entries
    if (e.folder) {
        go_to(st, resolve(st.folder, e.name));
        return;
    }
    set_edit_text(st.name, e.name);
    accept_name(st);
}

// ---- The icons of the list's entries ---------------------------------------------

void draw_entry_icon(Dc& dc, Point at, int kind) {
    if (kind == kFolderIcon) {
        dc.fill_rect(Rect::from_xywh(at.x, at.y + 4, 5, 2), kFolderYellow);
        dc.fill_rect(Rect::from_xywh(at.x, at.y + 5, 12, 8), kFolderYellow);
        dc.frame_rect(Rect::from_xywh(at.x, at.y + 5, 12, 8), theme::kDark);
    } else {
        dc.fill_rect(Rect::from_xywh(at.x + 1, at.y + 2, 9, 12), theme::kLight);
        dc.frame_rect(Rect::from_xywh(at.x + 1, at.y + 2, 9, 12), theme::kShadow);
    }
}

// Backspace in the list goes up to the parent folder.
bool take_list_key(DialogState& st, const Message& m) {
    if (m.kind != MsgKind::KeyDown || m.window != st.list || m.key != key::Backspace) return false;
    if (st.folder != "/") go_to(st, fs::path(st.folder).parent_path().string());
    return true;
}

// ---- The filter drop-down -------------------------------------------------------

void paint_combo(DialogState& st, Dc& dc) {
    Rect r = client_rect(st.combo);
    dc.fill_rect(r, theme::kLight);
    ui::draw_sunken_border(dc, r);
    bool focused = focus_window() == st.combo;
    int arrow_w = r.height() - 4;
    Rect arrow{r.right - 2 - arrow_w, 2, r.right - 2, r.bottom - 2};
    Rect text_area{3, 3, arrow.left - 1, r.bottom - 3};
    if (focused) dc.fill_rect(text_area, theme::kHighlight);
    dc.set_bk_mode(BkMode::Transparent);
    dc.set_text_color(focused ? theme::kHighlightText : theme::kText);
    if (!st.options.filters.empty())
        dc.draw_text({5, (r.height() - kRowHeight) / 2}, st.options.filters[std::size_t(st.filter_index - 1)].label);
    dc.fill_rect(arrow, theme::kFace);
    dc.frame_rect(arrow, theme::kDark);
    int cx = (arrow.left + arrow.right) / 2, cy = (arrow.top + arrow.bottom) / 2 - 2;
    for (int i = 0; i < 4; ++i) dc.hline(cx - 3 + i, cx + 4 - i, cy + i, theme::kText);
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
    else if (m.command_id == filedlg::kList && m.notify == ui::kListPicked) on_entry_chosen(st);
    else if (m.command_id == filedlg::kList && m.notify == ui::kListActivated) activate_selected(st);
}

bool dialog_proc(Message& m) {
    return ui::route_box_message<DialogState>(m, on_command, [](DialogState& st) { finish(st, false); });
}

Hwnd create_combo(DialogState& st, Rect r) {
    return ui::create_dialog_part(
        {.name = kComboClass, .proc = combo_proc, .background = theme::kLight, .paint_background = false}, st.dialog, r,
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

    ui::ensure_class({kDialogClass, dialog_proc, theme::kFace});
    constexpr int kW = 460, kH = 316, kM = 10;
    constexpr int kFieldX = 124, kFieldW = 236, kButtonX = 370, kButtonW = 80;
    ui::ModalLoop loop;
    st.dialog = ui::create_modal_window(kDialogClass, st.caption, {kW, kH}, owner, &st);
    if (!st.dialog) return {};

    create_label(st.dialog, Rect::from_xywh(kM, 12, kFieldX - kM, kRowHeight), "Look in:", 0);
    st.folder_label = create_label(st.dialog, Rect::from_xywh(kFieldX, 12, kW - kFieldX - kM, kRowHeight), "",
                                   filedlg::kFolder);
    st.list = ui::create_list_box(st.dialog, Rect::from_xywh(kM, 36, kW - 2 * kM, 13 * kRowHeight + 2 * ui::kListInset),
                                  filedlg::kList, {draw_entry_icon, kIconColumn});
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
                        [&](Message& m) { return take_list_key(st, m) || ui::take_dialog_key(st.dialog, m, keys); });

    ui::close_modal_window(st.dialog, owner, {st.combo});
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

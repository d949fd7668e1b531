// The font dialog: the installed scalable families, the four styles and the
// size in pixels, each as a list (family and size with a field above), the
// effects (strike-out, underline), a sample line drawn with the chosen font,
// OK and Cancel.
#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "backend_interface.h"
#include "plat/base/codepage.h"
#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/gfx/truetype.h"
#include "plat/core/window.h"
#include "chooser_answers.h"
#include "control_class.h"
#include "focus_ring.h"
#include "list_box.h"
#include "modal_box.h"
#include "modal_loop.h"
#include "plat/gfx/theme.h"

namespace plat {

namespace {

static_assert(fontdlg::kListRowHeight == ui::kListRowHeight && fontdlg::kListInset == ui::kListInset);

constexpr const char* kDialogClass = "plat_fontdlg";
constexpr const char* kSampleClass = "plat_fontsample";
constexpr const char* kCaption = "Font";
constexpr const char* kSampleText = "AaBbYyZz";
constexpr std::array<const char*, 4> kStyles{"Regular", "Bold", "Italic", "Bold Italic"};  // bold + 2 * italic
constexpr std::array<int, 17> kSizes{8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 32, 36, 48, 64, 72, 96};

struct DialogState {
    TrueTypeDescription start;
    std::vector<std::string> families;
    std::string start_size_text;  // the size field's first text: OK keeps the height while it shows
    int style = 0;
    bool done = false;
    bool ok = false;
    TrueTypeDescription result;
    TrueTypeFont sample_font;  // the font the sample shows, reopened when the choice changes
    Hwnd dialog, family, family_list, style_label, style_list, strikeout, underline, size, size_list, sample, ok_button,
        cancel;
};

char folded(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool starts_with_folded(std::string_view s, std::string_view prefix) {
    if (prefix.size() > s.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (folded(s[i]) != folded(prefix[i])) return false;
    return true;
}

bool same_folded(std::string_view a, std::string_view b) { return a.size() == b.size() && starts_with_folded(a, b); }

int family_index(const DialogState& st, std::string_view name) {
    for (std::size_t i = 0; i < st.families.size(); ++i)
        if (same_folded(st.families[i], name)) return int(i);
    return -1;
}

// The family the field names: an installed one as it is spelt there, or the
// family the dialog started with; nullopt for anything else.
std::optional<std::string> chosen_family(const DialogState& st) {
    std::string text(ui::trim_blanks(window_text(st.family)));
    if (text == st.start.family) return text;
    int i = family_index(st, text);
    if (i >= 0) return st.families[std::size_t(i)];
    return std::nullopt;
}

// The size the field holds, within 1..kMaxSize.
std::optional<int> chosen_size(const DialogState& st) {
    auto n = ui::whole_number(window_text(st.size));
    if (!n || *n < 1 || *n > fontdlg::kMaxSize) return std::nullopt;
    return *n;
}

// The description OK would give, or nullopt while a field names nothing.
std::optional<TrueTypeDescription> choice(const DialogState& st) {
    auto family = chosen_family(st);
    if (!family) return std::nullopt;
    TrueTypeDescription d = st.start;
    d.family = *family;
    d.bold = st.style & 1;
    d.italic = st.style & 2;
    d.strikeout = is_checked(st.strikeout);
    d.underline = is_checked(st.underline);
    if (window_text(st.size) != st.start_size_text) {
        auto size = chosen_size(st);
        if (!size) return std::nullopt;
        d.height = *size;
    }
    return d;
}

// The sample follows the choice; while a field names nothing it keeps what
// it showed last.
void update_sample(DialogState& st) {
    auto d = choice(st);
    if (!d) return;
    TrueTypeDescription shown = *d;
    shown.height = std::clamp(shown.height, -fontdlg::kMaxSize, fontdlg::kMaxSize);
    if (!st.sample_font.is_null() && st.sample_font.description() == shown) return;
    st.sample_font = TrueTypeFont::open(shown);
    invalidate(st.sample);
}

void set_style(DialogState& st, int style) {
    st.style = std::clamp(style, 0, 3);
    set_window_text(st.style_label, kStyles[std::size_t(st.style)]);
    invalidate(st.style_label);
}

void on_family_typed(DialogState& st) {
    std::string text(ui::trim_blanks(window_text(st.family)));
    int found = -1;
    if (!text.empty())
        for (std::size_t i = 0; i < st.families.size() && found < 0; ++i)
            if (starts_with_folded(st.families[i], text)) found = int(i);
    if (found >= 0) ui::set_list_selection(st.family_list, found);
    update_sample(st);
}

void on_size_typed(DialogState& st) {
    auto n = ui::whole_number(window_text(st.size));
    int found = -1;
    for (std::size_t i = 0; n && i < kSizes.size(); ++i)
        if (kSizes[i] == *n) found = int(i);
    ui::set_list_selection(st.size_list, found);
    update_sample(st);
}

void on_list(DialogState& st, Hwnd list) {
    int i = ui::list_selection(list);
    if (i < 0) return;
    if (list == st.family_list) set_edit_text(st.family, ui::list_item(list, i));
    else if (list == st.size_list) set_edit_text(st.size, ui::list_item(list, i));
    else if (list == st.style_list) set_style(st, i);
    update_sample(st);
}

// After a box the dialog asked, the field it named is the thing to correct.
void refuse(DialogState& st, Hwnd field, const std::string& text) {
    message_box(st.dialog, text, kCaption, MbIcon::Error);
    if (!is_window(field)) return;
    set_focus(field);
    set_edit_selection(field, 0, -1);
}

void accept(DialogState& st) {
    if (!chosen_family(st)) return refuse(st, st.family, "There is no font of that name.\nChoose a font from the list.");
    auto d = choice(st);
    if (!d)
        return refuse(st, st.size,
                      "The size must be a whole number of pixels from 1 to " + std::to_string(fontdlg::kMaxSize) + ".");
    st.result = *d;
    st.ok = true;
    st.done = true;
}

void on_command(DialogState& st, const Message& m) {
    if (m.command_id == kIdOk && m.notify == notify::Clicked) accept(st);
    else if (m.command_id == kIdCancel && m.notify == notify::Clicked) st.done = true;
    else if (m.notify == ui::kListChosen && m.source) on_list(st, m.source);
    else if ((m.source == st.strikeout || m.source == st.underline) && m.notify == notify::Clicked) update_sample(st);
    else if (m.source == st.family && m.notify == notify::Change) on_family_typed(st);
    else if (m.source == st.size && m.notify == notify::Change) on_size_typed(st);
}

bool dialog_proc(Message& m) {
    return ui::route_box_message<DialogState>(m, on_command, [](DialogState& st) { st.done = true; });
}

// The sample line, centred, drawn off-screen first: the font draws onto a
// whole surface, clipped to it only.
bool sample_proc(Message& m) {
    if (m.kind != MsgKind::Paint) return false;
    DialogState* st = ui::modal_state<DialogState>(m.window);
    Rect r = client_rect(m.window);
    Surface canvas(r.width(), r.height());
    canvas.fill(theme::kLight);
    if (st && !st->sample_font.is_null()) {
        const TrueTypeFont& font = st->sample_font;
        std::u32string text = utf8_to_utf32(kSampleText);
        int width = 0;
        for (char32_t c : text) {
            GlyphWidths w;
            if (font.widths(c, w)) width += w.advance;
        }
        Point at{std::max(4, (r.width() - width) / 2), (r.height() - font.ascent() - font.descent()) / 2};
        for (char32_t c : text) at.x += font.draw(canvas, at, c, theme::kText);
    }
    Dc& dc = *m.dc;
    dc.blit({0, 0}, canvas, canvas.rect());
    ui::draw_sunken_border(dc, r);
    return true;
}

// The dialog's own keys, taken before the focused part sees them.
ui::DialogKeys dialog_keys(DialogState& st) {
    return {.tab_ring = {st.family, st.family_list, st.style_list, st.strikeout, st.underline, st.size, st.size_list,
                         st.ok_button, st.cancel},
            .cancel = [&st] { st.done = true; },
            .accept = [&st](Hwnd) { accept(st); }};
}

Hwnd create_sample(DialogState& st, Rect r) {
    return ui::create_dialog_part(
        {.name = kSampleClass, .proc = sample_proc, .background = theme::kLight, .paint_background = false}, st.dialog,
        r, fontdlg::kSample, &st, style::MouseTransparent);
}

constexpr int kM = 12, kGap = 10;
constexpr int kFamilyW = 196, kStyleW = 106, kSizeW = 84;  // room for "Size (px):"
constexpr int kListTop = 54, kListH = 9 * ui::kListRowHeight + 2 * ui::kListInset;
constexpr int kSampleTop = kListTop + kListH + 28, kSampleH = 72;
constexpr int kButtonsY = kSampleTop + kSampleH + 10;
constexpr Size kClient{kM + kFamilyW + kGap + kStyleW + kGap + kSizeW + kM, kButtonsY + 23 + kM};

void create_parts(DialogState& st) {
    constexpr int kRowH = FixedFont::kCellHeight;
    constexpr int kStyleX = kM + kFamilyW + kGap, kSizeX = kStyleX + kStyleW + kGap;
    create_label(st.dialog, Rect::from_xywh(kM, 10, kFamilyW, kRowH), "Font:", 0);
    create_label(st.dialog, Rect::from_xywh(kStyleX, 10, kStyleW, kRowH), "Font style:", 0);
    create_label(st.dialog, Rect::from_xywh(kSizeX, 10, kSizeW, kRowH), "Size (px):", 0);
    st.family = create_edit(st.dialog, Rect::from_xywh(kM, 28, kFamilyW, 22), st.start.family, fontdlg::kFamily);
    st.style_label = create_label(st.dialog, Rect::from_xywh(kStyleX + 3, 31, kStyleW - 3, kRowH), "", 0);
    st.size = create_edit(st.dialog, Rect::from_xywh(kSizeX, 28, kSizeW, 22), st.start_size_text, fontdlg::kSize);
    st.family_list = ui::create_list_box(st.dialog, Rect::from_xywh(kM, kListTop, kFamilyW, kListH),
                                         fontdlg::kFamilyList);
    st.style_list = ui::create_list_box(
        st.dialog, Rect::from_xywh(kStyleX, kListTop, kStyleW, 4 * ui::kListRowHeight + 2 * ui::kListInset),
        fontdlg::kStyleList);
    st.size_list = ui::create_list_box(st.dialog, Rect::from_xywh(kSizeX, kListTop, kSizeW, kListH),
                                       fontdlg::kSizeList);
    constexpr int kEffectsTop = kListTop + 4 * ui::kListRowHeight + 2 * ui::kListInset + 12;
    create_label(st.dialog, Rect::from_xywh(kStyleX, kEffectsTop, kStyleW, kRowH), "Effects", 0);
    st.strikeout = create_check_box(st.dialog, Rect::from_xywh(kStyleX, kEffectsTop + 20, kStyleW, 18), "Strikeout",
                                    fontdlg::kStrikeout);
    st.underline = create_check_box(st.dialog, Rect::from_xywh(kStyleX, kEffectsTop + 42, kStyleW, 18), "Underline",
                                    fontdlg::kUnderline);
    create_label(st.dialog, Rect::from_xywh(kM, kSampleTop - 18, kFamilyW, kRowH), "Sample:", 0);
    st.sample = create_sample(st, Rect::from_xywh(kM, kSampleTop, kClient.width - 2 * kM, kSampleH));
    int right = kClient.width - kM;
    st.cancel = create_button(st.dialog, Rect::from_xywh(right - 78, kButtonsY, 78, 23), "Cancel", kIdCancel,
                              ctl::TabStop);
    st.ok_button = create_button(st.dialog, Rect::from_xywh(right - 78 - 8 - 78, kButtonsY, 78, 23), "OK", kIdOk,
                                 ctl::TabStop);

    ui::set_list_items(st.family_list, st.families);
    ui::set_list_items(st.style_list, std::vector<std::string>(kStyles.begin(), kStyles.end()));
    std::vector<std::string> sizes;
    for (int s : kSizes) sizes.push_back(std::to_string(s));
    ui::set_list_items(st.size_list, sizes);
}

// The list rows the first choice shows: the family asked for, else the
// installed family it leads to.
void show_start(DialogState& st) {
    int i = family_index(st, st.start.family);
    ResolvedFace face;
    if (i < 0 && resolve_face(st.start.family, face)) i = family_index(st, face.family);
    ui::set_list_selection(st.family_list, i);
    set_style(st, int(st.start.bold) + 2 * int(st.start.italic));
    ui::set_list_selection(st.style_list, st.style);
    set_checked(st.strikeout, st.start.strikeout);
    set_checked(st.underline, st.start.underline);
    on_size_typed(st);
}

}  // namespace

bool font_dialog(Hwnd owner, TrueTypeDescription& desc) {
    detail::DialogInfo info{detail::DialogKind::Font, kCaption, {}};
    if (auto answer = detail::backend().modal_opened(info)) {
        if (answer->cancel) return false;
        auto a = ui::parse_font_answer(answer->path, fontdlg::kMaxSize);
        if (!a) {
            std::fprintf(stderr,
                         "%s: cannot read the answer '%s' (Family name,size[,bold][,italic][,underline][,strikeout] "
                         "wanted); cancelled\n",
                         kCaption, answer->path.c_str());
            std::fflush(stderr);
            return false;
        }
        desc.family = a->family;
        desc.height = a->size;
        desc.bold = a->bold;
        desc.italic = a->italic;
        desc.underline = a->underline;
        desc.strikeout = a->strikeout;
        return true;
    }

    DialogState st;
    st.start = desc;
    st.families = scalable_families();
    st.start_size_text = std::to_string(desc.height == 0 ? 16 : desc.height < 0 ? -std::int64_t(desc.height)
                                                                                 : std::int64_t(desc.height));
    ui::ensure_class({kDialogClass, dialog_proc, theme::kFace});
    ui::ModalLoop loop;
    st.dialog = ui::create_modal_window(kDialogClass, kCaption, kClient, owner, &st);
    if (!st.dialog) return false;
    create_parts(st);
    show_start(st);
    update_sample(st);

    ui::activate_modal_window(st.dialog, st.family);

    const ui::DialogKeys keys = dialog_keys(st);
    loop.run_while_open(st.dialog, [&] { return st.done; },
                        [&](Message& m) { return ui::take_dialog_key(st.dialog, m, keys); });

    ui::close_modal_window(st.dialog, owner, {st.sample});
    if (!st.ok) return false;
    desc = st.result;
    return true;
}

}  // namespace plat

// The colour and drawing commands of the image window: the colour dialog and
// the colour pick, lines, boxes, circles, bitmap-font and TrueType text from
// a typed line, the font dialog and the flood fill. Positions come from the
// point pick; everything is drawn with the library's own drawing calls.
#include <array>
#include <cstdint>

#include "image/drawing_state.h"
#include "image/image_commands.h"
#include "image/point_pick.h"
#include "mavlib.h"
#include "plat/ui/dialogs.h"
#include "plat/core/window.h"

namespace mav {

namespace {

// The colour dialog's custom colours, kept for the life of the process.
std::array<std::uint32_t, 16>& custom_colors() {
    static std::array<std::uint32_t, 16> colors = [] {
        std::array<std::uint32_t, 16> c;
        c.fill(0xFFFFFF);
        return c;
    }();
    return colors;
}

void change_color() {
    std::uint32_t rgb = std::uint32_t(MAV_GetDrawColor()) & 0xFFFFFFu;
    // Cancelling leaves the initial colour, which is then taken all the same.
    plat::color_dialog(main_window(), rgb, custom_colors());
    MAV_SetDrawColor(int(rgb));
    mav_tttc = int(rgb);
    mav_tc = int(rgb);
}

void pick_color(int index) {
    PickResult p;
    if (pick_points(PickForm::Point, index, p) != kPicked) return;
    int value = MAV_GetPixel(p.v[0], p.v[1]);
    MAV_SetDrawColor(value);
    ImageRecord& r = image_record(index);
    if (r.in_use.load() && r.bits == 8)
        mav_tttc = int(r.buffer.palette()[std::size_t(value & 0xFF)] & 0xFFFFFFu);
    else
        mav_tttc = value;
}

// Reads a typed line in the current text window (one is opened if none is)
// after "Text>"; false when the program is exiting meanwhile.
bool ask_text(char (&line)[256]) {
    MAV_EnsureTextWindow();
    MAV_Printf("Text>");
    line[0] = '\0';
    MAV_InputText(line);
    return !MAV_QuitRequested();
}

void change_font() {
    plat::TrueTypeDescription desc = tt_font_description();
    release_tt_font();
    // A cancelled dialog leaves the description as it was.
    plat::font_dialog(main_window(), desc);
    set_tt_font_description(desc);
}

void refresh_current() { MAV_Refresh(MAV_GetCurrentImage()); }

}  // namespace

void run_draw_command(int index, int command) {
    if (command == cmd::kColorChange) {
        change_color();
        return;
    }
    if (command == cmd::kTrueTypeFont) {
        change_font();
        return;
    }
    if (command == cmd::kColorPick) {
        pick_color(index);
        return;
    }

    PickForm form = PickForm::Point;
    switch (command) {
    case cmd::kLineNormal: form = PickForm::Line; break;
    case cmd::kLineHorizontal: form = PickForm::Row; break;
    case cmd::kLineVertical: form = PickForm::Column; break;
    case cmd::kBoxNormal:
    case cmd::kBoxFill:
    case cmd::kBoxFillXor:
    case cmd::kTrueTypeDraw: form = PickForm::Box; break;
    case cmd::kCircleNormal:
    case cmd::kCircleFill:
    case cmd::kCircleFillXor: form = PickForm::Circle; break;
    case cmd::kDrawText:
    case cmd::kPaint: form = PickForm::Point; break;
    default: return;
    }
    PickResult p;
    if (pick_points(form, index, p) != kPicked) return;
    const int a = p.v[0], b = p.v[1], c = p.v[2], d = p.v[3];
    const int color = MAV_GetDrawColor();
    switch (command) {
    case cmd::kLineNormal: MAV_Line(color, a, b, c, d); break;
    case cmd::kLineHorizontal: MAV_Line(color, 0, b, MAV_GetImageWidth(index) - 1, b); break;
    case cmd::kLineVertical: MAV_Line(color, a, 0, a, MAV_GetImageHeight(index) - 1); break;
    case cmd::kBoxNormal: MAV_Box(a, b, c, d); break;
    case cmd::kBoxFill: MAV_FillBox(a, b, c, d); break;
    case cmd::kBoxFillXor: MAV_XorFillBox(a, b, c, d); break;
    case cmd::kCircleNormal: MAV_Circle(color, a, b, c); break;
    case cmd::kCircleFill: MAV_FillCircle(a, b, c); break;
    case cmd::kCircleFillXor: MAV_XorFillCircle(a, b, c); break;
    case cmd::kPaint: MAV_Fill(a, b); break;
    case cmd::kDrawText: {
        char line[256];
        if (!ask_text(line)) return;
        mav_tx = mav_tx0 = a;
        mav_ty = b;
        mav_tc = color;
        MAV_PrintImage("%s", line);
        break;
    }
    case cmd::kTrueTypeDraw: {
        char line[256];
        if (!ask_text(line)) return;
        mav_tx = mav_tx0 = a;
        mav_ty = d;
        MAV_SetTTFontSize(c - a + 1, d - b + 1);
        MAV_PutTTString(line);
        break;
    }
    default: break;
    }
    refresh_current();
}

}  // namespace mav

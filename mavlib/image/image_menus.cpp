// The image window's two popup menus.
#include "image/image_commands.h"
#include "plat/core/window.h"
#include "plat/ui/popup_menu.h"
#include "runtime/frame_state.h"

namespace mav {

namespace {

plat::MenuPtr menu_of(std::initializer_list<std::pair<const char*, int>> items) {
    auto m = plat::Menu::create();
    for (const auto& [text, id] : items) {
        if (text) m->add(text, id);
        else m->add_separator();
    }
    return m;
}

}  // namespace

plat::MenuPtr image_main_menu(const ImageRecord& r) {
    auto m = plat::Menu::create();
    m->add("Cut\tCtrl+X", cmd::kCut)
        .add("Copy\tCtrl+C", cmd::kCopy)
        .add("Paste\tCtrl+V", cmd::kPaste)
        .add_separator()
        .add("&Load image file", cmd::kLoad)
        .add("&Save as", cmd::kSaveAs)
        .add_separator()
        .add("Zoom: 50%", cmd::kZoom50)
        .add("Zoom:100%\tCtrl+0", cmd::kZoom100)
        .add("Zoom:200%", cmd::kZoom200)
        .add("&Zoom...", cmd::kZoomTyped)
        .add_separator()
        .add("&Resize...", cmd::kResizeTyped)
        .add("&Destroy\tCtrl+Q", cmd::kDestroy);
    m->find_command(cmd::kZoom50)->checked = r.zoom == 50;
    m->find_command(cmd::kZoom100)->checked = r.zoom == 100;
    m->find_command(cmd::kZoom200)->checked = r.zoom == 200;
    return m;
}

plat::MenuPtr image_second_menu(const ImageRecord& r) {
    auto process = menu_of({{"Invert", cmd::kInvert},
                            {nullptr, 0},
                            {"R. Rotate", cmd::kRotateRight},
                            {"L. Rotate", cmd::kRotateLeft},
                            {nullptr, 0},
                            {"Horz. Flip", cmd::kFlipHorizontal},
                            {"Vert. Flip", cmd::kFlipVertical},
                            {nullptr, 0},
                            {"Size 50.0%", cmd::kSize50},
                            {"Size 70.7%", cmd::kSize70},
                            {"Size 141.4%", cmd::kSize141},
                            {"Size 200.0%", cmd::kSize200}});
    auto information = r.bits == 8 ? menu_of({{"Pixel", cmd::kInfoPixel}, {"Line(Lumi)", cmd::kInfoLineLumi}})
                                   : menu_of({{"Pixel", cmd::kInfoPixel},
                                              {"Line(RGB)", cmd::kInfoLineRgb},
                                              {"Line(HSV)", cmd::kInfoLineHsv},
                                              {"Line(YCrCb)", cmd::kInfoLineYCrCb},
                                              {"Line(CrCb)", cmd::kInfoLineCrCb},
                                              {nullptr, 0},
                                              {"Area(CrCb)", cmd::kInfoAreaCrCb}});
    auto pattern = menu_of({{"RGB", cmd::kPatternRgb},
                            {"HSV", cmd::kPatternHsv},
                            {"YCrCb", cmd::kPatternYCrCb},
                            {"Yuv", cmd::kPatternYuv},
                            {"YIQ", cmd::kPatternYiq},
                            {"Grey", cmd::kPatternGrey}});
    auto m = plat::Menu::create();
    m->add_submenu("Process...", process)
        .add_separator()
        .add_submenu("Information...", information)
        .add_separator()
        .add_submenu("Test Pattern...", pattern)
        .add_separator()
        .add("Clipping\tCtrl+R", cmd::kClipping)
        .add_separator()
        .add_submenu("Color...", menu_of({{"Change", cmd::kColorChange}, {"Pick", cmd::kColorPick}}))
        .add_submenu("Draw Line...", menu_of({{"Normal", cmd::kLineNormal},
                                              {"Horz.", cmd::kLineHorizontal},
                                              {"Vert.", cmd::kLineVertical}}))
        .add_submenu("Draw Box...", menu_of({{"Normal", cmd::kBoxNormal},
                                             {"Fill", cmd::kBoxFill},
                                             {"Fill XOR", cmd::kBoxFillXor}}))
        .add_submenu("Draw Circle...", menu_of({{"Normal", cmd::kCircleNormal},
                                                {"Fill", cmd::kCircleFill},
                                                {"Fill XOR", cmd::kCircleFillXor}}))
        .add_submenu("TrueType...", menu_of({{"Draw", cmd::kTrueTypeDraw}, {"Font Change", cmd::kTrueTypeFont}}))
        .add("Draw Text", cmd::kDrawText)
        .add("Paint", cmd::kPaint);
    return m;
}

void open_image_menu(int index, plat::Point screen, bool second) {
    FrameState& f = frame();
    if (f.pick_active.load() || f.input_pending.load()) return;
    if (!valid_image_index(index)) return;
    ImageRecord& r = image_record(index);
    if (!r.in_use.load()) return;
    plat::Hwnd window = r.hwnd;
    plat::MenuPtr menu = second ? image_second_menu(r) : image_main_menu(r);
    int chosen = plat::track_popup_menu(*menu, screen, window);
    if (chosen == 0) return;
    plat::Message m;
    m.window = window;
    m.kind = plat::MsgKind::Command;
    m.command_id = chosen;
    plat::post_message(m);
}

}  // namespace mav

// The window-information report: the open windows listed in colour in a text
// window, and their layout source put on the clipboard.
#include "tools/window_report.h"

#include <new>
#include <string>

#include "mavlib.h"
#include "plat/core/clipboard.h"
#include "plat/base/codepage.h"
#include "tools/layout_source.h"

namespace mav {

namespace {

constexpr int kWhite = 0xFFFFFF;
constexpr int kBlack = 0x000000;
constexpr int kYellow = 0xFFFF00;
constexpr int kGreen = 0x00FF00;
constexpr int kAzure = 0x0080FF;
constexpr int kMagenta = 0xFF00FF;
constexpr int kNavy = 0x000080;

void print_in(int fg, int bg, const std::string& text) {
    MAV_PushTextColor(fg, bg);
    MAV_Printf("%s", text.c_str());
    MAV_PopTextColor();
}

void print_report(const WindowLayout& layout) {
    if (!layout.images.empty()) print_in(kGreen, kBlack, "[Image Window]\n");
    for (const ImageLayout& im : layout.images) {
        MAV_Printf(" %d ", im.index);
        print_in(kAzure, kBlack, std::to_string(im.bits) + " ");
        print_in(kMagenta, kBlack, std::to_string(im.layout) + " ");
        MAV_Printf(" '%s' X:%d Y:%d W:%d H:%d ZM:%d%%\n", im.title.c_str(), im.x, im.y, im.width, im.height,
                   im.zoom);
    }
    print_in(kGreen, kBlack, "[Text Window]\n");
    for (const TextLayout& t : layout.texts)
        MAV_Printf(" %d X:%d Y:%d W:%d H:%d\n", t.no, t.x, t.y, t.width, t.height);
    if (layout.input.open) {
        const InputBoxLayout& ib = layout.input;
        print_in(kGreen, kBlack, "[Input Box]\n");
        MAV_Printf(" X:%d Y:%d ITEM:%d ", ib.window.left, ib.window.top, ib.items);
        MAV_Printf("ISIZE:%d ESIZE:%d\n", ib.label_width, ib.field_width);
    }
    if (layout.buttons.open) {
        const ButtonBoxLayout& bb = layout.buttons;
        print_in(kGreen, kBlack, "[Button Box]\n");
        MAV_Printf(" X:%d Y:%d NX:%d NY:%d ", bb.window.left, bb.window.top, bb.nx, bb.ny);
        MAV_Printf("SIZE:%dx%d\n", bb.client.width, bb.client.height);
    }
    print_in(kYellow, kBlack, "**********************************\n");
}

}  // namespace

int window_report(int no) {
    if (MAV_SelectTextWindow(no) != 0) return 1;
    MAV_PushTextColor(kWhite, kBlack);
    print_in(kYellow, kBlack, "******* Window information *******\n");
    WindowLayout layout = collect_window_layout();
    print_report(layout);
    try {
        // Grows with the layout: no window is left out of the source.
        plat::clipboard::set_multibyte_text(layout_source(layout));
        static const std::string saved =
            plat::utf8_to_sjis("クリップボードにレイアウト作成ソースリストを保存しました．\n");
        print_in(kYellow, kNavy, saved);
    } catch (const std::bad_alloc&) {
        MAV_Pause("GlobalAlloc() failed. (ID_INFO)");
    }
    MAV_PopTextColor();
    return 0;
}

}  // namespace mav

// What the image window's menu commands and command keys do: the file,
// clipboard, zoom and size commands here; processing and drawing in their
// own files; measurements and test patterns in theirs.
#include "image/image_commands.h"

#include <cstdio>
#include <cstdlib>

#include "image/image_clipboard.h"
#include "image/measurements.h"
#include "mavlib.h"
#include "plat/core/window.h"

namespace mav {

namespace {

constexpr int kLineBuffer = 256;

// The save format that goes with the save dialog's filter: All Files and
// BMP save BMP, then JPEG, GIF, PNG and TIFF.
int format_of_filter(int filter_index) {
    switch (filter_index) {
    case 3: return 1;
    case 4: return 2;
    case 5: return 3;
    case 6: return 4;
    default: return 0;
    }
}

void repaint(int index) {
    if (ImageRecord* r = record_in_use(index)) plat::invalidate(r->hwnd);
}

void load_into(plat::Hwnd window) {
    int index = MAV_SelectImageByWindow(window.id);
    if (index < 0) return;
    char path[260];
    if (MAV_OpenFileDialog("Load image file", path) != 0) return;
    MAV_LoadImage(path, 0, 0);
    repaint(index);
}

void save_from(plat::Hwnd window) {
    int index = MAV_SelectImageByWindow(window.id);
    if (index < 0) return;
    char path[260];
    if (MAV_SaveFileDialog(path) != 0) return;
    if (ImageRecord* r = record_in_use(index))
        MAV_SaveImage(r->height, r->width, format_of_filter(MAV_GetSaveFilterIndex()), path);
}

// Reads a typed line in text window 0, after a prompt; false when the
// program is exiting meanwhile.
bool ask_in_text_window_0(const char* prompt, char (&line)[kLineBuffer]) {
    MAV_OpenTextWindow(0, -1, -1, -1, -1);
    MAV_Printf("%s", prompt);
    line[0] = '\0';
    MAV_InputText(line);
    return !MAV_QuitRequested();
}

void zoom_typed(int index) {
    char prompt[64], line[kLineBuffer];
    std::snprintf(prompt, sizeof prompt, "[%d] Zoom(%%)=", index);
    if (!ask_in_text_window_0(prompt, line)) return;
    MAV_SetImageZoom(index, std::atoi(line));
}

void resize_typed(int index) {
    char prompt[64], line[kLineBuffer];
    std::snprintf(prompt, sizeof prompt, "[%d] New x-size(pixel)=", index);
    if (!ask_in_text_window_0(prompt, line)) return;
    int width = std::atoi(line);
    std::snprintf(prompt, sizeof prompt, "[%d] New y-size(pixel)=", index);
    if (!ask_in_text_window_0(prompt, line)) return;
    MAV_ResizeImage(index, width, std::atoi(line));
}

bool is_information(int command) {
    switch (command) {
    case cmd::kInfoPixel:
    case cmd::kInfoLineRgb:
    case cmd::kInfoLineHsv:
    case cmd::kInfoLineYCrCb:
    case cmd::kInfoLineCrCb:
    case cmd::kInfoAreaCrCb:
    case cmd::kInfoLineLumi: return true;
    default: return false;
    }
}

bool is_test_pattern(int command) {
    switch (command) {
    case cmd::kPatternRgb:
    case cmd::kPatternHsv:
    case cmd::kPatternYCrCb:
    case cmd::kPatternYuv:
    case cmd::kPatternYiq:
    case cmd::kPatternGrey: return true;
    default: return false;
    }
}

}  // namespace

void run_image_command(plat::Hwnd window, int command) {
    const int index = MAV_FindImage(window.id);
    if (index < 0) return;
    switch (command) {
    case cmd::kCut: cut_image(index); return;
    case cmd::kCopy: MAV_CopyImage(index); return;
    case cmd::kPaste: MAV_PasteImage(index, -1, -1); return;
    case cmd::kPasteAtOrigin: MAV_PasteImage(index, 0, 0); return;
    case cmd::kLoad: load_into(window); return;
    case cmd::kSaveAs: save_from(window); return;
    case cmd::kZoom50: MAV_SetImageZoom(index, 50); return;
    case cmd::kZoom100: MAV_SetImageZoom(index, 100); return;
    case cmd::kZoom200: MAV_SetImageZoom(index, 200); return;
    case cmd::kZoomTyped: zoom_typed(index); return;
    case cmd::kResizeTyped: resize_typed(index); return;
    case cmd::kDestroy: MAV_DestroyImage(index); return;
    case cmd::kInvert: invert_image(index); return;
    case cmd::kFlipHorizontal: flip_image(index, true); return;
    case cmd::kFlipVertical: flip_image(index, false); return;
    case cmd::kRotateRight:
    case cmd::kRotateLeft:
        MAV_SelectImageByWindow(window.id);
        rotate_image(index, command == cmd::kRotateRight);
        return;
    case cmd::kSize50:
    case cmd::kSize70:
    case cmd::kSize141:
    case cmd::kSize200: {
        static constexpr int kPerMille[] = {500, 707, 1414, 2000};
        MAV_SelectImageByWindow(window.id);
        rescale_image(index, kPerMille[command - cmd::kSize50]);
        return;
    }
    case cmd::kClipping: clip_image(index); return;
    default: break;
    }
    if (is_information(command)) {
        information_command(command, index);
    } else if (is_test_pattern(command)) {
        test_pattern_command(command, index);
    } else {
        // The drawing commands select the clicked image and leave it current;
        // choosing a colour in the dialog needs no image.
        if (command != cmd::kColorChange) MAV_SelectImageByWindow(window.id);
        run_draw_command(index, command);
    }
}

}  // namespace mav

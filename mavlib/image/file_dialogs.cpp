// The open and save dialogs for image files, with their filter lists and
// what they remember from one OK to the next.
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mavlib.h"
#include "plat/base/codepage.h"
#include "plat/ui/dialogs.h"
#include "plat/base/paths.h"
#include "runtime/frame_state.h"

namespace {

constexpr std::size_t kPathBuffer = 260;
constexpr std::size_t kSaveFilters = 6;

const std::vector<plat::FileFilter>& open_filters() {
    static const std::vector<plat::FileFilter> filters{
        {"All Files (*.*)", "*.*"},
        {"BMP (*.BMP;*.RLE;*.DIB)", "*.BMP;*.RLE;*.DIB"},
        {"JPEG (*.JPG;*.JPEG;*.JPE)", "*.JPG;*.JPEG;*.JPE"},
        {"CompuServe GIF (*.GIF)", "*.GIF"},
        {"PNG (*.PNG)", "*.PNG"},
        {"TIFF (*.TIF;*.TIFF)", "*.TIF;*.TIFF"},
        {"WMF (*.WMF)", "*.WMF"},
        {"EMF (*.EMF)", "*.EMF"},
        {"ICO (*.ICO)", "*.ICO"},
    };
    return filters;
}

const std::vector<plat::FileFilter>& save_filters() {
    static const std::vector<plat::FileFilter> filters(open_filters().begin(),
                                                       open_filters().begin() + kSaveFilters);
    return filters;
}

// Filter indexes are 1-based; 2 is the BMP entry.
std::atomic<int> g_open_filter{2};
std::atomic<int> g_save_filter{2};

std::string native_dir(const std::string& sjis_dir) { return plat::to_native_path(plat::sjis_to_utf8(sjis_dir)); }

// The folder part of a native path, with its trailing separator.
std::string folder_part(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Hands a chosen native path to the caller in Shift-JIS. A path that does not
// fit the 260-byte buffer, or has characters Shift-JIS lacks, would name
// another file if cut or mangled: it is refused instead.
bool give_path(const std::string& native, char* out) {
    std::string sjis = plat::utf8_to_sjis(native);
    if (plat::sjis_to_utf8(sjis) != native) {
        std::fprintf(stderr, "mavlib: the chosen path cannot be written in Shift-JIS: %s\n", native.c_str());
        return false;
    }
    if (sjis.size() >= kPathBuffer) {
        std::fprintf(stderr, "mavlib: the chosen path is longer than %zu bytes: %s\n", kPathBuffer - 1,
                     native.c_str());
        return false;
    }
    std::memcpy(out, sjis.c_str(), sjis.size() + 1);
    return true;
}

int clamp_index(int index, std::size_t count) { return index >= 1 && std::size_t(index) <= count ? index : 1; }

}  // namespace

int MAV_OpenFileDialog(const char* title, char* path) {
    if (!path) return 1;
    mav::FrameState& f = mav::frame();
    plat::FileDialogOptions o;
    if (title) o.caption = plat::utf16_to_utf8(plat::sjis_to_utf16(title, 256));
    o.filters = open_filters();
    o.filter_index = clamp_index(g_open_filter.load(), o.filters.size());
    o.file_name = o.filters[std::size_t(o.filter_index - 1)].patterns;
    o.initial_dir = native_dir(f.open_dir);
    o.path_must_exist = true;
    o.file_must_exist = true;
    plat::FileDialogResult r = plat::open_file_dialog({}, o);
    if (!r.ok || !give_path(r.path, path)) return 1;
    g_open_filter = r.filter_index;
    f.open_dir = plat::utf8_to_sjis(folder_part(r.path));
    return 0;
}

int MAV_SaveFileDialog(char* path) {
    if (!path) return 1;
    mav::FrameState& f = mav::frame();
    plat::FileDialogOptions o;
    o.caption = "Save as";
    o.filters = save_filters();
    o.filter_index = clamp_index(g_save_filter.load(), o.filters.size());
    o.file_name = "noname";
    o.initial_dir = native_dir(f.save_dir);
    o.path_must_exist = true;
    o.overwrite_prompt = true;
    plat::FileDialogResult r = plat::save_file_dialog({}, o);
    if (!r.ok || !give_path(r.path, path)) return 1;
    g_save_filter = r.filter_index;
    f.save_dir = plat::utf8_to_sjis(folder_part(r.path));
    return 0;
}

int MAV_GetOpenFilterIndex(void) { return g_open_filter.load(); }
int MAV_GetSaveFilterIndex(void) { return g_save_filter.load(); }

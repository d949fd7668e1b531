// Modal dialogs drawn by the platform.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "plat/core/messages.h"
#include "plat/gfx/truetype.h"

namespace plat {

enum class MbIcon { None, Error, Information };

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

// Shows a modal message box with an OK button and waits on the calling thread
// until it is answered. Returns kIdOk.
int message_box(Hwnd owner, std::string_view text_utf8, std::string_view caption_utf8,
                MbIcon icon = MbIcon::None);

// ---- Yes/No question -------------------------------------------------------

inline constexpr int kIdYes = 6;
inline constexpr int kIdNo = 7;

// A modal question with Yes and No buttons; No has the focus at first. Y and
// N answer it, Escape and the close box answer No, Enter the focused button.
// Returns kIdYes or kIdNo. Headless: a queued driver answer says Yes (No
// when it is a cancel); with none, the text goes to stderr and No is taken.
int yes_no_box(Hwnd owner, std::string_view text_utf8, std::string_view caption_utf8);

// ---- Open-file and save-file dialogs ---------------------------------------
//
// A modal dialog with the folder it shows, a list of that folder's entries
// (".." to go up, then the folders, then the files matching the current
// filter), a file-name field, a filter drop-down, and OK and Cancel. A click
// on a file puts its name in the field; a double click or Enter opens a
// folder or accepts a file. A name with '*' or '?' typed into the field
// lists by that pattern instead; a folder's name opens it. Escape and the
// close box cancel.
//
// Headless: a queued driver answer is returned at once (a cancel, or its
// path, taken relative to the initial folder when relative, with the given
// filter index); with none, the caption and folder go to stderr and the
// dialog is cancelled.

struct FileFilter {
    std::string label;     // "PNG (*.PNG)"
    std::string patterns;  // "*.PNG" or "*.TIF;*.TIFF"; "*.*" lists every file
};

struct FileDialogOptions {
    std::string caption;              // empty: "Open" or "Save As"
    std::vector<FileFilter> filters;  // none: every file is listed
    int filter_index = 1;             // 1-based; out of range counts as 1
    std::string initial_dir;          // native UTF-8; empty or missing: the current directory
    std::string file_name;            // the file-name field's first text
    bool path_must_exist = true;      // the chosen file's folder must exist
    bool file_must_exist = false;     // open dialogs: the file must exist
    bool overwrite_prompt = false;    // save dialogs: ask before choosing an existing file
};

struct FileDialogResult {
    bool ok = false;        // false: cancelled
    std::string path;       // native UTF-8, absolute
    int filter_index = 0;   // 1-based, the filter chosen last
};

FileDialogResult open_file_dialog(Hwnd owner, const FileDialogOptions& options);
FileDialogResult save_file_dialog(Hwnd owner, const FileDialogOptions& options);

// Control ids of the file dialogs' parts, for scripted input; OK and Cancel
// are kIdOk and kIdCancel.
namespace filedlg {
inline constexpr int kFolder = 1101;  // label with the folder shown
inline constexpr int kList = 1102;
inline constexpr int kName = 1103;    // the file-name field
inline constexpr int kFilter = 1104;  // the filter drop-down
}  // namespace filedlg

// True when `name` matches one of the ';'-separated patterns ('*' any run,
// '?' one character), ASCII letters compared without regard to case. "*.*"
// and an empty pattern list match every name.
bool match_file_patterns(std::string_view name, std::string_view patterns);

// What a file dialog lists for a native folder: ".." unless it is the root,
// then its folders, then its files that match `patterns`, each group sorted
// by name without regard to case. Names starting with '.' are left out.
struct FolderEntry {
    std::string name;  // UTF-8
    bool folder = false;
};
std::vector<FolderEntry> list_folder(const std::string& folder, std::string_view patterns);

// ---- Property dialog -------------------------------------------------------
//
// A modal dialog with one row per property: its name, a slider and a value
// field, the range ("min .. max") and, where the property has one, an
// "Automatic" check box. Every change is applied at once through `apply`
// (there is nothing to cancel). OK, Enter, Escape and the close box close it.
// While a row is on automatic its slider and field are greyed.
//
// Headless: a queued driver answer closes it at once (OK or cancel alike);
// with none, the caption goes to stderr and it is closed at once.

struct PropertyRow {
    std::string name;  // UTF-8
    std::int32_t min = 0;
    std::int32_t max = 0;
    std::int32_t step = 1;  // below 1 counts as 1
    std::int32_t value = 0;
    bool has_auto = false;
    bool is_auto = false;
};

// Called on the dialog's thread for every change: the row, its value (kept
// within min..max and on a step from min) and whether it is on automatic.
using PropertyApply = std::function<void(int row, std::int32_t value, bool automatic)>;

void property_dialog(Hwnd owner, std::string_view caption_utf8, std::vector<PropertyRow> rows,
                     const PropertyApply& apply);

// Control ids of the property dialog's parts, for scripted input: the part
// of row r (0-based, below kMaxRows; rows past it are not shown) is its
// base + r. OK is kIdOk. Enter in a value field takes its number and leaves
// the dialog open; elsewhere Enter closes it.
namespace propdlg {
inline constexpr int kMaxRows = 1000;
inline constexpr int kName = 2000;    // label with the property's name
inline constexpr int kSlider = 3000;
inline constexpr int kValue = 4000;   // the value field
inline constexpr int kRange = 5000;   // label "min .. max"
inline constexpr int kAuto = 6000;    // the "Automatic" check box, on rows that have one
}  // namespace propdlg

// ---- Colour and font dialogs -----------------------------------------------
//
// OK accepts, and so does Enter unless a button has the focus (Enter clicks
// that one); Cancel, Escape and the close box cancel; Tab and Shift+Tab go
// round the parts.
//
// Headless: a queued driver answer is taken at once: a cancel, or its path
// read as the choice (colour: "#RRGGBB" or "R,G,B"; font: "Family
// name,size[,bold][,italic]", size in pixels); an answer that does not read
// so counts as a cancel and says so on stderr. With none, the caption goes
// to stderr and the dialog is cancelled.

// Colours are 0x00RRGGBB words.
// The colour dialog, opened full: a grid of basic colours, the 16 custom
// colours (the caller keeps them; the user may set them in the dialog), a
// preview of the chosen colour, and Red/Green/Blue number fields (0..255).
// Returns true with `rgb` set on OK; false on cancel with `rgb` unchanged.
// `custom` keeps the custom colours the user set, OK or cancel.
bool color_dialog(Hwnd owner, std::uint32_t& rgb, std::array<std::uint32_t, 16>& custom);

// Control ids of the colour dialog's parts, for scripted input; OK and
// Cancel are kIdOk and kIdCancel. Both grids are kColumns cells wide and
// their cells share the grid's window evenly. A click on a cell chooses its
// colour; a click on a custom cell also makes it the one "Add to Custom
// Colors" fills (without one, the cells fill from the first, in turn).
namespace colordlg {
inline constexpr int kColumns = 8;
inline constexpr int kBasicRows = 6;
inline constexpr int kCustomRows = 2;
inline constexpr int kBasic = 1201;      // the basic colours' grid
inline constexpr int kCustom = 1202;     // the custom colours' grid
inline constexpr int kPreview = 1203;    // the chosen colour
inline constexpr int kHex = 1204;        // label "#RRGGBB" of the chosen colour
inline constexpr int kRed = 1205;        // number fields
inline constexpr int kGreen = 1206;
inline constexpr int kBlue = 1207;
inline constexpr int kAddCustom = 1208;  // the "Add to Custom Colors" button
}  // namespace colordlg

// The font dialog: the installed scalable families from fontconfig, the
// styles Regular, Bold, Italic, Bold Italic, and a size in pixels (a list of
// common sizes and a field), a sample line drawn with the chosen font.
// Starts from `desc`; returns true with `desc` set on OK, false on cancel
// with `desc` unchanged. Only family, height, bold and italic are chosen
// here; the other fields are kept.
bool font_dialog(Hwnd owner, TrueTypeDescription& desc);

// Control ids of the font dialog's parts, for scripted input; OK and Cancel
// are kIdOk and kIdCancel. A list's rows are kListRowHeight pixels high from
// kListInset below its top; a click on a row chooses it. Typing into the
// family field chooses the first family that starts with the text, into the
// size field the row of that size. A family that is not installed is
// refused on OK (the family the dialog started with counts as installed).
// Sizes run from 1 to kMaxSize; while the size field shows the size the
// dialog started with, OK keeps `desc.height` as it was.
namespace fontdlg {
inline constexpr int kListRowHeight = 16;
inline constexpr int kListInset = 2;
inline constexpr int kMaxSize = 999;
inline constexpr int kFamily = 1301;      // the family field
inline constexpr int kFamilyList = 1302;
inline constexpr int kStyleList = 1303;   // Regular, Bold, Italic, Bold Italic
inline constexpr int kSize = 1304;        // the size field, in pixels
inline constexpr int kSizeList = 1305;
inline constexpr int kSample = 1306;      // the sample line
inline constexpr int kStrikeout = 1307;   // the effects' check boxes
inline constexpr int kUnderline = 1308;
}  // namespace fontdlg

}  // namespace plat

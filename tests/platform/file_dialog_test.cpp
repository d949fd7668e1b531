// The open-file and save-file dialogs: what they list, headless answers, and
// scripted input with the dialog left open (names, folders, filters, the
// overwrite question, cancelling), plus the Yes/No question on its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <unistd.h>

#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "support/dialog_test_support.h"
#include "support/temp_folder.h"

using namespace plat;
using testsupport::wait_until;
namespace fs = std::filesystem;

namespace {

constexpr const char* kDialogClass = "plat_filedlg";
constexpr const char* kQuestionClass = "plat_question";
constexpr const char* kMessageClass = "plat_msgbox";

void touch(const fs::path& p) { std::ofstream(p) << "x"; }

// A scratch folder with a few folders and files of mixed case.
class Scratch {
public:
    Scratch() {
        for (const char* d : {"beta", "Alpha", ".hidden"}) root_.folder(d);
        for (const char* f : {"b.png", "A.PNG", "c.bmp", "Z.Bmp", "note.txt", ".secret.png", "noext"})
            touch(root_.file(f));
        touch(root_.file("beta/inner.png"));
    }
    std::string path() const { return root_.str(); }
    std::string operator/(const char* name) const { return root_.file(name); }

private:
    testsupport::TempFolder root_{"filedlg_", testsupport::TempFolder::Naming::Short};
};

std::vector<std::string> names(const std::vector<FolderEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries) out.push_back(e.folder ? "[" + e.name + "]" : e.name);
    return out;
}

std::vector<FileFilter> image_filters() {
    return {{"All Files (*.*)", "*.*"}, {"BMP (*.BMP;*.RLE;*.DIB)", "*.BMP;*.RLE;*.DIB"}, {"PNG (*.PNG)", "*.PNG"}};
}

class FileDialogs : public testsupport::DialogTest {
protected:
    FileDialogs() : DialogTest({kQuestionClass, kMessageClass, kDialogClass}) {}

    // Opens a dialog on the UI thread and waits until it shows.
    Hwnd open(FileDialogOptions o, bool save) {
        return open_on_ui(kDialogClass, [this, o, save] {
            FileDialogResult r = save ? save_file_dialog({}, o) : open_file_dialog({}, o);
            std::lock_guard lock(m);
            result = r;
        });
    }

    FileDialogResult wait_result() {
        EXPECT_TRUE(wait_until([this] { return done.load(); }, 5000));
        std::lock_guard lock(m);
        return result;
    }

    // The screen point of row `row` of the dialog's list.
    static Point list_row(Hwnd dialog, int row) {
        Hwnd list = child_by_id(dialog, filedlg::kList);
        Point o = client_origin(list);
        return {o.x + 40, o.y + 2 + row * 16 + 8};
    }
    static std::string folder_shown(Hwnd dialog) { return window_text(child_by_id(dialog, filedlg::kFolder)); }
    static std::string name_field(Hwnd dialog) { return window_text(child_by_id(dialog, filedlg::kName)); }

    static void type_name(const std::string& text) {
        driver::type_text(text);
        driver::wait_idle();
    }

    std::mutex m;
    FileDialogResult result;
};

}  // namespace

TEST(FilePatterns, MatchWithoutRegardToCase) {
    EXPECT_TRUE(match_file_patterns("photo.PNG", "*.png"));
    EXPECT_TRUE(match_file_patterns("photo.png", "*.BMP;*.PNG"));
    EXPECT_TRUE(match_file_patterns("photo.tiff", "*.TIF; *.TIFF"));
    EXPECT_FALSE(match_file_patterns("photo.png.txt", "*.PNG"));
    EXPECT_TRUE(match_file_patterns("a1.bmp", "a?.bmp"));
    EXPECT_FALSE(match_file_patterns("a12.bmp", "a?.bmp"));
    EXPECT_TRUE(match_file_patterns("noext", "*.*"));
    EXPECT_TRUE(match_file_patterns("noext", ""));
    EXPECT_FALSE(match_file_patterns("noext", "*.BMP"));
}

TEST(FilePatterns, FolderListingPutsFoldersFirstAndFiltersFiles) {
    Scratch dir;
    EXPECT_EQ(names(list_folder(dir.path(), "*.PNG")),
              (std::vector<std::string>{"[..]", "[Alpha]", "[beta]", "A.PNG", "b.png"}));
    EXPECT_EQ(names(list_folder(dir.path(), "*.BMP;*.RLE;*.DIB")),
              (std::vector<std::string>{"[..]", "[Alpha]", "[beta]", "c.bmp", "Z.Bmp"}));
    EXPECT_EQ(names(list_folder(dir.path(), "*.*")),
              (std::vector<std::string>{"[..]", "[Alpha]", "[beta]", "A.PNG", "b.png", "c.bmp", "noext", "note.txt",
                                        "Z.Bmp"}));
    for (const auto& e : list_folder("/", "*.none")) EXPECT_NE(e.name, "..");  // nothing above the root
    EXPECT_EQ(names(list_folder(dir / "missing", "*.*")), (std::vector<std::string>{"[..]"}));
}

TEST_F(FileDialogs, HeadlessWithoutAnAnswerPrintsTheCaptionAndCancels) {
    Scratch dir;
    FileDialogOptions o;
    o.caption = "Load image file";
    o.initial_dir = dir.path();
    o.filter_index = 2;
    testing::internal::CaptureStderr();
    FileDialogResult r = open_file_dialog({}, o);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.path, "");
    EXPECT_NE(err.find("Load image file"), std::string::npos) << err;
    EXPECT_FALSE(find_window(kDialogClass));
    ASSERT_EQ(driver::shown_dialogs().size(), 1u);
    EXPECT_EQ(driver::shown_dialogs()[0].caption, "Load image file");

    // No caption given: the dialog's own.
    testing::internal::CaptureStderr();
    save_file_dialog({}, FileDialogOptions{});
    err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Save As"), std::string::npos) << err;
}

TEST_F(FileDialogs, HeadlessQueuedAnswersAreTakenAtOnce) {
    Scratch dir;
    FileDialogOptions o;
    o.initial_dir = dir.path();
    o.filters = image_filters();
    o.filter_index = 3;
    o.file_must_exist = true;

    driver::queue_dialog_answer({false, dir / "b.png"});
    FileDialogResult r = open_file_dialog({}, o);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.path, dir / "b.png");
    EXPECT_EQ(r.filter_index, 3);

    // Relative to the initial folder, normalised.
    driver::queue_dialog_answer({false, "beta/../out/new.png"});
    testing::internal::CaptureStderr();
    r = save_file_dialog({}, o);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.path, dir / "out/new.png");

    driver::queue_dialog_answer({true, ""});
    r = open_file_dialog({}, o);
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(driver::wait_dialog_answers_taken(0));

    // A missing initial folder: the current directory.
    o.initial_dir = dir / "missing";
    driver::queue_dialog_answer({false, "x.png"});
    r = open_file_dialog({}, o);
    EXPECT_EQ(r.path, (fs::current_path() / "x.png").string());
}

TEST_F(FileDialogs, TypedNameIsAcceptedWithEnter) {
    Scratch dir;
    FileDialogOptions o;
    o.caption = "Pick";
    o.initial_dir = dir.path();
    o.filters = image_filters();
    o.filter_index = 3;
    o.file_name = "*.PNG";
    o.file_must_exist = true;
    Hwnd dlg = open(o, false);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(window_text(dlg), "Pick");
    EXPECT_EQ(folder_shown(dlg), dir.path());
    EXPECT_EQ(name_field(dlg), "*.PNG");
    EXPECT_EQ(focus_window(), child_by_id(dlg, filedlg::kName));
    type_name("A.PNG");  // replaces the selected pattern
    driver::press_key(key::Enter);
    FileDialogResult r = wait_result();
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.path, dir / "A.PNG");
    EXPECT_EQ(r.filter_index, 3);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(find_window(kDialogClass));
}

TEST_F(FileDialogs, ClicksNavigateFoldersAndPickFiles) {
    Scratch dir;
    FileDialogOptions o;
    o.initial_dir = dir.path();
    o.filters = image_filters();
    o.filter_index = 3;
    Hwnd dlg = open(o, false);
    ASSERT_TRUE(dlg);
    // Rows: .., Alpha, beta, A.PNG, b.png. A double click on beta opens it.
    driver::click(list_row(dlg, 2));
    driver::click(list_row(dlg, 2));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(folder_shown(dlg), dir / "beta");
    // Rows: .., inner.png. One click names the file; OK accepts it.
    driver::click(list_row(dlg, 1));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(name_field(dlg), "inner.png");
    // Keys on the list: Up to "..", Enter goes back up.
    driver::press_key(key::Up);
    driver::press_key(key::Enter);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(folder_shown(dlg), dir.path());
    driver::click(list_row(dlg, 4));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(name_field(dlg), "b.png");
    // A name typed over it goes when the same file is clicked again.
    driver::click(centre(child_by_id(dlg, filedlg::kName)));
    ASSERT_TRUE(driver::wait_idle());
    type_name("x");
    ASSERT_NE(name_field(dlg), "b.png");
    driver::click(list_row(dlg, 4));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(name_field(dlg), "b.png");
    driver::click(centre(child_by_id(dlg, kIdOk)));
    FileDialogResult r = wait_result();
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.path, dir / "b.png");
}

// Each row of the list shows its icon (a yellow folder, a white page) before
// the name, and Backspace in the list goes up to the parent folder.
TEST_F(FileDialogs, TheListShowsIconsBeforeNamesAndBackspaceGoesUp) {
    Scratch dir;
    FileDialogOptions o;
    o.initial_dir = dir.path();
    o.filters = image_filters();
    o.filter_index = 3;
    Hwnd dlg = open(o, false);
    ASSERT_TRUE(dlg);
    ASSERT_TRUE(driver::wait_idle());
    // Rows: .., Alpha, beta, A.PNG, b.png; an icon's top left is 5 pixels in.
    const Point list = client_origin(child_by_id(dlg, filedlg::kList));
    const Surface screen = driver::capture_screen();
    auto icon_at = [&](int row) { return Point{list.x + 5, list.y + 2 + row * 16}; };
    struct Row {
        int row;
        bool folder;
    };
    for (Row r : {Row{1, true}, Row{2, true}, Row{3, false}, Row{4, false}}) {
        SCOPED_TRACE(r.row);
        const Point at = icon_at(r.row);
        EXPECT_EQ(screen.pixel(at.x + 6, at.y + 9), r.folder ? 0xE8C44Au : 0xFFFFFFu);
        EXPECT_EQ(screen.pixel(at.x + 1, at.y + 8), r.folder ? 0xE8C44Au : 0x808080u);
        // The name starts after the icon's column, not in it.
        int ink_before = 0, ink_after = 0;
        for (int y = at.y; y < at.y + 16; ++y) {
            for (int x = at.x + 13; x < at.x + 17; ++x) ink_before += screen.pixel(x, y) == 0;
            for (int x = at.x + 17; x < at.x + 25; ++x) ink_after += screen.pixel(x, y) == 0;
        }
        EXPECT_EQ(ink_before, 0);
        EXPECT_GT(ink_after, 0);
    }
    driver::click(list_row(dlg, 2));
    driver::click(list_row(dlg, 2));
    ASSERT_TRUE(driver::wait_idle());
    ASSERT_EQ(folder_shown(dlg), dir / "beta");
    driver::press_key(key::Backspace);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(folder_shown(dlg), dir.path());
    driver::click(centre(child_by_id(dlg, kIdCancel)));
    EXPECT_FALSE(wait_result().ok);
}

TEST_F(FileDialogs, TheFilterDropDownChangesTheListAndIsReturned) {
    Scratch dir;
    FileDialogOptions o;
    o.initial_dir = dir.path();
    o.filters = image_filters();
    o.filter_index = 2;
    o.file_name = "*.BMP;*.RLE;*.DIB";
    Hwnd dlg = open(o, false);
    ASSERT_TRUE(dlg);
    driver::click(centre(child_by_id(dlg, filedlg::kFilter)));
    ASSERT_TRUE(driver::wait_idle());
    auto item = driver::open_menu_item("PNG (*.PNG)");
    ASSERT_TRUE(item.has_value());
    driver::click({(item->left + item->right) / 2, (item->top + item->bottom) / 2});
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(name_field(dlg), "*.PNG");  // the pattern follows the filter
    // Row 3 is now the first PNG file.
    driver::click(list_row(dlg, 3));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(name_field(dlg), "A.PNG");
    driver::press_key(key::Enter);
    FileDialogResult r = wait_result();
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.path, dir / "A.PNG");
    EXPECT_EQ(r.filter_index, 3);
}

TEST_F(FileDialogs, OpenRefusesAMissingFileAndCancelReturnsNothing) {
    Scratch dir;
    FileDialogOptions o;
    o.caption = "Open it";
    o.initial_dir = dir.path();
    o.file_must_exist = true;
    Hwnd dlg = open(o, false);
    ASSERT_TRUE(dlg);
    type_name("missing.png");
    driver::press_key(key::Enter);
    ASSERT_TRUE(wait_until([] { return bool(find_window(kMessageClass)); }));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_NE(driver::shown_dialogs().back().text.find("File not found"), std::string::npos);
    driver::press_key(key::Enter);  // OK on the message
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(find_window(kMessageClass));
    EXPECT_FALSE(done);
    // A folder that does not exist is refused the same way.
    type_name("nowhere/x.png");
    driver::press_key(key::Enter);
    ASSERT_TRUE(wait_until([] { return bool(find_window(kMessageClass)); }));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_NE(driver::shown_dialogs().back().text.find("Path does not exist"), std::string::npos);
    driver::press_key(key::Enter);
    ASSERT_TRUE(driver::wait_idle());
    driver::click(centre(child_by_id(dlg, kIdCancel)));
    FileDialogResult r = wait_result();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.path, "");
}

TEST_F(FileDialogs, TypedPatternsAndFolderNamesStayInTheDialog) {
    Scratch dir;
    FileDialogOptions o;
    o.initial_dir = dir.path();
    Hwnd dlg = open(o, false);
    ASSERT_TRUE(dlg);
    type_name("beta");
    driver::press_key(key::Enter);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(folder_shown(dlg), dir / "beta");
    EXPECT_EQ(name_field(dlg), "");
    type_name("*.txt");
    driver::press_key(key::Enter);
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(done);
    driver::press_key(key::Escape);
    EXPECT_FALSE(wait_result().ok);
}

TEST_F(FileDialogs, SaveAsksBeforeOverwriting) {
    Scratch dir;
    FileDialogOptions o;
    o.caption = "Save as";
    o.initial_dir = dir.path();
    o.file_name = "noname";
    o.overwrite_prompt = true;
    Hwnd dlg = open(o, true);
    ASSERT_TRUE(dlg);
    EXPECT_EQ(name_field(dlg), "noname");
    type_name("c.bmp");
    driver::press_key(key::Enter);
    ASSERT_TRUE(wait_until([] { return bool(find_window(kQuestionClass)); }));
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_EQ(driver::shown_dialogs().back().caption, "Save as");
    EXPECT_EQ(driver::shown_dialogs().back().text, "c.bmp already exists.\nDo you want to replace it?");
    driver::press_key('N');
    ASSERT_TRUE(driver::wait_idle());
    EXPECT_FALSE(find_window(kQuestionClass));
    EXPECT_FALSE(done);
    EXPECT_TRUE(is_window(dlg));

    // Enter on the question answers its focused button, No at first; Yes by click.
    driver::press_key(key::Enter);
    ASSERT_TRUE(wait_until([] { return bool(find_window(kQuestionClass)); }));
    ASSERT_TRUE(driver::wait_idle());
    Hwnd q = find_window(kQuestionClass);
    Hwnd yes = child_by_id(q, kIdYes);
    ASSERT_TRUE(yes);
    driver::click(centre(yes));
    FileDialogResult r = wait_result();
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.path, dir / "c.bmp");
}

TEST_F(FileDialogs, SaveOfANewNameAsksNothing) {
    Scratch dir;
    FileDialogOptions o;
    o.initial_dir = dir.path();
    o.file_name = "noname";
    o.overwrite_prompt = true;
    Hwnd dlg = open(o, true);
    ASSERT_TRUE(dlg);
    driver::press_key(key::Enter);
    FileDialogResult r = wait_result();
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.path, dir / "noname");
    EXPECT_FALSE(find_window(kQuestionClass));
}

TEST_F(FileDialogs, YesNoBoxHeadless) {
    driver::queue_dialog_answer({});
    EXPECT_EQ(yes_no_box({}, "Replace?", "Q"), kIdYes);
    driver::queue_dialog_answer({true, ""});
    EXPECT_EQ(yes_no_box({}, "Replace?", "Q"), kIdNo);
    testing::internal::CaptureStderr();
    EXPECT_EQ(yes_no_box({}, "Replace?", "Q"), kIdNo);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Q: Replace?\n");
}

// The colour dialog: headless answers, and scripted input with the dialog
// left open (a basic cell clicked, the number fields typed, custom colours
// added, the ways to close it).
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "support/dialog_test_support.h"

using namespace plat;
using testsupport::point_on;

namespace {

constexpr const char* kDialogClass = "plat_colordlg";
using Custom = std::array<std::uint32_t, 16>;

class ColorDialog : public testsupport::DialogTest {
protected:
    ColorDialog() : DialogTest({kDialogClass}) {}

    Hwnd open(std::uint32_t start, Custom custom_start) {
        return open_on_ui(kDialogClass, [this, start, custom_start] {
            std::uint32_t c = start;
            Custom cu = custom_start;
            bool ok = color_dialog({}, c, cu);
            std::lock_guard lock(m);
            result_ok = ok;
            color = c;
            custom = cu;
        });
    }

    // The screen centre of cell `index` of a grid.
    Point cell(int grid_id, int index) const {
        Rect r = window_rect(part(grid_id));
        int rows = grid_id == colordlg::kBasic ? colordlg::kBasicRows : colordlg::kCustomRows;
        int col = index % colordlg::kColumns, row = index / colordlg::kColumns;
        return {r.left + (2 * col + 1) * r.width() / (2 * colordlg::kColumns),
                r.top + (2 * row + 1) * r.height() / (2 * rows)};
    }

    std::mutex m;
    bool result_ok = false;
    std::uint32_t color = 0;
    Custom custom{};
};

}  // namespace

TEST_F(ColorDialog, HeadlessAnswersAreReadOrRefusedAndNoneCancels) {
    Custom cu{};
    cu[2] = 0x123456;
    const Custom kept = cu;
    struct Case {
        const char* text;
        bool ok;
        std::uint32_t color;
    };
    for (const Case& c : {Case{"#1E90ff", true, 0x1E90FF}, Case{" 10, 20 ,30 ", true, 0x0A141E},
                          Case{"255,0,255", true, 0xFF00FF}, Case{"#12345", false, 0}, Case{"256,0,0", false, 0},
                          Case{"1,2", false, 0}, Case{"red", false, 0}, Case{"", false, 0}}) {
        SCOPED_TRACE(c.text);
        std::uint32_t rgb = 0xABCDEF;
        driver::queue_dialog_answer({false, c.text});
        testing::internal::CaptureStderr();
        EXPECT_EQ(color_dialog({}, rgb, cu), c.ok);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(rgb, c.ok ? c.color : 0xABCDEFu);
        if (c.ok) EXPECT_EQ(err, "");
        else EXPECT_NE(err.find("cannot read the answer '" + std::string(c.text) + "'"), std::string::npos) << err;
    }

    std::uint32_t rgb = 0x010203;
    driver::queue_dialog_answer({true, "#FFFFFF"});
    EXPECT_FALSE(color_dialog({}, rgb, cu));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(color_dialog({}, rgb, cu));  // nobody answers
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Color\n");
    EXPECT_EQ(rgb, 0x010203u);
    EXPECT_EQ(cu, kept);
    EXPECT_FALSE(find_window(kDialogClass));
    ASSERT_EQ(driver::shown_dialogs().size(), 10u);
    EXPECT_EQ(driver::shown_dialogs()[0].caption, "Color");
}

TEST_F(ColorDialog, ABasicCellAndTypedFieldsMakeTheColourOkReturns) {
    Custom start{};
    start[0] = 0x00FF00;
    ASSERT_TRUE(open(0x123456, start));
    EXPECT_EQ(window_text(dialog), "Color");
    EXPECT_EQ(text(colordlg::kRed), "18");
    EXPECT_EQ(text(colordlg::kGreen), "52");
    EXPECT_EQ(text(colordlg::kBlue), "86");
    EXPECT_EQ(text(colordlg::kHex), "#123456");
    Point preview = centre(window_rect(part(colordlg::kPreview)));
    EXPECT_EQ(shown_at(preview), 0x123456u);
    EXPECT_EQ(shown_at(cell(colordlg::kCustom, 0)), 0x00FF00u);  // the caller's custom colours show

    // A basic cell: the colour it shows is the one chosen, everywhere.
    Point blue_cell = cell(colordlg::kBasic, 2 * colordlg::kColumns + 5);
    Color picked = shown_at(blue_cell);
    EXPECT_NE(picked, 0x123456u);
    click(blue_cell);
    EXPECT_EQ(shown_at(preview), picked);
    EXPECT_EQ(text(colordlg::kRed), std::to_string(red_of(picked)));
    EXPECT_EQ(text(colordlg::kGreen), std::to_string(green_of(picked)));
    EXPECT_EQ(text(colordlg::kBlue), std::to_string(blue_of(picked)));
    char hex[8];
    std::snprintf(hex, sizeof hex, "#%06X", unsigned(picked));
    EXPECT_EQ(text(colordlg::kHex), hex);
    EXPECT_EQ(focus_window(), part(colordlg::kBasic));
    // The arrows move through the grid.
    key(key::Right);
    Color right = shown_at(cell(colordlg::kBasic, 2 * colordlg::kColumns + 6));
    EXPECT_EQ(shown_at(preview), right);
    key(key::Left);
    EXPECT_EQ(shown_at(preview), picked);

    // Fields follow each keystroke; past 255 counts as 255, and leaving the
    // field shows what was taken; junk changes nothing.
    retype(colordlg::kGreen, "200");
    Color expected = rgb(red_of(picked), 200, blue_of(picked));
    EXPECT_EQ(shown_at(preview), expected);
    retype(colordlg::kRed, "300");
    expected = rgb(255, 200, blue_of(picked));
    EXPECT_EQ(shown_at(preview), expected);
    key(key::Tab);
    EXPECT_EQ(focus_window(), part(colordlg::kGreen));
    EXPECT_EQ(text(colordlg::kRed), "255");
    driver::type_text("x");
    key(key::Tab);
    EXPECT_EQ(text(colordlg::kGreen), "200");
    EXPECT_EQ(shown_at(preview), expected);

    // Enter in a field is OK.
    key(key::Enter);
    wait_done();
    EXPECT_FALSE(find_window(kDialogClass));
    std::lock_guard lock(m);
    EXPECT_TRUE(result_ok);
    EXPECT_EQ(color, expected);
    EXPECT_EQ(custom, start);
}

// The preview's every pixel: the colour inside a sunken edge two pixels
// deep, as the fields and lists of every dialog have it.
TEST_F(ColorDialog, ThePreviewShowsTheColourInASunkenEdge) {
    constexpr Color kShadow = 0x808080, kDark = 0x404040, kLight = 0xFFFFFF, kColor = 0x123456;
    ASSERT_TRUE(open(kColor, {}));
    Rect r = window_rect(part(colordlg::kPreview));
    ASSERT_GT(r.width(), 4);
    ASSERT_GT(r.height(), 4);
    driver::wait_idle();
    Surface screen = driver::capture_screen();
    const int w = r.width(), h = r.height();
    int wrong = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            // The inner dark line stops one short of the light edge; the two
            // pixels it leaves are nobody's.
            if ((x == w - 2 && y == 1) || (x == 1 && y == h - 2)) continue;
            Color want = x == w - 1 || y == h - 1 ? kLight
                         : x == 0 || y == 0       ? kShadow
                         : x == 1 || y == 1       ? kDark
                                                  : kColor;
            Color got = screen.pixel(r.left + x, r.top + y);
            if (got != want && ++wrong <= 5) ADD_FAILURE() << "at " << x << "," << y << ": " << std::hex << got;
        }
    EXPECT_EQ(wrong, 0);
}

TEST_F(ColorDialog, CustomColoursAddedAreKeptAfterEscape) {
    Custom start{};
    for (std::size_t i = 0; i < start.size(); ++i) start[i] = 0xFFFFFF;
    start[9] = 0x0000FF;
    ASSERT_TRUE(open(0x808080, start));

    // The third custom cell is chosen, then filled with a basic colour, and
    // the next one after it with a typed colour.
    Color first = shown_at(cell(colordlg::kBasic, 7));
    click(cell(colordlg::kCustom, 2));
    click(cell(colordlg::kBasic, 7));
    click(centre(window_rect(part(colordlg::kAddCustom))));
    retype(colordlg::kBlue, "17");
    Color second = rgb(red_of(first), green_of(first), 17);
    click(centre(window_rect(part(colordlg::kAddCustom))));
    EXPECT_EQ(shown_at(cell(colordlg::kCustom, 2)), first);
    EXPECT_EQ(shown_at(cell(colordlg::kCustom, 3)), second);

    // A custom cell is chosen like a basic one.
    click(cell(colordlg::kCustom, 9));
    EXPECT_EQ(text(colordlg::kHex), "#0000FF");

    key(key::Escape);
    wait_done();
    Custom expected = start;
    expected[2] = first;
    expected[3] = second;
    std::lock_guard lock(m);
    EXPECT_FALSE(result_ok);
    EXPECT_EQ(color, 0x808080u);
    EXPECT_EQ(custom, expected);
}

TEST_F(ColorDialog, CancelAndTheCloseBoxCancelAndTabGoesRound) {
    for (bool close_box : {false, true}) {
        SCOPED_TRACE(close_box);
        ASSERT_TRUE(open(0x000000, Custom{}));
        EXPECT_EQ(focus_window(), part(colordlg::kBasic));
        click(cell(colordlg::kBasic, 0));
        if (close_box) {
            click(point_on(dialog, Hit::CloseBox));
        } else {
            // Round the parts to Cancel, where Enter clicks it.
            for (int id : {colordlg::kCustom, colordlg::kRed, colordlg::kGreen, colordlg::kBlue, colordlg::kAddCustom,
                           kIdOk, kIdCancel}) {
                key(key::Tab);
                EXPECT_EQ(focus_window(), part(id));
            }
            key(key::Tab, false, true);
            EXPECT_EQ(focus_window(), part(kIdOk));
            key(key::Tab);
            key(key::Enter);
        }
        wait_done();
        std::lock_guard lock(m);
        EXPECT_FALSE(result_ok);
        EXPECT_EQ(color, 0x000000u);
    }
}

// The font dialog: headless answers, and scripted input with the dialog left
// open (families by click and by typing, a style, a size, the sample, an
// unknown family refused, the ways to close it).
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/driver/driver.h"
#include "plat/core/keys.h"
#include "plat/gfx/truetype.h"
#include "plat/core/window.h"
#include "support/dialog_test_support.h"

using namespace plat;
using testsupport::point_on;
using testsupport::wait_until;

namespace {

constexpr const char* kDialogClass = "plat_fontdlg";
constexpr const char* kMessageClass = "plat_msgbox";
constexpr Color kChosenRow = 0xD4D0C8;  // a list's chosen row while another part has the focus

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return s;
}

class FontDialog : public testsupport::DialogTest {
protected:
    FontDialog() : DialogTest({kMessageClass, kDialogClass}) {}

    Hwnd open(TrueTypeDescription start) {
        return open_on_ui(kDialogClass, [this, start] {
            TrueTypeDescription d = start;
            bool ok = font_dialog({}, d);
            std::lock_guard lock(m);
            result_ok = ok;
            desc = d;
        });
    }

    Point row(int list_id, int r) const {
        Point o = client_origin(part(list_id));
        return {o.x + 20, o.y + fontdlg::kListInset + r * fontdlg::kListRowHeight + fontdlg::kListRowHeight / 2};
    }
    Surface sample() {
        driver::wait_idle();
        Surface whole = driver::capture_screen();
        Rect r = window_rect(part(fontdlg::kSample));
        Surface out(r.width(), r.height());
        Dc(out).blit({0, 0}, whole, r);
        return out;
    }
    static int ink(const Surface& s) {
        int n = 0;
        for (int y = 2; y < s.height() - 2; ++y)
            for (int x = 2; x < s.width() - 2; ++x) n += s.pixel(x, y) == 0x000000;
        return n;
    }
    static bool same(const Surface& a, const Surface& b) {
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (a.pixel(x, y) != b.pixel(x, y)) return false;
        return true;
    }

    std::mutex m;
    bool result_ok = false;
    TrueTypeDescription desc;
};

}  // namespace

TEST_F(FontDialog, HeadlessAnswersAreReadOrRefusedAndNoneCancels) {
    const TrueTypeDescription start{"IPAGothic", -20, 7, false, true, true};
    struct Case {
        const char* text;
        bool ok;
        TrueTypeDescription want;
    };
    for (const Case& c :
         {Case{"DejaVu Serif,24,bold", true, {"DejaVu Serif", 24, 7, true, false, false}},
          Case{" ＭＳ ゴシック , 12 , Italic,BOLD", true, {"ＭＳ ゴシック", 12, 7, true, true, false}},
          Case{"Any Face,999", true, {"Any Face", 999, 7, false, false, false}},
          Case{"Any Face,9,strikeout,UNDERLINE", true, {"Any Face", 9, 7, false, false, true, true}},
          Case{"X,12,underline,underline", false, start},
          Case{"DejaVu Sans", false, start}, Case{"X,0", false, start}, Case{"X,1000", false, start},
          Case{"X,12,heavy", false, start}, Case{"X,12,bold,bold", false, start}, Case{",12", false, start},
          Case{"X,twelve", false, start}}) {
        SCOPED_TRACE(c.text);
        TrueTypeDescription d = start;
        driver::queue_dialog_answer({false, c.text});
        testing::internal::CaptureStderr();
        EXPECT_EQ(font_dialog({}, d), c.ok);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(d, c.want);
        if (c.ok) EXPECT_EQ(err, "");
        else EXPECT_NE(err.find("cannot read the answer '" + std::string(c.text) + "'"), std::string::npos) << err;
    }

    TrueTypeDescription d = start;
    driver::queue_dialog_answer({true, "DejaVu Serif,24"});
    EXPECT_FALSE(font_dialog({}, d));
    testing::internal::CaptureStderr();
    EXPECT_FALSE(font_dialog({}, d));  // nobody answers
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Font\n");
    EXPECT_EQ(d, start);
    EXPECT_FALSE(find_window(kDialogClass));
}

TEST_F(FontDialog, FamilyStyleAndSizeChosenByClickAndTypingOkReturnsThem) {
    std::vector<std::string> families = scalable_families();
    ASSERT_GE(families.size(), 2u) << "the tests need two scalable families installed";
    auto sans = std::find(families.begin(), families.end(), "DejaVu Sans");
    ASSERT_NE(sans, families.end());
    const TrueTypeDescription start{"dejavu sans", -20, 7, false, false, true};
    ASSERT_TRUE(open(start));
    EXPECT_EQ(window_text(dialog), "Font");

    // The start: the family as given, found in the list; the size as pixels.
    EXPECT_EQ(text(fontdlg::kFamily), "dejavu sans");
    EXPECT_EQ(focus_window(), part(fontdlg::kFamily));
    EXPECT_EQ(text(fontdlg::kSize), "20");
    Surface first = sample();
    EXPECT_GT(ink(first), 100);

    // A family by click: the row's name goes to the field, the sample follows.
    click(row(fontdlg::kFamilyList, 0));
    EXPECT_EQ(text(fontdlg::kFamily), families[0]);
    // A style and a size from the lists.
    click(row(fontdlg::kStyleList, 3));
    Surface bold_italic = sample();
    EXPECT_FALSE(same(bold_italic, first));
    click(row(fontdlg::kSizeList, 4));
    EXPECT_EQ(text(fontdlg::kSize), "12");
    Surface small = sample();
    EXPECT_LT(ink(small), ink(bold_italic));

    // Typed: the last family, in other case, found further down the list;
    // a size that no row has.
    retype(fontdlg::kFamily, lower(families.back()));
    int rows = int(client_rect(part(fontdlg::kFamilyList)).height() - 2 * fontdlg::kListInset) /
               fontdlg::kListRowHeight;
    int last_row = std::min(rows, int(families.size())) - 1;  // scrolled into view from below
    EXPECT_EQ(shown_at({row(fontdlg::kFamilyList, last_row).x - 16, row(fontdlg::kFamilyList, last_row).y}),
              kChosenRow);
    EXPECT_NE(shown_at({row(fontdlg::kFamilyList, 0).x - 16, row(fontdlg::kFamilyList, 0).y}), kChosenRow);
    retype(fontdlg::kSize, "37");
    Surface underlined = sample();
    EXPECT_GT(ink(underlined), ink(small));
    // The effects: underline as the start had it, strike-out by a click.
    EXPECT_TRUE(is_checked(part(fontdlg::kUnderline)));
    EXPECT_FALSE(is_checked(part(fontdlg::kStrikeout)));
    click(centre(window_rect(part(fontdlg::kStrikeout))));
    EXPECT_GT(ink(sample()), ink(underlined));

    click(centre(window_rect(part(kIdOk))));
    wait_done();
    std::lock_guard lock(m);
    EXPECT_TRUE(result_ok);
    EXPECT_EQ(desc, (TrueTypeDescription{families.back(), 37, 7, true, true, true, true}));
}

TEST_F(FontDialog, AnUnknownFamilyIsRefusedAndOkUnchangedKeepsTheDescription) {
    const TrueTypeDescription start{"ＭＳ ゴシック", -20, 7, true, false, false, true};
    ASSERT_TRUE(open(start));
    EXPECT_EQ(text(fontdlg::kFamily), "ＭＳ ゴシック");

    retype(fontdlg::kFamily, "No Such Face");
    key(key::Enter);
    ASSERT_TRUE(wait_until([] { return bool(find_window(kMessageClass)); }));
    EXPECT_FALSE(done);
    key(key::Enter);  // the message box
    ASSERT_TRUE(wait_until([] { return !find_window(kMessageClass); }));
    EXPECT_EQ(focus_window(), part(fontdlg::kFamily));

    // A size out of range is refused as well.
    retype(fontdlg::kFamily, "ＭＳ ゴシック");
    retype(fontdlg::kSize, "0");
    key(key::Enter);
    ASSERT_TRUE(wait_until([] { return bool(find_window(kMessageClass)); }));
    key(key::Escape);
    ASSERT_TRUE(wait_until([] { return !find_window(kMessageClass); }));
    EXPECT_EQ(focus_window(), part(fontdlg::kSize));

    // Back to the size it started with: OK gives the description unchanged,
    // em height and all.
    driver::type_text("20");
    key(key::Enter);
    wait_done();
    std::lock_guard lock(m);
    EXPECT_TRUE(result_ok);
    EXPECT_EQ(desc, start);
}

TEST_F(FontDialog, EscapeCancelAndTheCloseBoxLeaveTheDescription) {
    const TrueTypeDescription start{"DejaVu Sans", 16, 0, false, false, false};
    enum Way { Escape, CancelButton, CloseBox };
    for (Way way : {Escape, CancelButton, CloseBox}) {
        SCOPED_TRACE(int(way));
        ASSERT_TRUE(open(start));
        click(row(fontdlg::kStyleList, 1));
        retype(fontdlg::kSize, "30");
        if (way == Escape) key(key::Escape);
        else if (way == CancelButton) click(centre(window_rect(part(kIdCancel))));
        else click(point_on(dialog, Hit::CloseBox));
        wait_done();
        std::lock_guard lock(m);
        EXPECT_FALSE(result_ok);
        EXPECT_EQ(desc, start);
    }
}

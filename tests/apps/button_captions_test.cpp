// The captions of parallax's button box, as a screenshot shows them: each on
// one whole line, centred, in full.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "plat/codecs.h"
#include "plat/metrics.h"
#include "plat/ui_font.h"
#include "support/process.h"
#include "support/temp_folder.h"

namespace {

// parallax's captions, button by button; the last button keeps its number.
const char* const kCaptions[] = {
    "(1)2cm", "(2)90%", "(3)80%", "(4)70%", "(5)5cm", "(6)50%", "(7)40%", "(8)30cm", "(9)20%", "(0)10%", "(-)0%",
    "Capture", "ConfigLR", "ConfigL", "Sleep 10", "Sleep 33", "Sleep 66", "Sleep 100", "Sleep 333", "Sleep 666",
    "Sleep 1000", "Parallax", "(Z)Auto_F", "(X)Fix_F", "GAMMA 1.0", "GAMMA 0.5", "GAMMA 0.3", "GAMMA 0.2",
    "GAMMA 0.1", "anaglyph3", "anaglyph2", "anaglyph1", "swapLR", "IN", "OUT", "Capture", "(S)Exp-", "(W)Exp+",
    "(Q)Gain-", "(A)Gain+", "(E)WB parallel", "(D)WB sync", "wait sync", "43",
};
constexpr int kColumns = 11;
constexpr plat::Size kButton{98, 26};  // the default button size
constexpr plat::Point kBox{0, 510};    // where parallax opens its button box

}  // namespace

TEST(ParallaxButtonBox, EveryCaptionShowsWholeOnOneCentredLine) {
    testsupport::TempFolder dir{"parallax_buttons_"};
    dir.folder("runtime");
    const std::string shot = dir.file("buttons.png");
    // A click on the box's title bar brings it in front of everything.
    const plat::Metrics& m = plat::metrics();
    const int title_y = kBox.y + m.sizing_frame + m.caption_height / 2;
    const std::string script = "idle; wait 500; click 300 " + std::to_string(title_y) + "; idle; screenshot " + shot +
                               "; exit";
    testsupport::RunResult r = testsupport::run_program(
        PARALLAX_APP, {"--headless", "--virtual-cameras", "2", "--do", script},
        {"PLAT_RUNTIME_DIR=" + dir.file("runtime")}, 60);
    ASSERT_EQ(r.exit_code, 0) << r.err;
    plat::Surface s;
    ASSERT_TRUE(plat::load_png(shot, s).ok);

    const plat::UiFont& font = plat::UiFont::instance();
    const plat::Point client{kBox.x + m.sizing_frame, kBox.y + m.sizing_frame + m.caption_height};
    for (int i = 0; i < int(std::size(kCaptions)); ++i) {
        SCOPED_TRACE(kCaptions[i]);
        const plat::Rect b = plat::Rect::from_xywh(client.x + 4 + (i % kColumns) * (kButton.width + 4),
                                                   client.y + 4 + (i / kColumns) * (kButton.height + 4),
                                                   kButton.width, kButton.height);
        // The caption's ink: black pixels inside the raised edge.
        int top = b.bottom, bottom = -1, left = b.right, right = -1;
        for (int y = b.top + 2; y < b.bottom - 2; ++y)
            for (int x = b.left + 2; x < b.right - 2; ++x) {
                if (s.pixel(x, y) != 0) continue;
                top = std::min(top, y), bottom = std::max(bottom, y);
                left = std::min(left, x), right = std::max(right, x);
            }
        ASSERT_GE(bottom, top) << "no caption";
        // One line: no taller than a line (two would take more than one
        // line's height).
        EXPECT_LE(bottom - top + 1, font.line_height());
        // Whole: it keeps off the edges that would cut it, vertically and
        // horizontally, and is as wide as the caption in full.
        EXPECT_GT(top, b.top + 2);
        EXPECT_LT(bottom, b.bottom - 3);
        EXPECT_LE(std::abs(right - left + 1 - font.text_width(kCaptions[i])), 3);
        EXPECT_LE(std::abs((left - b.left) - (b.right - 1 - right)), 2);
    }
}

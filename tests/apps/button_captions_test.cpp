// parallax's button box as a screenshot shows it: every caption whole, on one
// centred line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "plat/codecs/codecs.h"
#include "plat/core/metrics.h"
#include "plat/gfx/ui_font.h"
#include "support/process.h"
#include "support/temp_folder.h"

TEST(ParallaxButtonBox, EveryCaptionShowsWholeOnOneCentredLine) {
    // parallax's captions, button by button (11 a row); the last keeps its number.
    const char* const captions[] = {
        "(1)2cm", "(2)90%", "(3)80%", "(4)70%", "(5)5cm", "(6)50%", "(7)40%", "(8)30cm", "(9)20%", "(0)10%",
        "(-)0%", "Capture", "ConfigLR", "ConfigL", "Sleep 10", "Sleep 33", "Sleep 66", "Sleep 100", "Sleep 333",
        "Sleep 666", "Sleep 1000", "Parallax", "(Z)Auto_F", "(X)Fix_F", "GAMMA 1.0", "GAMMA 0.5", "GAMMA 0.3",
        "GAMMA 0.2", "GAMMA 0.1", "anaglyph3", "anaglyph2", "anaglyph1", "swapLR", "IN", "OUT", "Capture",
        "(S)Exp-", "(W)Exp+", "(Q)Gain-", "(A)Gain+", "(E)WB parallel", "(D)WB sync", "wait sync", "43"};
    testsupport::TempFolder dir{"parallax_buttons_"};
    dir.folder("runtime");
    // The box opens at (0, 510); a click on its title bar brings it to the front.
    const plat::Metrics& m = plat::metrics();
    const plat::Point client{m.sizing_frame, 510 + m.sizing_frame + m.caption_height};
    const std::string script = "idle; wait 500; click 300 " + std::to_string(client.y - 10) + "; idle; screenshot " +
                               dir.file("box.png") + "; exit";
    testsupport::RunResult r =
        testsupport::run_program(PARALLAX_APP, {"--headless", "--virtual-cameras", "2", "--do", script},
                                 {"PLAT_RUNTIME_DIR=" + dir.file("runtime")}, 60);
    plat::Surface s;
    ASSERT_TRUE(r.exit_code == 0 && plat::load_png(dir.file("box.png"), s).ok) << r.err;

    const plat::UiFont& font = plat::UiFont::instance();
    for (int i = 0; i < int(std::size(captions)); ++i) {
        SCOPED_TRACE(captions[i]);
        // A default 98 x 26 button; its caption is the black ink inside its edges.
        const plat::Rect b = plat::Rect::from_xywh(client.x + 4 + i % 11 * 102, client.y + 4 + i / 11 * 30, 98, 26);
        int top = b.bottom, bottom = -1, left = b.right, right = -1;
        for (int y = b.top + 2; y < b.bottom - 2; ++y)
            for (int x = b.left + 2; x < b.right - 2; ++x)
                if (s.pixel(x, y) == 0)
                    top = std::min(top, y), bottom = std::max(bottom, y), left = std::min(left, x), right = std::max(right, x);
        // One line (two would be taller), clear of the edges, centred, as wide as the whole caption.
        EXPECT_LE(bottom - top + 1, font.line_height());
        EXPECT_TRUE(top > b.top + 2 && bottom < b.bottom - 3) << top - b.top << ".." << bottom - b.top;
        EXPECT_LE(std::abs((left - b.left) - (b.right - 1 - right)), 2);
        EXPECT_LE(std::abs(right - left + 1 - font.text_width(captions[i])), 3);
    }
}

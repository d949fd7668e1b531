// The font of control captions without the face it asks for: the fixed-cell
// font, drawing as the fixed-cell font draws.
#include "plat/gfx/ui_font.h"

#include <gtest/gtest.h>

#include "plat/gfx/gfx.h"

using namespace plat;

TEST(UiFont, WithoutItsFamilyItIsTheFixedCellFont) {
    auto f = UiFont::open("No Such Family 4711");
    EXPECT_FALSE(f->proportional());
    EXPECT_EQ(f->line_height(), FixedFont::kCellHeight);
    for (const char* text : {"Ab1 (E)WB", "日本 x", "\xff\xfe bad"}) {
        Surface want(120, 40), got(120, 40);
        want.fill(0xFFFFFF);
        got.fill(0xFFFFFF);
        Dc fixed(want), ui(got);
        fixed.set_bk_mode(BkMode::Transparent);
        fixed.set_text_color(0);
        ui.set_text_color(0);
        const int end = fixed.draw_text({4, 8}, text);
        EXPECT_EQ(f->draw_text(ui, {4, 8}, text), end) << text;
        EXPECT_EQ(f->text_width(text), end - 4) << text;
        int differ = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 120; ++x) differ += want.pixel(x, y) != got.pixel(x, y);
        EXPECT_EQ(differ, 0) << text;
    }
}

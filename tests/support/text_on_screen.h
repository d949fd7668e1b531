// Finds lines of text as a text window draws them (the fixed-cell font,
// white on black, 16-pixel lines from the client's top-left) in a screenshot.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "plat/gfx/gfx.h"

namespace testsupport {

// True when `lines` appear, one under the other, with their top-left
// somewhere in `area` of `shot`: every pixel of the rendered block (as wide
// as the longest line, `back` after shorter ones) matches. White on black is
// a text window; black on white an edit field.
inline bool shows_text_lines(const plat::Surface& shot, plat::Rect area, const std::vector<std::string>& lines,
                             plat::Color text = 0xFFFFFF, plat::Color back = 0x000000) {
    const plat::FixedFont& font = plat::FixedFont::instance();
    int width = 0;
    for (const auto& l : lines) width = std::max(width, font.text_width(l));
    const int height = plat::FixedFont::kCellHeight * int(lines.size());
    plat::Surface block(std::max(width, 1), std::max(height, 1));
    block.fill(back);
    plat::Dc dc(block);
    dc.set_text_color(text);
    dc.set_bk_color(back);
    for (std::size_t i = 0; i < lines.size(); ++i) dc.draw_text({0, int(i) * plat::FixedFont::kCellHeight}, lines[i]);
    for (int oy = area.top; oy < area.bottom; ++oy)
        for (int ox = area.left; ox < area.right; ++ox) {
            if (ox + width > shot.width() || oy + height > shot.height()) continue;
            bool same = true;
            for (int y = 0; y < height && same; ++y)
                for (int x = 0; x < width && same; ++x) same = shot.pixel(ox + x, oy + y) == block.pixel(x, y);
            if (same) return true;
        }
    return false;
}

}  // namespace testsupport

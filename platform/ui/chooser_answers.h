// Reading the texts that answer the colour and font dialogs without a person
// (a script's answer-dialog, a test's queued answer), and the whole numbers
// their fields take.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "plat/base/geometry.h"

namespace plat::ui {

// `text` without blanks around it.
std::string_view trim_blanks(std::string_view text);

// A whole decimal number, blanks around it and a leading '+' allowed;
// values past the int range come back as INT_MIN or INT_MAX. nullopt when
// it is not a number.
std::optional<int> whole_number(std::string_view text);

// "#RRGGBB" (hex digits of either case) or "R,G,B" (each 0..255).
std::optional<Color> parse_color_answer(std::string_view text);

struct FontAnswer {
    std::string family;
    int size = 0;  // pixels, 1 and up
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strikeout = false;
};
// "Family name,size[,bold][,italic][,underline][,strikeout]": the family as
// given (blanks around it dropped), the size a whole number from 1 to
// `max_size`, then any of the four words (either case, each at most once).
std::optional<FontAnswer> parse_font_answer(std::string_view text, int max_size);

}  // namespace plat::ui

#include <gtest/gtest.h>

#include "runtime/status_line.h"

using mav::centred_status_text;

TEST(StatusLine, CentresAroundColumnEighteen) {
    EXPECT_EQ(centred_status_text("Ready"), std::string(16, ' ') + "Ready");
    EXPECT_EQ(centred_status_text("32-bit color"), std::string(12, ' ') + "32-bit color");
    EXPECT_EQ(centred_status_text("Input text"), std::string(13, ' ') + "Input text");
    EXPECT_EQ(centred_status_text(""), std::string(18, ' '));
}

TEST(StatusLine, LongTextsStartAtZeroAndStayInsideTheField) {
    std::string forty(40, 'x');
    EXPECT_EQ(centred_status_text(forty), forty);
    std::string hundred(100, 'y');
    std::string out = centred_status_text(hundred);
    EXPECT_EQ(out.size(), 63u);
    EXPECT_EQ(out, std::string(63, 'y'));
    // Half the length is rounded towards zero: 30 characters start at column 3.
    std::string thirty(30, 'z');
    EXPECT_EQ(centred_status_text(thirty), std::string(3, ' ') + thirty);
}

// text/uri-list as XDND sources send it.
#include <gtest/gtest.h>

#include "x11_uri_list.h"

using namespace plat::detail::x11;

TEST(X11UriList, PercentDecoding) {
    EXPECT_EQ(percent_decode("a%20b"), "a b");
    EXPECT_EQ(percent_decode("%E6%97%A5"), "\xE6\x97\xA5");
    EXPECT_EQ(percent_decode("%e6%97%a5"), "\xE6\x97\xA5");
    EXPECT_EQ(percent_decode("100%"), "100%");
    EXPECT_EQ(percent_decode("%4"), "%4");
    EXPECT_EQ(percent_decode("%zz%41"), "%zzA");
}

TEST(X11UriList, FileUrisBecomePaths) {
    auto files = file_paths_from_uri_list(
        "file:///tmp/a%20b.png\r\n"
        "# a comment\r\n"
        "file://localhost/home/u/%E6%97%A5.bmp\r\n"
        "file://myhost/srv/x.png\r\n"
        "file://otherhost/srv/y.png\r\n"
        "http://example.invalid/z.png\r\n"
        "FILE:/short/form.png\n"
        "\r\n",
        "myhost");
    ASSERT_EQ(files.size(), 4u);
    EXPECT_EQ(files[0], "/tmp/a b.png");
    EXPECT_EQ(files[1], "/home/u/\xE6\x97\xA5.bmp");
    EXPECT_EQ(files[2], "/srv/x.png");
    EXPECT_EQ(files[3], "/short/form.png");
}

TEST(X11UriList, OddInputGivesNothingOrWhatIsValid) {
    EXPECT_TRUE(file_paths_from_uri_list("", "h").empty());
    EXPECT_TRUE(file_paths_from_uri_list("\r\n\r\n", "h").empty());
    EXPECT_TRUE(file_paths_from_uri_list("file://", "h").empty());
    EXPECT_TRUE(file_paths_from_uri_list("file:relative/x", "h").empty());
    EXPECT_TRUE(file_paths_from_uri_list("file:///a%00b", "h").empty());  // no NUL in a path
    auto last = file_paths_from_uri_list("file:///no/newline", "h");
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0], "/no/newline");
    auto nul_end = file_paths_from_uri_list(std::string("file:///x\r\n\0", 12), "h");
    ASSERT_EQ(nul_end.size(), 1u);
    EXPECT_EQ(nul_end[0], "/x");
}

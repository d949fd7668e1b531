// Image files through a real program: files dropped on the main window open
// as numbered image windows showing the pictures, and the program saves them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "mavlib/apps/image_patterns.h"
#include "plat/codecs/codecs.h"
#include "support/process.h"
#include "support/temp_folder.h"

using testsupport::read_file;
using testsupport::RunResult;
using testsupport::run_program;

namespace {

class FilesE2E : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.folder("runtime");
        dir_.folder("out");
        log_ = dir_.file("calls.log");
    }

    RunResult run(std::vector<std::string> args, std::vector<std::string> env = {}) {
        for (std::string e : {"MAV_TEST_LOG=" + log_, "MAV_TEST_OUT=" + dir_.file("out"),
                              "PLAT_RUNTIME_DIR=" + dir_.file("runtime")})
            env.push_back(e);
        return run_program(FILES_APP, args, env, 60);
    }
    std::vector<std::string> log_lines() {
        std::istringstream in(read_file(log_));
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    std::string path(const std::string& name) const { return dir_.file(name); }

    testsupport::TempFolder dir_{"e2e_files_"};
    std::string log_;
};

// Pixel (x, y) of a test picture: a colour no frame or desktop has.
plat::Color picture_pixel(int x, int y, int tag) { return plat::rgb(x, y, tag); }

void write_picture(const std::string& p, int w, int h, int tag, plat::ImageFormat f) {
    plat::Surface s(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) s.set_pixel(x, y, picture_pixel(x, y, tag));
    ASSERT_TRUE(plat::save_image(s, p, f).ok);
}

// Where the picture's top-left pixel shows on the screen, found by its
// colour and that of its right neighbour.
std::optional<plat::Point> find_picture(const plat::Surface& shot, int tag) {
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x + 1 < shot.width(); ++x)
            if (shot.pixel(x, y) == picture_pixel(0, 0, tag) && shot.pixel(x + 1, y) == picture_pixel(1, 0, tag) &&
                shot.pixel(x, y + 1) == picture_pixel(0, 1, tag))
                return plat::Point{x, y};
    return std::nullopt;
}

}  // namespace

TEST_F(FilesE2E, DroppedPicturesOpenAsNumberedWindowsShowingThemAndSave) {
    write_picture(path("a.png"), 160, 120, 0x11, plat::ImageFormat::Png);
    write_picture(path("b.png"), 200, 100, 0x22, plat::ImageFormat::Png);
    const std::string shot = path("shot.png");
    RunResult r = run({"--headless", "--do",
                       "drop " + path("a.png") + "; drop " + path("b.png") + "; idle; screenshot " + shot +
                           "; start; wait 300; stop; idle; exit"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;

    const std::vector<std::string> want{"saved 0 -> 0",
                                        "saved 1 -> 0",
                                        "image 0 '000 a.png' 160x120 32-bit",
                                        "image 1 '001 b.png' 200x100 32-bit",
                                        "current 0"};
    EXPECT_EQ(log_lines(), want) << read_file(log_);

    plat::Surface s;
    ASSERT_TRUE(plat::load_png(shot, s).ok);
    // b's window came last and lies over a's, one cascade step down and right:
    // all of b shows, and of a at least the columns left of b's frame.
    const auto b = find_picture(s, 0x22);
    ASSERT_TRUE(b);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 200; ++x)
            ASSERT_EQ(s.pixel(b->x + x, b->y + y), picture_pixel(x, y, 0x22)) << "b at " << x << "," << y;
    const auto a = find_picture(s, 0x11);
    ASSERT_TRUE(a);
    EXPECT_LT(a->x, b->x);
    EXPECT_LT(a->y, b->y);
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(s.pixel(a->x + x, a->y + y), picture_pixel(x, y, 0x11)) << "a at " << x << "," << y;

    // What the program saved is what was dropped.
    for (auto [n, w, h, tag] : {std::tuple{0, 160, 120, 0x11}, std::tuple{1, 200, 100, 0x22}}) {
        plat::Surface saved;
        ASSERT_TRUE(plat::load_image(path("out/saved_" + std::to_string(n) + ".png"), saved).ok) << n;
        ASSERT_EQ(saved.size(), (plat::Size{w, h}));
        EXPECT_EQ(saved.pixel(w - 1, h - 1), picture_pixel(w - 1, h - 1, tag));
    }
}

TEST_F(FilesE2E, FilesOfOtherFormatsAndNonPicturesDroppedTogether) {
    write_picture(path("c.jpg"), 140, 90, 0x33, plat::ImageFormat::Jpeg);
    write_picture(path("d.gif"), 150, 80, 0x44, plat::ImageFormat::Gif);
    std::ofstream(path("notes.txt")) << "not a picture";
    RunResult r = run({"--headless", "--do",
                       "drop " + path("notes.txt") + "; drop " + path("c.jpg") + "; drop " + path("d.gif") +
                           "; idle; exit"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    const std::vector<std::string> want{"image 0 '000 c.jpg' 140x90 32-bit", "image 1 '001 d.gif' 150x80 32-bit",
                                        "current 0"};
    EXPECT_EQ(log_lines(), want) << read_file(log_);
}

TEST_F(FilesE2E, SaveImageWritesWhatMavSaveImageWritesWhileTheProgramDraws) {
    using namespace patterns;
    // Relative to the current folder; the second name needs its quotes and its folders made.
    const std::string colour = std::filesystem::relative(path("colour.png")).string();
    const std::string indexed = path("new dir/indexed.png");
    RunResult r = run({"--headless", "--do",
                       "start; wait 300; save-image " + std::to_string(kColourImage) + " " + colour +
                           "; save-image " + std::to_string(kIndexedImage) + " \"" + indexed + "\"; stop; idle; exit"},
                      {"MAV_TEST_PATTERNS=1"});
    ASSERT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    EXPECT_EQ(r.err.find("script:"), std::string::npos) << r.err;

    plat::Surface c;
    ASSERT_TRUE(plat::load_image(path("colour.png"), c).ok);
    ASSERT_EQ(c.format(), plat::PixelFormat::Rgb32);
    ASSERT_EQ(c.size(), (plat::Size{kColourWidth, kColourHeight}));
    for (int y = 0; y < kColourHeight; ++y)
        for (int x = 0; x < kColourWidth; ++x) ASSERT_EQ(c.pixel(x, y), colour_pixel(x, y)) << x << "," << y;

    plat::Surface i;
    plat::ImageFileInfo info;
    ASSERT_TRUE(plat::load_image(indexed, i, &info).ok);
    ASSERT_EQ(i.format(), plat::PixelFormat::Indexed8);
    ASSERT_EQ(i.size(), (plat::Size{kIndexedWidth, kIndexedHeight}));
    EXPECT_EQ(info.palette_entries, 256);
    for (int e = 0; e < 256; ++e) {
        std::uint8_t red, green, blue;
        palette_entry(e, red, green, blue);
        ASSERT_EQ(i.palette()[std::size_t(e)], plat::rgb(red, green, blue)) << "entry " << e;
    }
    for (int y = 0; y < kIndexedHeight; ++y)
        for (int x = 0; x < kIndexedWidth; ++x) ASSERT_EQ(i.row8(y)[x], indexed_pixel(x, y)) << x << "," << y;

    // The program's own MAV_SaveImage of the whole images, at Start, wrote the same files.
    EXPECT_EQ(read_file(path("colour.png")), read_file(path("out/saved_" + std::to_string(kColourImage) + ".png")));
    EXPECT_EQ(read_file(indexed), read_file(path("out/saved_" + std::to_string(kIndexedImage) + ".png")));
}

// An action that cannot be done is named on stderr, ends the script there
// and the program through Exit (its UserExit still runs), and the process
// exits with 3; the actions after it are not done.
TEST_F(FilesE2E, AFailedActionEndsTheScriptAndTheProgramWithThree) {
    using namespace patterns;
    std::ofstream(path("blocker")) << "a file, not a folder";
    const std::string indexed = std::to_string(kIndexedImage), colour = std::to_string(kColourImage);
    const struct {
        std::string before;   // actions that work
        std::string failing;  // the action that cannot be done
        std::string says;
    } cases[] = {
        {"", "save-image 9 " + path("missing.png"), "no image 9\n"},
        // Ctrl+Q in the image window last opened (the 8-bit one) destroys it.
        {"key Ctrl+Q; idle; ", "save-image " + indexed + " " + path("destroyed.png"), "no image " + indexed + "\n"},
        {"", "save-image " + colour + " " + path("blocker/colour.png"),
         "cannot save '" + path("blocker/colour.png") + "': "},
        {"idle; ", "screenshot " + path("blocker/shot.png"), "cannot save '" + path("blocker/shot.png") + "': "},
    };
    const std::string after = path("after.png");
    for (const auto& c : cases) {
        std::filesystem::remove(log_);
        RunResult r = run({"--headless", "--do", c.before + c.failing + "; screenshot " + after + "; exit"},
                          {"MAV_TEST_PATTERNS=1"});
        ASSERT_FALSE(r.timed_out) << c.failing;
        EXPECT_EQ(r.exit_code, 3) << c.failing << "\n" << r.err;
        EXPECT_NE(r.err.find("script: " + c.failing + ": " + c.says), std::string::npos) << r.err;
        EXPECT_FALSE(std::filesystem::exists(after)) << "the script went on after: " << c.failing;
        // UserExit ran: it logs the current image last.
        const std::vector<std::string> lines = log_lines();
        EXPECT_TRUE(!lines.empty() && lines.back().rfind("current ", 0) == 0) << c.failing << "\n" << read_file(log_);
    }
    EXPECT_FALSE(std::filesystem::exists(path("missing.png")));
    EXPECT_FALSE(std::filesystem::exists(path("destroyed.png")));

    RunResult bad = run({"--headless", "--do", "save-image 300 " + path("missing.png")});
    EXPECT_EQ(bad.exit_code, 2);
    EXPECT_NE(bad.err.find("save-image needs an image number from 0 to 255"), std::string::npos) << bad.err;
}

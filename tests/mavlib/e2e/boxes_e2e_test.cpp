// The input box and the button box in a real program run headlessly with
// scripted actions: what the screen shows, what the program reads, and the
// main window's Input Box and Button Box dialogues.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>
#include <vector>

#include "plat/codecs/codecs.h"
#include "support/process.h"
#include "support/temp_folder.h"

using testsupport::read_file;
using testsupport::RunResult;
using testsupport::run_program;

namespace {

constexpr plat::Color kFace = 0xD4D0C8;
constexpr plat::Color kWhite = 0xFFFFFF;
constexpr plat::Color kShadow = 0x808080;
constexpr plat::Color kDark = 0x404040;
constexpr plat::Color kHighlight = 0x0A246A;

// Where the program's boxes are on the screen: windows at (20, 20) and
// (20, 200), each client area 4 pixels in and 24 down (border and caption).
constexpr plat::Point kInputClient{24, 44};
constexpr plat::Point kButtonClient{24, 224};

class BoxesE2E : public ::testing::Test {
protected:
    void SetUp() override {
        dir_.folder("runtime");
        log_ = dir_.file("calls.log");
    }

    RunResult run(const std::string& actions, std::vector<std::string> env = {}) {
        env.push_back("MAV_TEST_LOG=" + log_);
        env.push_back("PLAT_RUNTIME_DIR=" + dir_.file("runtime"));
        return run_program(BOXES_APP, {"--headless", "--screen", "1024x768", "--do", actions}, env, 60);
    }

    std::vector<std::string> log_lines() {
        std::istringstream in(read_file(log_));
        std::vector<std::string> lines;
        for (std::string l; std::getline(in, l);) lines.push_back(l);
        return lines;
    }
    bool logged(const std::string& line) {
        auto lines = log_lines();
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    // Presses the program saw per button, summed over its polls.
    std::map<int, int> presses() {
        std::map<int, int> out;
        for (const std::string& l : log_lines()) {
            int b = 0, n = 0;
            if (std::sscanf(l.c_str(), "press %d %d", &b, &n) == 2) out[b] += n;
        }
        return out;
    }
    plat::Surface screenshot(const std::string& name) {
        plat::Surface s;
        EXPECT_TRUE(plat::load_png(dir_.file(name), s).ok) << name;
        return s;
    }
    std::string shot(const std::string& name) { return dir_.file(name); }

    testsupport::TempFolder dir_{"e2e_boxes_"};
    std::string log_;
};

bool any_pixel(const plat::Surface& s, plat::Rect r, plat::Color c) {
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (s.pixel(x, y) == c) return true;
    return false;
}

}  // namespace

TEST_F(BoxesE2E, BothBoxesLookLikeDialogControls) {
    // A click on a label activates the input box: its focused field shows.
    RunResult r = run("idle; screenshot " + shot("idle.png") + "; click 40 70; idle; screenshot " + shot("active.png") +
                      "; exit");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    plat::Surface s = screenshot("idle.png");
    ASSERT_EQ(s.size(), (plat::Size{1024, 768}));
    // Field 0: sunken (shadow, then dark) and white inside, at client (88, 4).
    plat::Point f0{kInputClient.x + 88, kInputClient.y + 4};
    EXPECT_EQ(s.pixel(f0.x, f0.y), kShadow);
    EXPECT_EQ(s.pixel(f0.x + 1, f0.y + 1), kDark);
    EXPECT_EQ(s.pixel(f0.x + 69, f0.y + 23), kWhite);
    EXPECT_EQ(s.pixel(f0.x + 60, f0.y + 12), kWhite);
    // Its text "10" and the label "Gain" in black on their backgrounds.
    EXPECT_TRUE(any_pixel(s, plat::Rect::from_xywh(f0.x + 3, f0.y + 4, 16, 16), 0));
    EXPECT_TRUE(any_pixel(s, plat::Rect::from_xywh(kInputClient.x + 4, kInputClient.y + 7, 32, 16), 0));
    EXPECT_EQ(s.pixel(kInputClient.x + 60, kInputClient.y + 12), kFace);
    // Button 1 at client (106, 4): raised, its caption centred.
    plat::Point b1{kButtonClient.x + 106, kButtonClient.y + 4};
    EXPECT_EQ(s.pixel(b1.x, b1.y), kWhite);
    EXPECT_EQ(s.pixel(b1.x + 97, b1.y + 25), kDark);
    EXPECT_EQ(s.pixel(b1.x + 96, b1.y + 24), kShadow);
    EXPECT_EQ(s.pixel(b1.x + 10, b1.y + 12), kFace);
    EXPECT_TRUE(any_pixel(s, plat::Rect::from_xywh(b1.x + 45, b1.y + 5, 8, 16), 0));
    // Button 0's two lines both show.
    plat::Point b0{kButtonClient.x + 4, kButtonClient.y + 4};
    EXPECT_TRUE(any_pixel(s, plat::Rect::from_xywh(b0.x + 4, b0.y + 2, 90, 10), 0));
    EXPECT_TRUE(any_pixel(s, plat::Rect::from_xywh(b0.x + 4, b0.y + 14, 90, 10), 0));
    // The button box opened last and is active; the input box shows no focus.
    EXPECT_FALSE(any_pixel(s, plat::Rect::from_xywh(f0.x, f0.y, 70, 24), kHighlight));
    EXPECT_EQ(s.pixel(kButtonClient.x + 100, kButtonClient.y - 10), kHighlight);  // active caption

    plat::Surface a = screenshot("active.png");
    EXPECT_TRUE(any_pixel(a, plat::Rect::from_xywh(f0.x, f0.y, 70, 24), kHighlight));  // field 0 selected
    EXPECT_EQ(a.pixel(kInputClient.x + 100, kInputClient.y - 10), kHighlight);
}

TEST_F(BoxesE2E, FieldAndButtonActionsReachTheProgram) {
    RunResult r = run("start; field 1 42.5; field 0 \"7\"; button 3; button 3; button Reset; "
                      "button \"Start recording\"; key kp7; wait 300; stop; idle; exit");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(r.err.empty()) << r.err;
    EXPECT_TRUE(logged("values 7 42.5 1e-05")) << read_file(log_);
    auto p = presses();
    EXPECT_EQ(p[3], 2) << read_file(log_);
    EXPECT_EQ(p[5], 1);
    EXPECT_EQ(p[0], 1);
    EXPECT_EQ(p[7], 1);  // the keypad key, with the focus back in the box after the clicks
    EXPECT_EQ(p.size(), 4u);
}

TEST_F(BoxesE2E, ScriptActionsSayWhatTheyCannotDo) {
    // The button waits 5 s for a box that never comes; the script ends there.
    RunResult r = run("button 9; field 3 1; exit", {"MAV_TEST_BOXES=none"});
    ASSERT_EQ(r.exit_code, 3) << r.err;
    EXPECT_NE(r.err.find("button 9: no button box is open"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("field 3 1"), std::string::npos) << r.err;
    RunResult bad = run("field x 1", {"MAV_TEST_BOXES=none"});
    EXPECT_EQ(bad.exit_code, 2);
    EXPECT_NE(bad.err.find("field needs a field number"), std::string::npos) << bad.err;
}

TEST_F(BoxesE2E, MainWindowDialoguesReplaceTheBoxesAtTheTopLeft) {
    // The main window's client area is at the bottom centre of the screen.
    // Each answer is typed once the dialogue's text window asks for it; the
    // second question is asked once the first line has been taken (idle).
    RunResult r = run("rclick 512 750; menu Input Box; wait-input; type 5; key Enter; idle; screenshot " +
                      shot("input.png") +
                      "; rclick 512 750; menu Button Box; wait-input; type 3; key Enter; idle; wait-input; type 2; "
                      "key Enter; idle; exit");
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_TRUE(logged("input-box 0 0 5")) << read_file(log_);
    EXPECT_TRUE(logged("button-box 0 0 3 2")) << read_file(log_);
    EXPECT_TRUE(logged("values 0 0 0"));  // a new box: every value "0"
    plat::Surface s = screenshot("input.png");
    // Five rows: the last field at client (88, 4 + 28 * 4), the client at (4, 24).
    plat::Point f4{4 + 88, 24 + 4 + 28 * 4};
    EXPECT_EQ(s.pixel(f4.x, f4.y), kShadow);
    EXPECT_EQ(s.pixel(f4.x + 30, f4.y + 12), kWhite);
    EXPECT_TRUE(any_pixel(s, plat::Rect::from_xywh(f4.x + 3, f4.y + 4, 8, 16), 0));  // its "0"
}

TEST_F(BoxesE2E, DestroyMenuClosesTheInputBox) {
    RunResult r = run("idle; rclick 100 30; menu Destroy; idle; exit");  // idle: the program has opened its boxes
    ASSERT_EQ(r.exit_code, 0) << r.err;
    EXPECT_FALSE(logged("input-box 20 20 3")) << read_file(log_);
    EXPECT_TRUE(logged("button-box 20 200 4 2"));
    EXPECT_TRUE(logged("values 0 0 0"));
}

TEST_F(BoxesE2E, ParallaxKeyMapKeepsSAndXInTheBox) {
    RunResult r = run("start; button 0; key X; key S; key 7; wait 200; button 1; wait 300; stop; idle; exit",
                      {"MAV_TEST_PARALLAX=1"});
    ASSERT_EQ(r.exit_code, 0) << r.err;
    auto p = presses();
    EXPECT_EQ(p[0], 1) << read_file(log_) << r.err;
    EXPECT_EQ(p[23], 1);  // X
    EXPECT_EQ(p[36], 1);  // S: no Start or Exit
    EXPECT_EQ(p[6], 1);   // the key 7
    EXPECT_EQ(p[7], 1);   // and the character it typed
    EXPECT_EQ(p[1], 1);   // still running after X
}

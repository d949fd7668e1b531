// The image window's own editor driven by a script as a person drives it
// (middle-button menu, clicks, typed text, the colour dialog), compared
// with the same drawing done by the library's drawing calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plat/codecs/codecs.h"
#include "support/process.h"
#include "support/temp_folder.h"

using testsupport::RunResult;
using testsupport::run_program;

namespace {

constexpr int kOriginX = 100;  // where the canvas's client area starts on the screen
constexpr int kOriginY = 100;

struct Step {
    std::string menu;                       // path through the second popup menu
    std::vector<std::pair<int, int>> clicks;  // image pixels, zoom 100
    std::string typed;                      // a line typed when the command asks
    std::string answer;                     // the dialog's answer
    std::string call;                       // the same drawing as library calls
};

std::string screen(int x, int y) { return std::to_string(kOriginX + x) + " " + std::to_string(kOriginY + y); }

std::string script_of(const std::vector<Step>& steps) {
    std::string s;
    for (const Step& step : steps) {
        s += "mclick " + screen(5, 5) + "; menu \"" + step.menu + "\"; ";
        if (!step.answer.empty()) s += "answer-dialog " + step.answer + "; ";
        for (auto [x, y] : step.clicks) s += "click " + screen(x, y) + "; ";
        if (!step.typed.empty()) s += "wait-input; type " + step.typed + "; key Enter; ";
    }
    return s;
}

std::string calls_of(const std::vector<Step>& steps) {
    std::string s;
    for (const Step& step : steps) s += step.call + ";";
    return s;
}

class EditorE2E : public ::testing::Test {
protected:
    plat::Surface run(const std::string& script, const std::string& calls, const std::string& name) {
        const std::string out = dir_.file(name + ".png");
        std::vector<std::string> env{"PLAT_RUNTIME_DIR=" + dir_.folder("runtime"),
                                     "MAV_TEST_ORIGIN=" + screen(0, 0), "MAV_TEST_CALLS=" + calls};
        RunResult r = run_program(EDITOR_APP, {"--headless", "--do", script + "idle; save-image 0 " + out + "; exit"},
                                  env, 90);
        EXPECT_EQ(r.exit_code, 0) << r.err;
        EXPECT_EQ(r.err.find("script:"), std::string::npos) << r.err;
        plat::Surface s;
        EXPECT_TRUE(plat::load_image(out, s).ok) << r.err;
        return s;
    }
    testsupport::TempFolder dir_{"e2e_editor_"};
};

TEST_F(EditorE2E, EveryDrawingCommandChangesWhatItsDrawingCallChanges) {
    const std::vector<Step> steps{
        {"Color.../Change", {}, "", "#FF8000", "colour 0xFF8000"},
        {"Draw Line.../Normal", {{10, 20}, {100, 60}}, "", "", "line 10 20 100 60"},
        {"Draw Line.../Horz.", {{50, 33}}, "", "", "line 0 33 239 33"},
        {"Draw Line.../Vert.", {{77, 50}}, "", "", "line 77 0 77 179"},
        {"Draw Box.../Normal", {{120, 100}, {20, 70}}, "", "", "box 20 70 120 100"},
        {"Color.../Pick", {{30, 15}}, "", "", "pick 30 15"},
        {"Draw Box.../Fill", {{130, 10}, {150, 40}}, "", "", "fillbox 130 10 150 40"},
        {"Draw Box.../Fill XOR", {{170, 60}, {135, 20}}, "", "", "xorfillbox 135 20 170 60"},
        {"Draw Circle.../Normal", {{60, 140}, {67, 145}}, "", "", "circle 60 140 9"},
        {"Draw Circle.../Fill", {{150, 130}, {153, 134}}, "", "", "fillcircle 150 130 5"},
        {"Draw Circle.../Fill XOR", {{155, 125}, {160, 126}}, "", "", "xorfillcircle 155 125 5"},
        {"Paint", {{200, 100}}, "", "", "paint 200 100"},
        {"Draw Text", {{10, 170}}, "Hi!", "", "text 10 170 Hi!"},
        {"TrueType.../Draw", {{170, 140}, {230, 175}}, "Ab", "", "tttext 170 140 230 175 Ab"},
    };
    plat::Surface by_menu = run(script_of(steps), "", "menu");
    plat::Surface by_calls = run("", calls_of(steps), "calls");
    plat::Surface untouched = run("", "", "untouched");
    ASSERT_EQ(by_menu.width(), 240);
    ASSERT_EQ(by_calls.width(), 240);
    int changed = 0;
    for (int y = 0; y < 180; ++y)
        for (int x = 0; x < 240; ++x) {
            ASSERT_EQ(by_menu.pixel(x, y), by_calls.pixel(x, y)) << x << "," << y;
            changed += by_calls.pixel(x, y) != untouched.pixel(x, y);
        }
    EXPECT_GT(changed, 2000);  // the calls did draw
}

}  // namespace

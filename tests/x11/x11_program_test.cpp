// Programs built on the library, run on an Xvfb of the test's own: what the
// X screen shows equals the headless screenshots of the same actions, and
// clicks and keys sent with XTEST (xdotool) reach the right window.
#include <gtest/gtest.h>

#include <signal.h>

#include <fstream>
#include <sstream>

#include "plat/codecs.h"
#include "plat/metrics.h"
#include "x11/x_support.h"

using namespace plat;
using testsupport::RunResult;
using testsupport::run_program;

namespace {

class X11Programs : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = std::filesystem::path(::testing::TempDir()) /
               (std::string("x11_") + info->name() + "_" + std::to_string(getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_ / "runtime");
    }
    void TearDown() override {
        if (!HasFailure()) std::filesystem::remove_all(dir_);
    }

    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    RunResult run(const std::string& program, std::vector<std::string> args, std::vector<std::string> env,
                  const std::function<void(pid_t)>& on_start = nullptr) {
        env.push_back("PLAT_RUNTIME_DIR=" + path("runtime"));
        return run_program(program, args, env, 60, on_start);
    }

    std::filesystem::path dir_;
};

// One state of the screen to compare: the actions that lead to it from the
// state before, as a script does them headlessly and as xdotool does them
// on the X display.
struct Step {
    std::string name;
    std::string script;                              // "" for none
    std::vector<std::vector<std::string>> xdotool;  // one xdotool run each
};

}  // namespace

TEST_F(X11Programs, TheXScreenShowsWhatTheHeadlessScreenshotsShow) {
    xtest::Xvfb xvfb;
    ASSERT_TRUE(xvfb.ok());
    xtest::Conn conn(xvfb.name());
    ASSERT_TRUE(conn.ok());
    conn.set_root_background(xtest::kDesktop);
    std::filesystem::create_directories(dir_ / "runtime-headless");
    std::vector<std::string> failures;
    RunResult r = run(MAVDEMO, {"--do", "idle; wait 30000"}, {xvfb.env()}, [&](pid_t pid) {
        auto fail = [&](std::string why) {
            failures.push_back(std::move(why));
            kill(pid, SIGTERM);
        };
        Rect main;
        if (!conn.settled_window("mavdemo", main)) return fail("the main window did not settle");
        // A point in the main window's client area, below the status line.
        std::string px = std::to_string(main.left + 10), py = std::to_string(main.bottom - 6);

        // Each step is a state of the screen: the actions that lead to it from
        // the one before, as a script does them headlessly and as xdotool does
        // them on the display. More states (a text window, ...) are more steps.
        std::vector<Step> steps = {
            {"main_window", "", {}},
            {"open_menu", "rclick " + px + " " + py, {{"mousemove", px, py}, {"click", "3"}}},
        };

        // The same program headless, with a runtime folder of its own so that
        // it holds the same instance number.
        std::string script = "idle";
        for (const Step& step : steps) {
            if (!step.script.empty()) script += "; " + step.script + "; idle";
            script += "; screenshot " + path(step.name + ".png");
        }
        script += "; exit";
        RunResult headless = run_program(MAVDEMO, {"--headless", "--do", script},
                                         {"PLAT_RUNTIME_DIR=" + path("runtime-headless")}, 60);
        if (headless.exit_code != 0) return fail("the headless run failed: " + headless.err);
        std::vector<Surface> wants(steps.size());
        for (std::size_t i = 0; i < steps.size(); ++i) {
            if (!load_png(path(steps[i].name + ".png"), wants[i])) return fail(steps[i].name + ": no screenshot");
            // Every step must change the screen, or it would prove nothing.
            if (i > 0 && xtest::compare(wants[i - 1], wants[i]).count == 0)
                return fail(steps[i].name + ": the headless screen did not change");
        }

        for (std::size_t i = 0; i < steps.size(); ++i) {
            for (const auto& args : steps[i].xdotool) {
                RunResult t = xtest::tool(xvfb.name(), "xdotool", args);
                if (t.exit_code != 0) return fail(steps[i].name + ": xdotool failed: " + t.err);
            }
            std::string why;
            if (!xtest::screen_becomes(conn, wants[i], 10000, why, path(steps[i].name + "-x11.png")))
                return fail(steps[i].name + ": " + why);
        }
        kill(pid, SIGTERM);
    });
    for (const std::string& f : failures) ADD_FAILURE() << f;
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
}

TEST_F(X11Programs, ClicksAndKeysFromXtestReachTheMainWindow) {
    xtest::Xvfb xvfb;
    ASSERT_TRUE(xvfb.ok());
    xtest::Conn conn(xvfb.name());
    ASSERT_TRUE(conn.ok());
    std::string log = path("calls.log");
    auto logged = [&](const std::string& what) {
        return [&log, what] {
            std::ifstream in(log);
            std::stringstream s;
            s << in.rdbuf();
            return s.str().find(what) != std::string::npos;
        };
    };
    std::vector<std::string> failures;
    auto xdo = [&](std::vector<std::string> args) {
        RunResult t = xtest::tool(xvfb.name(), "xdotool", args);
        if (t.exit_code != 0) failures.push_back("xdotool failed: " + t.err);
    };
    RunResult r = run(LIFECYCLE_APP, {"--do", "idle; wait 30000"}, {xvfb.env(), "MAV_TEST_LOG=" + log},
                      [&](pid_t pid) {
        // The main window drops in; wait until it rests.
        Rect at;
        if (!conn.settled_window("lifecycle_app", at)) {
            failures.push_back("the main window did not appear");
            kill(pid, SIGKILL);
            return;
        }
        // "Start(S)", the first item of the menu bar.
        const Metrics& m = metrics();
        Point start{at.left + m.sizing_frame + 4 + 10, at.top + m.sizing_frame + m.caption_height + m.menu_bar_height / 2};
        xdo({"mousemove", std::to_string(start.x), std::to_string(start.y), "click", "1"});
        if (!xtest::wait_for(logged("main-begin"), 5000)) failures.push_back("Start(S) did not start UserMain");
        // The main window has the keyboard: C stops, Esc exits.
        xdo({"key", "c"});
        if (!xtest::wait_for(logged("main-end"), 5000)) failures.push_back("C did not stop UserMain");
        xdo({"key", "Escape"});
        if (!xtest::wait_for(logged("exit "), 5000)) failures.push_back("Esc did not exit");
    });
    for (const std::string& f : failures) ADD_FAILURE() << f;
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    // Typed text reaching MAV_InputText in a text window: to come with text windows.
}

TEST_F(X11Programs, WithoutADisplayTheProgramSaysSoUnlessHeadless) {
    RunResult r = run(MAVDEMO, {"--do", "exit"}, {"DISPLAY=:59999"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("cannot open display ':59999'"), std::string::npos) << r.err;
    RunResult headless = run(MAVDEMO, {"--headless", "--do", "exit"}, {"DISPLAY=:59999"});
    EXPECT_EQ(headless.exit_code, 0) << headless.err;
}

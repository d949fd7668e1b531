// Programs built on the library, run on an Xvfb of the test's own: what the
// X screen shows equals the headless screenshots of the same actions, and
// clicks and keys sent with XTEST (xdotool) reach the right window, typed
// text included.
#include <gtest/gtest.h>

#include <signal.h>

#include <memory>
#include <sstream>

#include "plat/codecs/codecs.h"
#include "plat/core/metrics.h"
#include "support/temp_folder.h"
#include "x11/x_support.h"

using namespace plat;
using testsupport::RunResult;
using testsupport::run_program;

namespace {

// One X action of a person at the screen: an xdotool run, a wait for the
// focus, ...; it returns "" or what went wrong.
using XAction = std::function<std::string()>;

// One state of the screen to compare: the actions that lead to it from the
// state before, as a script does them headlessly and as a person does them
// on the X display.
struct Step {
    std::string name;
    std::string script;      // "" for none
    std::vector<XAction> x;  // in order
};

// The middle of "Start(S)", the first item of the menu bar of a main window at `at`.
Point start_item(const Rect& at) {
    const Metrics& m = metrics();
    return {at.left + m.sizing_frame + 4 + 10, at.top + m.sizing_frame + m.caption_height + m.menu_bar_height / 2};
}

class X11Programs : public ::testing::Test {
protected:
    void SetUp() override { dir_.folder("runtime"); }
    void TearDown() override {
        if (HasFailure()) dir_.keep();  // for a look at what went wrong
    }

    std::string path(const std::string& name) const { return dir_.file(name); }

    RunResult run(const std::string& program, std::vector<std::string> args, std::vector<std::string> env,
                  const std::function<void(pid_t)>& on_start = nullptr) {
        env.push_back("PLAT_RUNTIME_DIR=" + path("runtime"));
        return run_program(program, args, env, 60, on_start);
    }

    // An Xvfb of the test's own, its desktop in the headless screen's colour,
    // and a connection to look at it.
    bool start_display() {
        xvfb_ = std::make_unique<xtest::Xvfb>();
        if (!xvfb_->ok()) return false;
        conn_ = std::make_unique<xtest::Conn>(xvfb_->name());
        if (!conn_->ok()) return false;
        conn_->set_root_background(xtest::kDesktop);
        return true;
    }

    // Runs `program` on the display. Once its main window, titled `title`,
    // rests at `main`, `act` does what a person would at the screen, noting
    // what goes wrong with fail(); then the program is asked to end.
    RunResult run_on_display(const std::string& program, const std::string& title, std::vector<std::string> env,
                             const std::function<void(const Rect& main)>& act) {
        env.push_back(xvfb_->env());
        RunResult r = run(program, {"--do", "idle; wait 30000"}, env, [&](pid_t pid) {
            Rect main;
            if (conn_->settled_window(title, main)) act(main);
            else fail("the main window did not settle");
            kill(pid, SIGTERM);  // no harm when it has ended already
        });
        for (const std::string& f : failures_) ADD_FAILURE() << f;
        return r;
    }

    void fail(std::string why) { failures_.push_back(std::move(why)); }

    XAction xdotool(std::vector<std::string> args) const {
        return [this, args] {
            RunResult t = xtest::tool(xvfb_->name(), "xdotool", args);
            return t.exit_code == 0 ? std::string() : "xdotool " + args.front() + " failed: " + t.err;
        };
    }
    XAction focus_on(std::string title) const {
        return [this, title] {
            return conn_->focus_becomes(title) ? std::string() : title + " did not get the X focus";
        };
    }
    // Does `a`; false, with the failure noted, when it went wrong.
    bool done(const XAction& a) {
        std::string why = a();
        if (!why.empty()) fail(why);
        return why.empty();
    }

    testsupport::TempFolder dir_{"x11_"};
    std::unique_ptr<xtest::Xvfb> xvfb_;
    std::unique_ptr<xtest::Conn> conn_;
    std::vector<std::string> failures_;
};

}  // namespace

TEST_F(X11Programs, TheXScreenShowsWhatTheHeadlessScreenshotsShow) {
    ASSERT_TRUE(start_display());
    dir_.folder("runtime-headless");
    // The program opens text window 0 with an ASCII and a Japanese line, and
    // once started reads a line there and prints it back.
    const std::string text_mode = "MAV_TEST_TEXT=1";
    RunResult r = run_on_display(LIFECYCLE_APP, "lifecycle_app", {text_mode}, [&](const Rect& main) {
        // A point in the main window's client area, below the status line.
        std::string px = std::to_string(main.left + 10), py = std::to_string(main.bottom - 6);
        Point start = start_item(main);

        // Each step is a state of the screen: the actions that lead to it from
        // the one before, as a script does them headlessly and as a person does
        // them on the display.
        std::vector<Step> steps = {
            // The main window and text window 0 with its two lines.
            {"main_window", "", {}},
            // Start: the text window takes the focus and reads a line; the
            // typed line and the program's answer stay in it.
            {"typed_line",
             "start; wait-input; type abc 123; key Enter",
             {xdotool({"mousemove", std::to_string(start.x), std::to_string(start.y), "click", "1"}),
              focus_on("TextWindow 0"), xdotool({"type", "abc 123"}), xdotool({"key", "Return"})}},
            {"open_menu", "rclick " + px + " " + py, {xdotool({"mousemove", px, py, "click", "3"})}},
        };

        // The same program headless, with a runtime folder of its own so that
        // it holds the same instance number.
        std::string script = "idle";
        for (const Step& step : steps) {
            if (!step.script.empty()) script += "; " + step.script + "; idle";
            script += "; screenshot " + path(step.name + ".png");
        }
        script += "; exit";
        RunResult headless = run_program(LIFECYCLE_APP, {"--headless", "--do", script},
                                         {"PLAT_RUNTIME_DIR=" + path("runtime-headless"), text_mode}, 60);
        if (headless.exit_code != 0) return fail("the headless run failed: " + headless.err);
        std::vector<Surface> wants(steps.size());
        for (std::size_t i = 0; i < steps.size(); ++i) {
            if (!load_png(path(steps[i].name + ".png"), wants[i])) return fail(steps[i].name + ": no screenshot");
            // Every step must change the screen, or it would prove nothing.
            if (i > 0 && xtest::compare(wants[i - 1], wants[i]).count == 0)
                return fail(steps[i].name + ": the headless screen did not change");
        }

        for (std::size_t i = 0; i < steps.size(); ++i) {
            for (const XAction& act : steps[i].x) {
                std::string why = act();
                if (!why.empty()) return fail(steps[i].name + ": " + why);
            }
            std::string why;
            if (!xtest::screen_becomes(*conn_, wants[i], 10000, why, path(steps[i].name + "-x11.png")))
                return fail(steps[i].name + ": " + why);
        }
    });
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
}

TEST_F(X11Programs, ClicksAndKeysFromXtestReachTheMainWindow) {
    ASSERT_TRUE(start_display());
    std::string log = path("calls.log");
    auto logged = [&](const std::string& what) {
        return [&log, what] { return testsupport::read_file(log).find(what) != std::string::npos; };
    };
    RunResult r = run_on_display(LIFECYCLE_APP, "lifecycle_app", {"MAV_TEST_LOG=" + log}, [&](const Rect& main) {
        Point start = start_item(main);
        if (!done(xdotool({"mousemove", std::to_string(start.x), std::to_string(start.y), "click", "1"}))) return;
        if (!xtest::wait_for(logged("main-begin"), 5000)) return fail("Start(S) did not start UserMain");
        // The main window has the keyboard: C stops, Esc exits.
        if (!done(xdotool({"key", "c"}))) return;
        if (!xtest::wait_for(logged("main-end"), 5000)) return fail("C did not stop UserMain");
        if (!done(xdotool({"key", "Escape"}))) return;
        if (!xtest::wait_for(logged("exit "), 5000)) return fail("Esc did not exit");
    });
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
}

TEST_F(X11Programs, TypedTextFromXtestReachesInputTextInATextWindow) {
    ASSERT_TRUE(start_display());
    std::string log = path("calls.log");
    auto input_lines = [&log] {
        std::vector<std::string> out;
        std::istringstream in(testsupport::read_file(log));
        for (std::string l; std::getline(in, l);)
            if (l.rfind("input-text ", 0) == 0) out.push_back(l);
        return out;
    };
    RunResult r = run_on_display(LIFECYCLE_APP, "lifecycle_app", {"MAV_TEST_LOG=" + log, "MAV_TEST_TEXT=1"},
                                 [&](const Rect& main) {
        // Start: UserMain asks for a line, and its text window takes the keyboard.
        Point start = start_item(main);
        if (!done(xdotool({"mousemove", std::to_string(start.x), std::to_string(start.y), "click", "1"}))) return;
        if (!done(focus_on("TextWindow 0"))) return;
        // Capitals (Shift), a blank, digits, and a Backspace that takes back a slip.
        if (!done(xdotool({"type", "Hello world 42x"})) || !done(xdotool({"key", "BackSpace", "Return"}))) return;
        if (!xtest::wait_for([&] { return !input_lines().empty(); }, 5000)) fail("MAV_InputText did not return");
    });
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    // One line, as typed less the slip, and MAV_InputText returned 0.
    EXPECT_EQ(input_lines(), std::vector<std::string>{"input-text 0 [Hello world 42]"})
        << testsupport::read_file(log);
}

TEST_F(X11Programs, WithoutADisplayTheProgramSaysSoUnlessHeadless) {
    RunResult r = run(MAVDEMO, {"--do", "exit"}, {"DISPLAY=:59999"});
    EXPECT_EQ(r.exit_code, 1);
    EXPECT_NE(r.err.find("cannot open display ':59999'"), std::string::npos) << r.err;
    RunResult headless = run(MAVDEMO, {"--headless", "--do", "exit"}, {"DISPLAY=:59999"});
    EXPECT_EQ(headless.exit_code, 0) << headless.err;
}

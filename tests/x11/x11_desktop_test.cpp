// Programs built on the library on a managed X desktop (openbox on an Xvfb
// of the test's own), as a person meets them: windows that other programs'
// windows cover and uncover show again what the program drew, in every
// launch; and the window manager's activation decides which window takes
// the keys and which title shows active.
#include <gtest/gtest.h>

#include <signal.h>

#include <memory>
#include <string>
#include <vector>

#include "plat/codecs.h"
#include "plat/metrics.h"
#include "support/logged_windows.h"
#include "support/temp_folder.h"
#include "x11/x_support.h"

using namespace plat;
using testsupport::RunResult;
using testsupport::logged_rect;
using testsupport::off_colour;

namespace {

constexpr Color kActiveCaption = 0x0A246A;  // as our frames draw an active title bar
constexpr Color kCoverColour = 0xFF00FF;     // another program's window

class X11Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        if (xtest::which("Xvfb").empty() || !xtest::WindowManager::installed() || xtest::which("xdotool").empty())
            GTEST_SKIP() << "needs Xvfb, openbox and xdotool";
        dir_.folder("runtime");
        xvfb_ = std::make_unique<xtest::Xvfb>();
        ASSERT_TRUE(xvfb_->ok()) << "Xvfb did not start";
        conn_ = std::make_unique<xtest::Conn>(xvfb_->name());
        ASSERT_TRUE(conn_->ok());
        conn_->set_root_background(xtest::kDesktop);
        wm_ = std::make_unique<xtest::WindowManager>(xvfb_->name(), *conn_);
        ASSERT_TRUE(wm_->ok()) << "openbox did not come up";
    }
    void TearDown() override {
        if (HasFailure()) dir_.keep();  // for a look at what went wrong
    }

    std::string path(const std::string& name) const { return dir_.file(name); }
    xtest::Conn& conn() { return *conn_; }

    // Runs `program` on the desktop, shared memory on, with `act` doing what
    // a person would while it runs; then the program is asked to end.
    RunResult run_on_desktop(const std::string& program, std::vector<std::string> env,
                             const std::function<void()>& act) {
        env.insert(env.end(), {xvfb_->env(), "PLAT_X11_NO_SHM=0", "PLAT_RUNTIME_DIR=" + path("runtime")});
        return testsupport::run_program(program, {"--do", "idle; wait 30000"}, env, 60, [&](pid_t pid) {
            act();
            kill(pid, SIGTERM);  // no harm when it has ended already
        });
    }

    // xdotool on the display; "" or what went wrong.
    std::string xdotool(const std::vector<std::string>& args) {
        RunResult t = xtest::tool(xvfb_->name(), "xdotool", args);
        return t.exit_code == 0 ? std::string() : "xdotool " + args.front() + " failed: " + t.err;
    }

    std::unique_ptr<xtest::Xvfb> xvfb_;
    std::unique_ptr<xtest::Conn> conn_;
    std::unique_ptr<xtest::WindowManager> wm_;
    testsupport::TempFolder dir_{"x11_desktop_"};
};

// Pixels of `areas` that differ between two screens.
long differing(const Surface& want, const Surface& got, const std::vector<Rect>& areas) {
    long n = 0;
    for (const Rect& a : areas)
        for (int y = a.top; y < a.bottom; ++y)
            for (int x = a.left; x < a.right; ++x) n += want.pixel(x, y) != got.pixel(x, y);
    return n;
}

// Whether the window at `r` shows an active title bar: its caption's first
// row, which no title text reaches, in the active colour.
bool title_active(const Surface& screen, Rect r) {
    const int frame = metrics().sizing_frame;
    const Rect row{r.left + frame, r.top + frame + 1, r.right - frame, r.top + frame + 2};
    return off_colour(screen, row, kActiveCaption) < row.width() / 2;
}

}  // namespace

TEST_F(X11Desktop, UncoveredWindowsShowWhatTheProgramDrewInEveryLaunch) {
    constexpr int kLaunches = 10;
    constexpr int kCoversPerLaunch = 2;
    // The main window and, over its ends, an image window and a text window.
    const std::string over_main = "MAV_TEST_OVER_MAIN=1";

    // What the program draws, from its headless screenshot of the same state.
    RunResult headless = testsupport::run_program(
        LIFECYCLE_APP, {"--headless", "--do", "idle; screenshot " + path("want.png") + "; exit"},
        {"PLAT_RUNTIME_DIR=" + path("runtime-headless"), over_main, "MAV_TEST_LOG=" + path("headless.log")}, 60);
    ASSERT_EQ(headless.exit_code, 0) << headless.err;
    Surface want;
    ASSERT_TRUE(load_png(path("want.png"), want).ok);
    const std::string log = testsupport::read_file(path("headless.log"));
    const Rect main = logged_rect(log, "main-window");
    const Rect image = logged_rect(log, "image-client");
    const Rect text = logged_rect(log, "text-client");
    ASSERT_FALSE(main.is_empty() || image.is_empty() || text.is_empty()) << log;
    // Compared: all of the three that does not depend on which window the
    // window manager made active, i.e. everything but the title bars.
    const int caption_bottom = metrics().sizing_frame + metrics().caption_height;
    const std::vector<Rect> areas = {{main.left, main.top + caption_bottom, main.right, main.bottom}, image, text};
    Rect cover = main.united(image).united(text);
    cover = {cover.left - 10, cover.top - 10, cover.right + 10, cover.bottom + 10};

    std::vector<std::string> failures;
    for (int launch = 0; launch < kLaunches; ++launch) {
        const std::string launch_log = path("launch" + std::to_string(launch) + ".log");
        std::string name = "launch " + std::to_string(launch);
        RunResult r = run_on_desktop(LIFECYCLE_APP, {over_main, "MAV_TEST_LOG=" + launch_log}, [&] {
            auto shown = [&] { return differing(want, conn().grab(), areas) == 0; };
            if (!xtest::wait_for([&] { return logged_rect(testsupport::read_file(launch_log), "text-client") == text; },
                                 10000) ||
                !xtest::wait_for(shown, 10000)) {
                failures.push_back(name + ": the windows never showed what the program drew");
                return;
            }
            for (int i = 0; i < kCoversPerLaunch; ++i) {
                // Another program's window over ours: every other one is
                // managed (the window manager places and stacks it), the
                // others bypass the window manager. It shows, moves half off
                // and goes away.
                const bool managed = i % 2 == 1;
                Window w = conn().make_window(cover, kCoverColour, managed ? "another program" : "");
                const bool covered = xtest::wait_for(
                    [&] {
                        Rect at = conn().geometry(w).intersected({0, 0, 1920, 1080});
                        return !at.is_empty() && off_colour(conn().grab(), at, kCoverColour) == 0;
                    },
                    5000);
                XMoveWindow(conn().d(), w, cover.left + cover.width() / 2, cover.top);
                XSync(conn().d(), False);
                XDestroyWindow(conn().d(), w);
                XSync(conn().d(), False);
                const std::string which = name + ", cover " + std::to_string(i) + (managed ? " (managed)" : "");
                if (!covered) failures.push_back(which + ": the covering window did not show");
                if (!xtest::wait_for(shown, 3000)) {
                    Surface got = conn().grab();
                    save_png(got, path(which + ".png"));
                    failures.push_back(which + ": " + std::to_string(differing(want, got, areas)) +
                                       " pixels stay as the covering window left them");
                    return;
                }
            }
        });
        EXPECT_FALSE(r.timed_out) << name;
        EXPECT_EQ(r.exit_code, 0) << name << ": " << r.err;
    }
    for (const std::string& f : failures) ADD_FAILURE() << f;
}

TEST_F(X11Desktop, TheWindowManagersActivationDecidesWhereKeysGoAndWhichTitleIsActive) {
    const std::string log = path("calls.log");
    auto logged = [&](const std::string& what) {
        return xtest::wait_for([&] { return testsupport::read_file(log).find(what) != std::string::npos; }, 5000);
    };
    std::vector<std::string> failures;
    auto fail = [&](std::string why) { failures.push_back(std::move(why)); };
    // The program's main window, input box (three fields) and button box.
    RunResult r = run_on_desktop(BOXES_APP, {"MAV_TEST_LOG=" + log}, [&] {
        Window main = 0, input = 0, buttons = 0;
        Rect main_at, last;
        double still_since = 0;
        const bool up = xtest::wait_for(
            [&] {
                main = conn().client_titled("boxes_app");
                input = conn().client_titled("InputBox");
                buttons = conn().client_titled("ButtonBox");
                if (!main || !input || !buttons) return false;
                main_at = conn().geometry(main);  // it drops into place
                if (main_at != last) last = main_at, still_since = xtest::now_ms();
                return xtest::now_ms() - still_since > 700;
            },
            10000, 20);
        if (!up) return fail("the program's windows did not show");
        auto titles = [&] {
            Surface s = conn().grab();
            return std::vector<bool>{title_active(s, main_at), title_active(s, conn().geometry(input)),
                                     title_active(s, conn().geometry(buttons))};
        };
        auto act = [&](const std::vector<std::string>& args) {
            std::string why = xdotool(args);
            if (!why.empty()) fail(why);
            return why.empty();
        };

        // A person replaces the value of the input box's second field: a
        // double click selects it, and typing replaces it.
        const Rect ib = conn().geometry(input);
        const Metrics& m = metrics();
        const Point field{ib.left + m.sizing_frame + 80 + 8 + 12, ib.top + m.sizing_frame + m.caption_height + 32 + 12};
        if (!act({"mousemove", std::to_string(field.x), std::to_string(field.y), "click", "--repeat", "2", "1"}) ||
            !act({"type", "42"}))
            return;

        // The window manager activates the main window: it takes the keys.
        if (!act({"windowactivate", "--sync", std::to_string(main), "key", "s"})) return;
        if (!logged("main-begin")) fail("S after activating the main window did not start the program");
        if (!act({"key", "c"})) return;
        if (!logged("main-end")) fail("C did not stop the program");
        if (!xtest::wait_for([&] { return titles() == std::vector<bool>{true, false, false}; }, 3000))
            fail("the active main window's title alone should show active");

        // Another program takes the focus: none of our titles shows active.
        Window other = conn().make_window(Rect::from_xywh(1300, 100, 300, 200), 0x808000, "another program");
        if (!act({"windowactivate", "--sync", std::to_string(other)})) return;
        if (!xtest::wait_for([&] { return titles() == std::vector<bool>{false, false, false}; }, 3000))
            fail("a title of ours shows active while another program has the focus");

        // Back to the main window; X ends the program.
        if (!act({"windowactivate", "--sync", std::to_string(main)})) return;
        if (!xtest::wait_for([&] { return titles() == std::vector<bool>{true, false, false}; }, 3000))
            fail("the main window's title did not show active again");
        if (!act({"key", "x"})) return;
        if (!logged("values ")) fail("X did not end the program");
    });
    for (const std::string& f : failures) ADD_FAILURE() << f;
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    // The field lost the focus to the main window and so took the value typed.
    EXPECT_NE(testsupport::read_file(log).find("values 10 42 1e-05"), std::string::npos) << testsupport::read_file(log);
}

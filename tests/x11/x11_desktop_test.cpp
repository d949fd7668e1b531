// Programs on a managed X desktop (openbox on an Xvfb of the test's own), as
// a person meets them: windows that other programs' windows cover and
// uncover show again what the program drew, in every launch; the window
// manager's activation decides where keys go and which title shows active.
#include <gtest/gtest.h>

#include <signal.h>

#include "plat/codecs/codecs.h"
#include "plat/core/metrics.h"
#include "support/logged_windows.h"
#include "support/temp_folder.h"
#include "x11/x_support.h"

using namespace plat;
using testsupport::logged_rect;
using testsupport::read_file;
using testsupport::RunResult;

namespace {

class X11Desktop : public ::testing::Test {
protected:
    void SetUp() override {
        if (xtest::which("Xvfb").empty() || !xtest::WindowManager::installed() || xtest::which("xdotool").empty())
            GTEST_SKIP() << "needs Xvfb, openbox and xdotool";
        ASSERT_TRUE(xvfb_.ok() && conn_.ok());
        dir_.folder("runtime");
        conn_.set_root_background(xtest::kDesktop);
        wm_ = std::make_unique<xtest::WindowManager>(xvfb_.name(), conn_);
        ASSERT_TRUE(wm_->ok()) << "openbox did not come up";
    }
    void TearDown() override {
        for (const std::string& f : failures_) ADD_FAILURE() << f;
        if (HasFailure()) dir_.keep();
    }
    std::string path(const std::string& name) const { return dir_.file(name); }

    // Runs `program` on the desktop, shared memory on, while `act` does what
    // a person would; then asks it to end.
    RunResult run(const std::string& program, std::vector<std::string> env, const std::function<void()>& act) {
        env.insert(env.end(), {xvfb_.env(), "PLAT_X11_NO_SHM=0", "PLAT_RUNTIME_DIR=" + path("runtime")});
        return testsupport::run_program(program, {"--do", "idle; wait 30000"}, env, 60, [&](pid_t pid) {
            act();
            kill(pid, SIGTERM);
        });
    }
    bool xdotool(const std::vector<std::string>& args) {
        RunResult t = xtest::tool(xvfb_.name(), "xdotool", args);
        if (t.exit_code != 0) failures_.push_back("xdotool " + args.front() + " failed: " + t.err);
        return t.exit_code == 0;
    }

    testsupport::TempFolder dir_{"x11_desktop_"};
    xtest::Xvfb xvfb_;
    xtest::Conn conn_{xvfb_.name()};
    std::unique_ptr<xtest::WindowManager> wm_;
    std::vector<std::string> failures_;
};

long differing(const Surface& want, const Surface& got, const std::vector<Rect>& areas) {
    long n = 0;
    for (const Rect& a : areas)
        for (int y = a.top; y < a.bottom; ++y)
            for (int x = a.left; x < a.right; ++x) n += want.pixel(x, y) != got.pixel(x, y);
    return n;
}

// Whether the window at `r` draws an active title: the caption's first row,
// which no title text reaches, in the active colour.
bool title_active(const Surface& screen, Rect r) {
    const int f = metrics().sizing_frame;
    const Rect row{r.left + f, r.top + f + 1, r.right - f, r.top + f + 2};
    return testsupport::off_colour(screen, row, 0x0A246A) < row.width() / 2;
}

}  // namespace

TEST_F(X11Desktop, UncoveredWindowsShowWhatTheProgramDrewInEveryLaunch) {
    // The main window with an image window and a text window over its ends,
    // as the program draws them headless.
    const std::string over_main = "MAV_TEST_OVER_MAIN=1";
    RunResult headless = testsupport::run_program(
        LIFECYCLE_APP, {"--headless", "--do", "idle; screenshot " + path("want.png") + "; exit"},
        {"PLAT_RUNTIME_DIR=" + path("runtime-headless"), over_main, "MAV_TEST_LOG=" + path("headless.log")}, 60);
    Surface want;
    ASSERT_TRUE(headless.exit_code == 0 && load_png(path("want.png"), want).ok) << headless.err;
    const std::string log = read_file(path("headless.log"));
    const Rect main = logged_rect(log, "main-window"), image = logged_rect(log, "image-client"),
               text = logged_rect(log, "text-client");
    // All but the title bars, which show whichever window the manager activated.
    const int caption_bottom = metrics().sizing_frame + metrics().caption_height;
    const std::vector<Rect> areas = {{main.left, main.top + caption_bottom, main.right, main.bottom}, image, text};
    const Rect all = main.united(image).united(text);
    const Rect cover{all.left - 10, all.top - 10, all.right + 10, all.bottom + 10};

    for (int launch = 0; launch < 10; ++launch) {
        const std::string launch_log = path("launch" + std::to_string(launch) + ".log");
        RunResult r = run(LIFECYCLE_APP, {over_main, "MAV_TEST_LOG=" + launch_log}, [&] {
            auto shown = [&] { return differing(want, conn_.grab(), areas) == 0; };
            if (!xtest::wait_for([&] { return logged_rect(read_file(launch_log), "text-client") == text; }, 10000) ||
                !xtest::wait_for(shown, 10000))
                return failures_.push_back("launch " + std::to_string(launch) + ": never showed its windows");
            // Another program's window over ours, managed by the window
            // manager or bypassing it, moves half away and goes.
            for (bool managed : {false, true}) {
                Window w = conn_.make_window(cover, 0xFF00FF, managed ? "cover" : "");
                auto covers = [&] {
                    const Rect on_screen = conn_.geometry(w).intersected({0, 0, 1920, 1080});
                    return testsupport::off_colour(conn_.grab(), on_screen, 0xFF00FF) == 0;
                };
                if (!xtest::wait_for(covers, 5000)) failures_.push_back("the covering window did not show");
                XMoveWindow(conn_.d(), w, cover.left + cover.width() / 2, cover.top);
                XDestroyWindow(conn_.d(), w);
                XSync(conn_.d(), False);
                if (xtest::wait_for(shown, 3000)) continue;
                const std::string which = "launch " + std::to_string(launch) + (managed ? ", managed" : "");
                save_png(conn_.grab(), path(which + ".png"));
                return failures_.push_back(which + ": what the covering window left stays");
            }
        });
        EXPECT_EQ(r.exit_code, 0) << "launch " << launch << ": " << r.err;
    }
}

TEST_F(X11Desktop, TheWindowManagersActivationDecidesWhereKeysGoAndWhichTitleIsActive) {
    const std::string log = path("calls.log");
    auto logged = [&](const std::string& what) {
        return xtest::wait_for([&] { return read_file(log).find(what) != std::string::npos; }, 5000);
    };
    RunResult r = run(BOXES_APP, {"MAV_TEST_LOG=" + log}, [&] {
        // The main window (once dropped into place), the input box, the button box.
        Window wins[3] = {};
        Rect at[3], last;
        double still_since = 0;
        if (!xtest::wait_for(
                [&] {
                    const char* titles[3] = {"boxes_app", "InputBox", "ButtonBox"};
                    for (int i = 0; i < 3; ++i)
                        if (!(wins[i] = conn_.client_titled(titles[i]))) return false;
                    for (int i = 0; i < 3; ++i) at[i] = conn_.geometry(wins[i]);
                    if (at[0] != last) last = at[0], still_since = xtest::now_ms();
                    return xtest::now_ms() - still_since > 700;
                },
                10000, 20))
            return failures_.push_back("the windows did not show");
        auto titles_are = [&](std::vector<bool> want) {
            return xtest::wait_for([&] {
                const Surface s = conn_.grab();
                return std::vector<bool>{title_active(s, at[0]), title_active(s, at[1]), title_active(s, at[2])} == want;
            }, 3000);
        };
        // A double click selects the value of the input box's second field, and typing replaces it.
        const Metrics& m = metrics();
        const Point field{at[1].left + m.sizing_frame + 100, at[1].top + m.sizing_frame + m.caption_height + 44};
        if (!xdotool({"mousemove", std::to_string(field.x), std::to_string(field.y), "click", "--repeat", "2", "1",
                      "type", "42"}))
            return;
        // Activated by the window manager, the main window takes the keys.
        const std::string main = std::to_string(wins[0]);
        if (!xdotool({"windowactivate", "--sync", main, "key", "s"}) || !logged("main-begin"))
            return failures_.push_back("S after activating the main window did not start the program");
        if (!xdotool({"key", "c"}) || !logged("main-end")) failures_.push_back("C did not stop the program");
        if (!titles_are({true, false, false})) failures_.push_back("the main window's title is not the one active");
        // Another program takes the focus: no title of ours is active.
        Window other = conn_.make_window(Rect::from_xywh(1300, 100, 300, 200), 0x808000, "another program");
        if (!xdotool({"windowactivate", "--sync", std::to_string(other)}) || !titles_are({false, false, false}))
            failures_.push_back("a title of ours is active while another program has the focus");
        if (!xdotool({"windowactivate", "--sync", main}) || !titles_are({true, false, false}))
            failures_.push_back("the main window's title is not active again");
        if (!xdotool({"key", "x"}) || !logged("values ")) failures_.push_back("X did not end the program");
    });
    EXPECT_EQ(r.exit_code, 0) << r.err;
    // The field took the typed value when it lost the focus to the main window.
    EXPECT_NE(read_file(log).find("values 10 42 1e-05"), std::string::npos) << read_file(log);
}

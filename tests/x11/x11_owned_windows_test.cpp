// A program's windows on a managed X desktop (openbox on an Xvfb of the
// test's own): the image and text windows are transients of the main
// window, and stay above it when the main window is clicked.
#include <gtest/gtest.h>

#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "support/logged_windows.h"
#include "support/process.h"
#include "support/temp_folder.h"
#include "x11/x_support.h"

using testsupport::RunResult;

using testsupport::logged_rect;
using testsupport::off_colour;

namespace {

constexpr plat::Color kImageGreen = 0x20C040;  // what the program fills image 0 with
constexpr plat::Color kTextBlack = 0x000000;   // an empty text window

// A client window and the child of the root that holds it: the window
// manager's frame, or the window itself.
struct Placed {
    Window client = 0;
    Window top = 0;
    int stacking = -1;  // the top's place among the root's children, bottom up
};

std::string net_wm_name(const xtest::Conn& c, Window w) { return c.utf8_property(w, "_NET_WM_NAME"); }

// The window whose title starts with `prefix`, searched a few levels down
// from each child of the root.
Placed find_placed(const xtest::Conn& c, const std::string& prefix) {
    Window root_back, parent;
    Window* tops = nullptr;
    unsigned n = 0;
    Placed out;
    if (!XQueryTree(c.d(), c.root(), &root_back, &parent, &tops, &n)) return out;
    for (unsigned i = 0; i < n && !out.client; ++i) {
        std::vector<Window> level{tops[i]};
        for (int depth = 0; depth < 4 && !level.empty() && !out.client; ++depth) {
            std::vector<Window> next;
            for (Window w : level) {
                if (net_wm_name(c, w).rfind(prefix, 0) == 0) {
                    out = {w, tops[i], int(i)};
                    break;
                }
                Window* kids = nullptr;
                unsigned k = 0;
                if (XQueryTree(c.d(), w, &root_back, &parent, &kids, &k))
                    next.insert(next.end(), kids, kids + k);
                if (kids) XFree(kids);
            }
            level = std::move(next);
        }
    }
    if (tops) XFree(tops);
    return out;
}

Window transient_for(const xtest::Conn& c, Window w) {
    Window owner = 0;
    return XGetTransientForHint(c.d(), w, &owner) ? owner : 0;
}

// The inside of a rectangle, clear of a window manager's border pixel.
plat::Rect inside(plat::Rect r) { return {r.left + 2, r.top + 2, r.right - 2, r.bottom - 2}; }

}  // namespace

TEST(X11OwnedWindows, StayAboveTheMainWindowAsItsTransientsUnderAWindowManager) {
    if (xtest::which("Xvfb").empty() || !xtest::WindowManager::installed() || xtest::which("xdotool").empty())
        GTEST_SKIP() << "needs Xvfb, openbox and xdotool";
    testsupport::TempFolder dir{"x11_owned_"};
    dir.folder("runtime");
    xtest::Xvfb xvfb;
    ASSERT_TRUE(xvfb.ok()) << "Xvfb did not start";
    xtest::Conn conn(xvfb.name());
    ASSERT_TRUE(conn.ok());
    conn.set_root_background(xtest::kDesktop);
    xtest::WindowManager wm(xvfb.name(), conn);
    ASSERT_TRUE(wm.ok()) << "openbox did not come up";

    const std::string log_path = dir.file("calls.log");
    std::vector<std::string> failures;
    auto fail = [&](std::string why) { failures.push_back(std::move(why)); };

    // What must hold before and after the click: the two windows are
    // transients of the main window, stacked above it, and show where they
    // overlap it.
    Placed main, image, text;
    plat::Rect over_image, over_text;
    auto find_all = [&] {
        main = find_placed(conn, "lifecycle_app");
        image = find_placed(conn, "over main");
        text = find_placed(conn, "TextWindow 1");
        return main.client && image.client && text.client;
    };
    auto owned_above = [&] {
        if (!find_all()) return false;
        plat::Surface screen = conn.grab();
        return image.stacking > main.stacking && text.stacking > main.stacking &&
               off_colour(screen, over_image, kImageGreen) == 0 && off_colour(screen, over_text, kTextBlack) == 0;
    };
    auto describe = [&](const char* when) {
        char buf[240];
        std::snprintf(buf, sizeof buf,
                      "%s: stacking main %d, image %d, text %d (main %s); off-colour pixels %ld and %ld", when,
                      main.stacking, image.stacking, text.stacking,
                      main.top == main.client ? "not reparented" : "in a frame",
                      off_colour(conn.grab(), over_image, kImageGreen), off_colour(conn.grab(), over_text, kTextBlack));
        return std::string(buf);
    };

    RunResult r = testsupport::run_program(
        LIFECYCLE_APP, {"--do", "idle; wait 30000"},
        {xvfb.env(), "MAV_TEST_OVER_MAIN=1", "MAV_TEST_LOG=" + log_path, "PLAT_RUNTIME_DIR=" + dir.file("runtime")},
        60, [&](pid_t pid) {
            auto logged = [&] { return logged_rect(testsupport::read_file(log_path), "text-client").width() > 0; };
            if (!xtest::wait_for(find_all, 10000) || !xtest::wait_for(logged, 5000)) {
                fail("the program's windows did not show");
            } else {
                const std::string log = testsupport::read_file(log_path);
                const plat::Rect main_rect = logged_rect(log, "main-window");
                over_image = inside(main_rect.intersected(logged_rect(log, "image-client")));
                over_text = inside(main_rect.intersected(logged_rect(log, "text-client")));
                if (over_image.is_empty() || over_text.is_empty()) fail("the windows do not overlap the main window");

                // Each owned window names the main window's X window as the one it belongs to.
                if (transient_for(conn, image.client) != main.client)
                    fail("the image window is not a transient of the main window");
                if (transient_for(conn, text.client) != main.client)
                    fail("the text window is not a transient of the main window");
                if (transient_for(conn, main.client) != 0) fail("the main window is a transient");

                if (!xtest::wait_for(owned_above, 5000)) fail(describe("as the program came up"));

                // A click on the middle of the main window, which the two windows leave clear.
                const plat::Point click{(main_rect.left + main_rect.right) / 2, main_rect.bottom - 8};
                const std::vector<std::string> args{"mousemove", std::to_string(click.x), std::to_string(click.y),
                                                    "click", "1"};
                RunResult t = xtest::tool(xvfb.name(), "xdotool", args);
                if (t.exit_code != 0) fail("xdotool failed: " + t.err);
                // The main window takes the keyboard; whatever restacking follows has settled soon after.
                if (!xtest::wait_for([&] { return conn.focus() == main.client; }, 5000))
                    fail("the click did not activate the main window");
                std::this_thread::sleep_for(std::chrono::milliseconds(500));
                if (!owned_above()) fail(describe("after the click"));
            }
            kill(pid, SIGTERM);
        });
    for (const std::string& f : failures) ADD_FAILURE() << f;
    EXPECT_FALSE(r.timed_out);
    EXPECT_EQ(r.exit_code, 0) << r.err;
    if (!failures.empty()) dir.keep();
}

// What the x11 tests share: an Xvfb server of the test's own, a connection
// of the test's own to it, a window manager, screen grabs and comparisons,
// and the X tools (xdotool, xclip) run against it.
#pragma once

// Platform headers first: Xlib's macros (None, Bool, ...) would rewrite them.
#include "plat/codecs/codecs.h"
#include "plat/base/geometry.h"
#include "plat/gfx/gfx.h"
#include "support/process.h"
#include "support/wait_until.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace xtest {

inline constexpr plat::Color kDesktop = 0x3A6EA5;  // the headless screen's desktop

inline double now_ms() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

// The tests' polling, every 10 ms unless told: the predicates here ask the X
// server, and the server and the programs answer in milliseconds.
template <typename Pred>
bool wait_for(Pred pred, int timeout_ms, int step_ms = 10) {
    return testsupport::wait_until(pred, timeout_ms, step_ms);
}

// The full path of a program on $PATH; empty when there is none.
inline std::string which(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t pos = 0;
    while (pos <= dirs.size()) {
        std::size_t end = dirs.find(':', pos);
        if (end == std::string::npos) end = dirs.size();
        std::string candidate = dirs.substr(pos, end - pos) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        pos = end + 1;
    }
    return {};
}

// Xvfb on a display number it chooses itself (-displayfd), so that tests
// running side by side never share one. It goes away with the test process.
// Ends a child process started by a test: SIGTERM, then SIGKILL if it has
// not gone within 3 s.
inline void stop_child(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    int status = 0;
    double end = now_ms() + 3000;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (now_ms() > end) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

class Xvfb {
public:
    explicit Xvfb(int width = 1920, int height = 1080) {
        std::string program = which("Xvfb");
        if (program.empty()) return;
        int fds[2];
        if (pipe(fds) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(fds[0]);
            int null_fd = open("/dev/null", O_RDWR);
            dup2(null_fd, 0);
            dup2(null_fd, 1);
            dup2(null_fd, 2);
            std::string fd = std::to_string(fds[1]);
            std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
            execl(program.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
                  "tcp", "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        double end = now_ms() + 15000;
        while (now_ms() < end) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            char c;
            ssize_t n = read(fds[0], &c, 1);
            if (n <= 0 || c == '\n') break;
            number += c;
        }
        close(fds[0]);
        if (!number.empty()) name_ = ":" + number;
    }
    ~Xvfb() {
        stop_child(pid_);
    }
    Xvfb(const Xvfb&) = delete;
    Xvfb& operator=(const Xvfb&) = delete;

    bool ok() const { return !name_.empty(); }
    const std::string& name() const { return name_; }
    std::string env() const { return "DISPLAY=" + name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};

// A connection of the test's own, to look at the screen as another program would.
class Conn {
public:
    explicit Conn(const std::string& display) {
        for (int i = 0; i < 100 && !d_; ++i) {
            d_ = XOpenDisplay(display.c_str());
            if (!d_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (d_) root_ = DefaultRootWindow(d_);
    }
    ~Conn() {
        if (d_) XCloseDisplay(d_);
    }
    Conn(const Conn&) = delete;
    Conn& operator=(const Conn&) = delete;

    bool ok() const { return d_ != nullptr; }
    Display* d() const { return d_; }
    Window root() const { return root_; }
    Atom atom(const char* name) const { return XInternAtom(d_, name, False); }

    plat::Size screen() const {
        int s = DefaultScreen(d_);
        return {DisplayWidth(d_, s), DisplayHeight(d_, s)};
    }

    void set_root_background(plat::Color c) {
        XSetWindowBackground(d_, root_, c);
        XClearWindow(d_, root_);
        XSync(d_, False);
    }

    // The screen as its pixels are now, 0x00RRGGBB.
    plat::Surface grab() const {
        plat::Size s = screen();
        plat::Surface out(s.width, s.height);
        XImage* img = XGetImage(d_, root_, 0, 0, unsigned(s.width), unsigned(s.height), AllPlanes, ZPixmap);
        if (!img) return out;
        bool fast = img->bits_per_pixel == 32 && img->byte_order == LSBFirst && img->red_mask == 0xFF0000 &&
                    img->green_mask == 0xFF00 && img->blue_mask == 0xFF;
        for (int y = 0; y < s.height; ++y) {
            std::uint32_t* row = out.row32(y);
            if (fast) {
                std::memcpy(row, img->data + std::size_t(y) * std::size_t(img->bytes_per_line),
                            std::size_t(s.width) * 4);
                for (int x = 0; x < s.width; ++x) row[x] &= 0xFFFFFF;
            } else {
                for (int x = 0; x < s.width; ++x) row[x] = std::uint32_t(XGetPixel(img, x, y)) & 0xFFFFFF;
            }
        }
        XDestroyImage(img);
        return out;
    }

    // Viewable windows that are children of the root, bottom to top.
    std::vector<Window> top_windows() const {
        Window r, parent;
        Window* kids = nullptr;
        unsigned n = 0;
        std::vector<Window> out;
        if (!XQueryTree(d_, root_, &r, &parent, &kids, &n)) return out;
        for (unsigned i = 0; i < n; ++i) {
            XWindowAttributes a;
            if (XGetWindowAttributes(d_, kids[i], &a) && a.map_state == IsViewable && a.c_class == InputOutput)
                out.push_back(kids[i]);
        }
        if (kids) XFree(kids);
        return out;
    }

    std::string utf8_property(Window w, const char* name) const {
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* data = nullptr;
        std::string out;
        if (XGetWindowProperty(d_, w, atom(name), 0, 1 << 20, False, AnyPropertyType, &type, &format, &items, &after,
                               &data) == Success &&
            data && format == 8)
            out.assign(reinterpret_cast<char*>(data), items);
        if (data) XFree(data);
        return out;
    }

    // The viewable top-level window whose _NET_WM_NAME is `title`; 0 if none.
    Window find_titled(const std::string& title) const {
        for (Window w : top_windows())
            if (utf8_property(w, "_NET_WM_NAME") == title) return w;
        return 0;
    }

    // The window titled `title` once it has shown and stopped moving for
    // `still_ms` (a main window drops in); 0 when that does not happen in time.
    Window settled_window(const std::string& title, plat::Rect& at, int timeout_ms = 10000,
                          int still_ms = 700) const {
        Window w = 0;
        plat::Rect last;
        double still_since = 0;
        bool ok = wait_for(
            [&] {
                if (!w) w = find_titled(title);
                if (!w) return false;
                at = geometry(w);
                if (at != last) {
                    last = at;
                    still_since = now_ms();
                }
                return now_ms() - still_since > still_ms;
            },
            timeout_ms, 20);
        return ok ? w : 0;
    }

    // The window that has the X keyboard focus (0 for none, 1 for PointerRoot).
    Window focus() const {
        Window w = 0;
        int revert = 0;
        XGetInputFocus(d_, &w, &revert);
        return w;
    }

    // Waits until the top-level window titled `title` has the keyboard focus:
    // keys sent with XTEST go wherever the focus is when they arrive.
    bool focus_becomes(const std::string& title, int timeout_ms = 5000) const {
        return wait_for(
            [&] {
                Window w = find_titled(title);
                return w && focus() == w;
            },
            timeout_ms, 10);
    }

    // The viewable window whose _NET_WM_NAME starts with `prefix`, inside a
    // window manager's frame or not (searched a few levels below the root); 0
    // if there is none.
    Window client_titled(const std::string& prefix) const {
        std::vector<Window> level = top_windows();
        for (int depth = 0; depth < 4 && !level.empty(); ++depth) {
            std::vector<Window> next;
            for (Window w : level) {
                if (utf8_property(w, "_NET_WM_NAME").rfind(prefix, 0) == 0) return w;
                Window root_back, parent;
                Window* kids = nullptr;
                unsigned n = 0;
                if (XQueryTree(d_, w, &root_back, &parent, &kids, &n)) next.insert(next.end(), kids, kids + n);
                if (kids) XFree(kids);
            }
            level = std::move(next);
        }
        return 0;
    }

    // Another program's window (this connection's), filled with `colour`:
    // managed by a window manager, placed at `at`, when it has a title, and
    // bypassing any otherwise. Mapped on top.
    Window make_window(plat::Rect at, plat::Color colour, const std::string& title = {}) {
        XSetWindowAttributes a{};
        a.background_pixel = colour;
        a.override_redirect = title.empty();
        Window w = XCreateWindow(d_, root_, at.left, at.top, unsigned(at.width()), unsigned(at.height()), 0,
                                 CopyFromParent, InputOutput, CopyFromParent, CWBackPixel | CWOverrideRedirect, &a);
        XSizeHints hints{};
        hints.flags = USPosition | USSize;
        XSetWMNormalHints(d_, w, &hints);
        XStoreName(d_, w, title.c_str());
        XMapRaised(d_, w);
        XSync(d_, False);
        return w;
    }

    plat::Rect geometry(Window w) const {
        XWindowAttributes a;
        if (!XGetWindowAttributes(d_, w, &a)) return {};
        int x = 0, y = 0;
        Window child;
        XTranslateCoordinates(d_, w, root_, 0, 0, &x, &y, &child);
        return plat::Rect::from_xywh(x, y, a.width, a.height);
    }

    bool override_redirect(Window w) const {
        XWindowAttributes a;
        return XGetWindowAttributes(d_, w, &a) && a.override_redirect;
    }

private:
    Display* d_ = nullptr;
    Window root_ = 0;
};

// A window manager (openbox) on the display, for tests of how our windows
// fare on a managed desktop. It goes away with the test process. ok() is
// false when it did not come up; installed() tells whether it could.
class WindowManager {
public:
    static bool installed() { return !which("openbox").empty(); }

    WindowManager(const std::string& display, const Conn& conn) {
        std::string program = which("openbox");
        if (program.empty()) return;
        pid_ = fork();
        if (pid_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            int null_fd = open("/dev/null", O_RDWR);
            dup2(null_fd, 0);
            dup2(null_fd, 1);
            dup2(null_fd, 2);
            setenv("DISPLAY", display.c_str(), 1);
            execl(program.c_str(), "openbox", "--sm-disable", static_cast<char*>(nullptr));
            _exit(127);
        }
        // Up once it names itself on the root window (EWMH).
        Atom check = conn.atom("_NET_SUPPORTING_WM_CHECK");
        ok_ = pid_ > 0 && wait_for(
                              [&] {
                                  Atom type;
                                  int format;
                                  unsigned long items, after;
                                  unsigned char* data = nullptr;
                                  bool named = XGetWindowProperty(conn.d(), conn.root(), check, 0, 1, False,
                                                                  XA_WINDOW, &type, &format, &items, &after,
                                                                  &data) == Success &&
                                               data && items == 1;
                                  if (data) XFree(data);
                                  return named;
                              },
                              10000, 20);
    }
    ~WindowManager() {
        stop_child(pid_);
    }
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;

    bool ok() const { return ok_; }

private:
    pid_t pid_ = -1;
    bool ok_ = false;
};

// Pixels that differ between two same-sized pictures, and the first of them.
struct Difference {
    long count = 0;
    plat::Point first{-1, -1};
    plat::Color want = 0;
    plat::Color got = 0;
};

inline Difference compare(const plat::Surface& want, const plat::Surface& got) {
    Difference d;
    if (want.size() != got.size()) {
        d.count = -1;
        return d;
    }
    for (int y = 0; y < want.height(); ++y)
        for (int x = 0; x < want.width(); ++x) {
            plat::Color a = want.pixel(x, y), b = got.pixel(x, y);
            if (a == b) continue;
            if (d.count++ == 0) {
                d.first = {x, y};
                d.want = a;
                d.got = b;
            }
        }
    return d;
}

inline std::string describe(const Difference& d) {
    if (d.count < 0) return "sizes differ";
    char buf[160];
    std::snprintf(buf, sizeof buf, "%ld pixels differ; first at (%d, %d): want %06X, got %06X", d.count, d.first.x,
                  d.first.y, d.want, d.got);
    return buf;
}

// Polls the X screen until it equals `want`. On failure the last grab is
// saved as `failure_png` (when given) and the difference described in `why`.
inline bool screen_becomes(const Conn& c, const plat::Surface& want, int timeout_ms, std::string& why,
                           const std::string& failure_png = {}) {
    plat::Surface last;
    Difference d;
    bool same = wait_for(
        [&] {
            last = c.grab();
            d = compare(want, last);
            return d.count == 0;
        },
        timeout_ms, 50);
    if (same) return true;
    why = describe(d);
    if (!failure_png.empty()) {
        plat::save_png(last, failure_png);
        why += " (X screen saved as " + failure_png + ")";
    }
    return false;
}

// Runs an X tool (xdotool, xclip, ...) on the display, to completion.
inline testsupport::RunResult tool(const std::string& display, const std::string& name,
                                   const std::vector<std::string>& args, double timeout_s = 20) {
    std::string program = which(name);
    if (program.empty()) {
        testsupport::RunResult r;
        r.err = name + " is not installed";
        return r;
    }
    return testsupport::run_program(program, args, {"DISPLAY=" + display}, timeout_s);
}

}  // namespace xtest

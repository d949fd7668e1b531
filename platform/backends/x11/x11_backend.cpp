// The x11 backend's display thread: its loop, the X windows of the core's
// top-level windows, and presentation of their pixels.
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "dialog_broker.h"
#include "x11_display.h"
#include "x11_errors.h"
#include "plat/base/clock.h"

#include <X11/XKBlib.h>
#include <X11/Xatom.h>

namespace plat::detail {

namespace {

// At most one present per window in this long: one frame of a 60 Hz
// display, less a little so that a program paced at 60 Hz never waits.
constexpr double kMinPresentIntervalMs = 15.0;
// A shared-memory put whose completion has not come in this long is given
// up on: the window must never stop presenting.
constexpr double kPutTimeoutMs = 250.0;

std::atomic<std::uint64_t> g_presents{0};
std::atomic<std::uint64_t> g_changes{0};
std::atomic<bool> g_shm{false};
std::atomic<std::uint64_t> g_incr_sent{0};
std::atomic<std::uint64_t> g_incr_received{0};
std::atomic<int> g_shm_windows{0};

int top_bit_shift(unsigned long mask, int& width) {
    if (!mask) {
        width = 0;
        return 0;
    }
    int shift = 0;
    while (!(mask & 1)) {
        mask >>= 1;
        ++shift;
    }
    width = 0;
    while (mask & 1) {
        mask >>= 1;
        ++width;
    }
    return shift;
}

}  // namespace

X11Stats x11_stats() {
    X11Stats s;
    s.presents = g_presents.load();
    s.changes = g_changes.load();
    s.shared_memory = g_shm.load();
    s.incr_sent = g_incr_sent.load();
    s.incr_received = g_incr_received.load();
    s.shm_windows = g_shm_windows.load();
    return s;
}

namespace x11 {
void count_incr(bool sent) { (sent ? g_incr_sent : g_incr_received).fetch_add(1, std::memory_order_relaxed); }
}  // namespace x11

std::unique_ptr<Backend> make_x11_backend(std::string& error) {
    XInitThreads();
    const char* name = std::getenv("DISPLAY");
    std::string shown = name ? name : "";
    Display* d = XOpenDisplay(nullptr);
    if (!d) {
        error = "cannot open display '" + shown + "'; run with --headless to go without one";
        return nullptr;
    }
    Visual* v = DefaultVisual(d, DefaultScreen(d));
    if (v->c_class != TrueColor) {
        XCloseDisplay(d);
        error = "display '" + shown + "' has no true-colour visual; run with --headless";
        return nullptr;
    }
    x11::install_error_handlers();
    auto b = std::make_unique<x11::X11Backend>(d);
    b->start();
    return b;
}

}  // namespace plat::detail

namespace plat::detail::x11 {

X11Backend::X11Backend(Display* display) : dpy_(display) {
    screen_num_ = DefaultScreen(dpy_);
    root_ = RootWindow(dpy_, screen_num_);
    visual_ = DefaultVisual(dpy_, screen_num_);
    depth_ = DefaultDepth(dpy_, screen_num_);
    colormap_ = DefaultColormap(dpy_, screen_num_);

    static const char* const kNames[] = {
        "CLIPBOARD", "TARGETS", "TIMESTAMP", "MULTIPLE", "INCR", "ATOM_PAIR",
        "UTF8_STRING", "text/plain;charset=utf-8", "TEXT", "image/png", "image/bmp",
        "_NET_WM_NAME", "_NET_WM_ICON_NAME", "_NET_WORKAREA", "_NET_CURRENT_DESKTOP", "_NET_WM_PID",
        "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NORMAL", "_NET_WM_WINDOW_TYPE_POPUP_MENU",
        "_MOTIF_WM_HINTS", "WM_PROTOCOLS", "WM_DELETE_WINDOW", "WM_TAKE_FOCUS",
        "XdndAware", "XdndEnter", "XdndPosition", "XdndStatus", "XdndLeave", "XdndDrop", "XdndFinished",
        "XdndSelection", "XdndTypeList", "XdndActionCopy", "text/uri-list",
        "_PLAT_CLIPBOARD", "_PLAT_DROP", "_PLAT_TIME",
    };
    constexpr int kCount = int(sizeof kNames / sizeof kNames[0]);
    static_assert(sizeof(Atoms) == kCount * sizeof(Atom), "one name per atom");
    std::array<Atom, kCount> got{};
    XInternAtoms(dpy_, const_cast<char**>(kNames), kCount, False, got.data());
    std::memcpy(&a_, got.data(), sizeof a_);

    // The utility window owns our selections and receives their data.
    XSetWindowAttributes ua{};
    ua.event_mask = PropertyChangeMask;
    ua.override_redirect = True;
    util_ = XCreateWindow(dpy_, root_, -10, -10, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent,
                          CWEventMask | CWOverrideRedirect, &ua);
    XSelectInput(dpy_, root_, PropertyChangeMask | StructureNotifyMask);
    gc_ = XCreateGC(dpy_, root_, 0, nullptr);

    int major = 0, minor = 0;
    Bool pixmaps = False;
    const char* no_shm = std::getenv("PLAT_X11_NO_SHM");
    shm_available_ = !(no_shm && *no_shm && *no_shm != '0') && XShmQueryVersion(dpy_, &major, &minor, &pixmaps);
    if (shm_available_) shm_completion_ = XShmGetEventBase(dpy_) + ShmCompletion;

    native_rgb_ = visual_->red_mask == 0xFF0000 && visual_->green_mask == 0xFF00 && visual_->blue_mask == 0xFF;
    shifts_[0] = top_bit_shift(visual_->red_mask, widths_[0]);
    shifts_[1] = top_bit_shift(visual_->green_mask, widths_[1]);
    shifts_[2] = top_bit_shift(visual_->blue_mask, widths_[2]);

    Bool detectable = False;
    XkbSetDetectableAutoRepeat(dpy_, True, &detectable);

    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0) host_name_ = host;

    read_screen();

    int fds[2];
    if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        wake_r_ = fds[0];
        wake_w_ = fds[1];
    }
    XFlush(dpy_);
}

X11Backend::~X11Backend() { shutdown(); }

void X11Backend::start() {
    g_shm = shm_available_;
    // The display thread takes no process signals: they belong to the
    // threads the program chose (SIGINT and SIGTERM end it through Exit).
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    thread_ = std::thread([this] { run(); });
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

// ---- what other threads call

Size X11Backend::screen_size() const {
    std::lock_guard lock(m_);
    return screen_;
}

Rect X11Backend::work_area() const {
    std::lock_guard lock(m_);
    return work_;
}

int X11Backend::screen_depth() const {
    // 24-bit colour is what the core's 32-bit surfaces show.
    return depth_ >= 24 ? 32 : depth_;
}

void X11Backend::wake_locked() {
    if (wake_pending_ || wake_w_ < 0) return;
    wake_pending_ = true;
    char c = 1;
    [[maybe_unused]] ssize_t n = write(wake_w_, &c, 1);
}

void X11Backend::window_changed(Hwnd h) {
    g_changes.fetch_add(1, std::memory_order_relaxed);
    std::lock_guard lock(m_);
    if (stop_) return;
    dirty_.insert(h.id);
    wake_locked();
}

void X11Backend::window_destroyed(Hwnd h) {
    std::lock_guard lock(m_);
    if (stop_) return;
    destroyed_.push_back(h.id);
    wake_locked();
}

std::optional<ModalAnswer> X11Backend::modal_opened(const DialogInfo& info) {
    // A person answers, unless a script or test queued an answer.
    return broker_modal_opened(info, true);
}

void X11Backend::shutdown() {
    {
        std::lock_guard lock(m_);
        if (stop_) return;
        stop_ = true;
        wake_locked();
    }
    reads_cv_.notify_all();
    if (thread_.joinable()) {
        if (thread_.get_id() == std::this_thread::get_id()) thread_.detach();
        else thread_.join();
    }
}

// ---- the display thread

void X11Backend::drain_wake() {
    char buf[64];
    while (wake_r_ >= 0 && read(wake_r_, buf, sizeof buf) > 0) {
    }
}

void X11Backend::run() {
    for (;;) {
        drain_wake();
        std::unordered_set<std::uint32_t> dirty;
        std::vector<std::uint32_t> destroyed;
        std::optional<ClipboardData> offer;
        bool stop = false;
        {
            std::lock_guard lock(m_);
            dirty.swap(dirty_);
            destroyed.swap(destroyed_);
            offer.swap(clip_offer_);
            for (auto& r : read_requests_) reads_.push_back(std::move(r));
            read_requests_.clear();
            wake_pending_ = false;
            stop = stop_;
        }
        if (stop) break;
        handle_events();
        check_focus_request();
        for (std::uint32_t id : destroyed) destroy_xwin(id);
        if (offer) publish_clipboard(*offer);
        start_next_read();
        const DisplaySnapshot snap = snapshot_for_display(dirty);
        sync_windows(snap.windows);
        sync_stacking(snap.z_order);
        sync_focus_and_grab(snap.active, snap.capture_top);
        undo_wm_moves();
        const int present_due = present_all();
        check_timeouts();
        XFlush(dpy_);
        if (XPending(dpy_) > 0) continue;
        pollfd fds[2] = {{ConnectionNumber(dpy_), POLLIN, 0}, {wake_r_, POLLIN, 0}};
        // A short period: the core's capture and activation are polled too.
        int n = poll(fds, wake_r_ >= 0 ? 2 : 1, present_due >= 0 ? std::min(present_due, 50) : 50);
        if (n < 0 && errno != EINTR) break;
    }
    fail_reads();
    close_display();
}

void X11Backend::handle_events() {
    // Only what has arrived: a flood of events must not starve presentation.
    int n = XEventsQueued(dpy_, QueuedAfterReading);
    for (int i = 0; i < n; ++i) {
        XEvent ev;
        XNextEvent(dpy_, &ev);
        handle_event(ev);
    }
    flush_motion();
}

XWin* X11Backend::by_xid(Window xid) {
    auto it = by_xid_.find(xid);
    if (it == by_xid_.end()) return nullptr;
    auto w = wins_.find(it->second);
    return w == wins_.end() ? nullptr : &w->second;
}

void X11Backend::handle_event(XEvent& ev) {
    if (ev.type == MotionNotify) {
        on_motion(ev.xmotion);
        return;
    }
    switch (ev.type) {
    case Expose:
        if (XWin* w = by_xid(ev.xexpose.window)) w->needs_present = w->mapped;
        break;
    case ButtonPress:
    case ButtonRelease:
        on_button(ev.xbutton, ev.type == ButtonPress);
        break;
    case KeyPress:
    case KeyRelease:
        on_key(ev.xkey, ev.type == KeyPress);
        break;
    case ConfigureNotify:
        if (ev.xconfigure.window == root_) {
            std::lock_guard lock(m_);
            screen_ = {ev.xconfigure.width, ev.xconfigure.height};
        } else if (XWin* w = by_xid(ev.xconfigure.window); w && ev.xconfigure.send_event) {
            // Only a window manager's synthetic event tells the root position.
            w->reported = Point{ev.xconfigure.x, ev.xconfigure.y};
        }
        break;
    case MapNotify:
        if (XWin* w = by_xid(ev.xmap.window)) {
            w->viewable = true;
            w->needs_present = w->mapped;
            if (w->id == focused_) focus_dirty_ = true;  // it can take the focus now
        }
        break;
    case UnmapNotify:
        if (XWin* w = by_xid(ev.xunmap.window)) w->viewable = false;
        break;
    case FocusIn:
    case FocusOut:
        on_focus_change(ev.xfocus);
        break;
    case ClientMessage:
        if (ev.xclient.message_type == a_.wm_protocols && Atom(ev.xclient.data.l[0]) == a_.wm_take_focus)
            on_take_focus(ev.xclient);
        else
            on_client_message(ev.xclient);
        break;
    case SelectionRequest:
        on_selection_request(ev.xselectionrequest);
        break;
    case SelectionNotify:
        on_selection_notify(ev.xselection);
        break;
    case SelectionClear:
        on_selection_clear(ev.xselectionclear);
        break;
    case PropertyNotify:
        on_property(ev.xproperty);
        break;
    case MappingNotify:
        XRefreshKeyboardMapping(&ev.xmapping);
        break;
    default:
        if (shm_completion_ >= 0 && ev.type == shm_completion_) {
            // The put with this serial is done; a completion of an earlier
            // put (one given up on) says nothing about a newer one.
            auto& c = reinterpret_cast<XShmCompletionEvent&>(ev);
            if (XWin* w = by_xid(c.drawable); w && c.serial >= w->put_serial) w->put_pending = false;
        }
        break;
    }
}

void X11Backend::read_screen() {
    Size s{DisplayWidth(dpy_, screen_num_), DisplayHeight(dpy_, screen_num_)};
    Rect work{0, 0, s.width, s.height};
    PropertyValue wa = read_property(root_, a_.net_workarea, false);
    PropertyValue cur = read_property(root_, a_.net_current_desktop, false);
    std::size_t n = wa.format == 32 ? wa.bytes.size() / sizeof(long) : 0;
    if (n >= 4) {
        std::size_t desktop = 0;
        if (cur.format == 32 && cur.bytes.size() >= sizeof(long)) {
            long d = 0;
            std::memcpy(&d, cur.bytes.data(), sizeof d);
            if (d >= 0 && std::size_t(d) * 4 + 4 <= n) desktop = std::size_t(d);
        }
        long v[4];
        std::memcpy(v, wa.bytes.data() + desktop * 4 * sizeof(long), sizeof v);
        Rect r = Rect::from_xywh(int(v[0]), int(v[1]), int(v[2]), int(v[3]));
        Rect inside = r.intersected({0, 0, s.width, s.height});
        if (!inside.is_empty() && inside.width() >= 320 && inside.height() >= 200) work = inside;
    }
    std::lock_guard lock(m_);
    screen_ = s;
    work_ = work;
}

// ---- windows

void X11Backend::sync_windows(const std::vector<WindowSnapshot>& snaps) {
    for (const WindowSnapshot& s : snaps) {
        if (!s.exists) {
            if (wins_.count(s.id)) destroy_xwin(s.id);
            continue;
        }
        bool want = s.visible && !s.rect.is_empty();
        auto it = wins_.find(s.id);
        XWin* w = it == wins_.end() ? nullptr : &it->second;
        if (!w) {
            if (!want) continue;
            w = create_xwin(s.id, s.rect, s.style);
            if (!w) continue;
        }
        if (s.rect != w->rect && !s.rect.is_empty()) {
            XMoveResizeWindow(dpy_, w->xid, s.rect.left, s.rect.top, unsigned(s.rect.width()),
                              unsigned(s.rect.height()));
            w->rect = s.rect;
            w->corrections = 0;
            w->reported.reset();
        }
        if (s.title != w->title) set_title(*w, s.title);
        w->has_children = s.has_children;
        // Before mapping: a window manager reads it when the window maps.
        w->owner = s.owner;
        sync_transient_for(*w);
        if (want && !w->mapped) {
            XMapWindow(dpy_, w->xid);
            w->mapped = true;
        } else if (!want && w->mapped) {
            XUnmapWindow(dpy_, w->xid);
            w->mapped = false;
        }
        w->needs_present = w->mapped;
    }
    // An owner whose X window came or went since its owned windows were synced.
    for (auto& [id, w] : wins_) sync_transient_for(w);
}

XWin* X11Backend::create_xwin(std::uint32_t id, const Rect& rect, std::uint32_t st) {
    bool managed = st & style::Caption;
    XSetWindowAttributes at{};
    at.background_pixmap = None;  // every pixel is ours: no flash of a background
    at.bit_gravity = NorthWestGravity;
    at.border_pixel = 0;
    at.colormap = colormap_;
    at.override_redirect = managed ? False : True;
    at.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask |
                    KeyReleaseMask | StructureNotifyMask | FocusChangeMask;
    Window xid = XCreateWindow(dpy_, root_, rect.left, rect.top, unsigned(rect.width()), unsigned(rect.height()),
                               0, depth_, InputOutput, visual_,
                               CWBackPixmap | CWBitGravity | CWBorderPixel | CWColormap | CWOverrideRedirect |
                                   CWEventMask,
                               &at);
    if (!xid) return nullptr;

    // Placement is ours: a window manager should neither place nor decorate.
    XSizeHints* sh = XAllocSizeHints();
    sh->flags = USPosition | PPosition | USSize | PSize;
    sh->x = rect.left;
    sh->y = rect.top;
    sh->width = rect.width();
    sh->height = rect.height();
    XSetWMNormalHints(dpy_, xid, sh);
    XFree(sh);
    XWMHints* wh = XAllocWMHints();
    wh->flags = InputHint | StateHint;
    wh->input = (st & style::NoActivate) ? False : True;
    wh->initial_state = NormalState;
    XSetWMHints(dpy_, xid, wh);
    XFree(wh);
    long motif[5] = {2 /* decorations field valid */, 0, 0 /* no decorations */, 0, 0};
    XChangeProperty(dpy_, xid, a_.motif_wm_hints, a_.motif_wm_hints, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(motif), 5);
    Atom type = (st & style::TopMost) && !managed ? a_.net_wm_window_type_popup_menu : a_.net_wm_window_type_normal;
    XChangeProperty(dpy_, xid, a_.net_wm_window_type, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&type), 1);
    // WM_TAKE_FOCUS: a window manager that activates the window asks us to
    // take the focus (windows that take no input ignore it).
    Atom protocols[] = {a_.wm_delete_window, a_.wm_take_focus};
    XSetWMProtocols(dpy_, xid, protocols, 2);
    long pid = long(getpid());
    XChangeProperty(dpy_, xid, a_.net_wm_pid, XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&pid), 1);
    XClassHint* ch = XAllocClassHint();
    std::string res_name = program_invocation_short_name ? program_invocation_short_name : "plat";
    ch->res_name = res_name.data();
    ch->res_class = const_cast<char*>("Plat");
    XSetClassHint(dpy_, xid, ch);
    XFree(ch);
    long version = 5;
    XChangeProperty(dpy_, xid, a_.xdnd_aware, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&version), 1);

    XWin& w = wins_[id];
    w.xid = xid;
    w.id = id;
    w.rect = rect;
    w.override_redirect = !managed;
    w.takes_focus = managed && !(st & style::NoActivate);
    by_xid_[xid] = id;
    stack_.push_back(id);  // a new window starts on top of its siblings
    return &w;
}

void X11Backend::destroy_xwin(std::uint32_t id) {
    auto it = wins_.find(id);
    if (it == wins_.end()) return;
    XWin& w = it->second;
    release_image(w);
    if (grab_xid_ == w.xid) {
        XUngrabPointer(dpy_, CurrentTime);
        grab_xid_ = 0;
    }
    XDestroyWindow(dpy_, w.xid);
    by_xid_.erase(w.xid);
    stack_.erase(std::remove(stack_.begin(), stack_.end(), id), stack_.end());
    wins_.erase(it);
}

void X11Backend::set_title(XWin& w, const std::string& title) {
    w.title = title;
    // WM_NAME in Latin-1 for old window managers, _NET_WM_NAME in UTF-8.
    std::string latin1;
    for (char32_t c : utf8_to_utf32(title)) latin1 += c <= 0xFF ? char(c) : '?';
    auto bytes = [](const std::string& s) {
        return reinterpret_cast<unsigned char*>(const_cast<char*>(s.data()));
    };
    XChangeProperty(dpy_, w.xid, XA_WM_NAME, XA_STRING, 8, PropModeReplace, bytes(latin1), int(latin1.size()));
    XChangeProperty(dpy_, w.xid, XA_WM_ICON_NAME, XA_STRING, 8, PropModeReplace, bytes(latin1),
                    int(latin1.size()));
    XChangeProperty(dpy_, w.xid, a_.net_wm_name, a_.utf8_string, 8, PropModeReplace, bytes(title),
                    int(title.size()));
    XChangeProperty(dpy_, w.xid, a_.net_wm_icon_name, a_.utf8_string, 8, PropModeReplace, bytes(title),
                    int(title.size()));
}

// An owned window is a transient of its owner's X window, so that a window
// manager keeps it above the owner and groups the two (one taskbar entry).
void X11Backend::sync_transient_for(XWin& w) {
    Window want = 0;
    if (auto it = wins_.find(w.owner); w.owner && it != wins_.end()) want = it->second.xid;
    if (want == w.transient_for) return;
    if (want)
        XSetTransientForHint(dpy_, w.xid, want);
    else
        XDeleteProperty(dpy_, w.xid, XA_WM_TRANSIENT_FOR);
    w.transient_for = want;
}

void X11Backend::sync_stacking(const std::vector<std::uint32_t>& z_order) {
    std::vector<std::uint32_t> want;
    for (std::uint32_t id : z_order)
        if (wins_.count(id)) want.push_back(id);
    // Windows the core no longer orders (being destroyed) keep their place.
    std::vector<std::uint32_t> have;
    for (std::uint32_t id : stack_)
        if (std::find(want.begin(), want.end(), id) != want.end()) have.push_back(id);
    if (have == want) return;
    std::size_t first = 0;
    while (first < want.size() && first < have.size() && want[first] == have[first]) ++first;
    // Raising from the first difference upwards gives the core's order, with
    // or without a window manager in between.
    for (std::size_t i = first; i < want.size(); ++i) XRaiseWindow(dpy_, wins_[want[i]].xid);
    std::vector<std::uint32_t> rest;
    for (std::uint32_t id : stack_)
        if (std::find(want.begin(), want.end(), id) == want.end()) rest.push_back(id);
    rest.insert(rest.end(), want.begin(), want.end());
    stack_ = std::move(rest);
}

void X11Backend::undo_wm_moves() {
    for (auto& [id, w] : wins_) {
        if (!w.reported || *w.reported == w.rect.top_left()) continue;
        w.reported.reset();
        if (w.corrections >= 3) continue;  // the window manager insists
        ++w.corrections;
        XMoveWindow(dpy_, w.xid, w.rect.left, w.rect.top);
    }
}

// ---- presentation

// A window changed again soon after its last present waits for the rest of
// a display frame: no screen shows more, and every present makes the
// program's next drawing wait for the copy.
int X11Backend::present_all() {
    const double now = monotonic_ms();
    double due = -1;
    for (auto& [id, w] : wins_) {
        if (w.put_pending && !settle_put(w, now)) continue;
        if (!w.needs_present || !w.mapped) continue;
        const double wait = w.last_present_ms + kMinPresentIntervalMs - now;
        if (wait > 0) {
            due = due < 0 ? wait : std::min(due, wait);
            continue;
        }
        present(w);
        w.last_present_ms = now;
    }
    // A put still pending is looked at again when its time is up.
    for (auto& [id, w] : wins_) {
        if (!w.put_pending) continue;
        const double wait = std::max(1.0, w.put_sent_ms + kPutTimeoutMs - now);
        due = due < 0 ? wait : std::min(due, wait);
    }
    return due < 0 ? -1 : int(std::ceil(due));
}

// A shared-memory put whose completion has not come: it failed (the window
// then drops shared memory), or it is given up on after a while. Either way
// the window goes on presenting. True when the put is settled.
bool X11Backend::settle_put(XWin& w, double now) {
    bool failed = error_of(dpy_, w.put_serial) != 0;
    if (!failed && now - w.put_sent_ms < kPutTimeoutMs) return false;
    if (!failed) {
        // After a round trip the server is done with the segment, whatever
        // became of the completion event.
        XSync(dpy_, False);
        failed = error_of(dpy_, w.put_serial) != 0;
    }
    w.put_pending = false;
    if (failed) {
        // This window presents with plain requests from now on, and shows
        // again the picture the failed put should have shown.
        release_image(w);
        w.shm_refused = true;
        w.needs_present = w.mapped;
    }
    return true;
}

void X11Backend::present(XWin& w) {
    Size size = w.rect.size();
    if (!ensure_image(w, size)) return;
    if (!with_window_pixels(w.id, w.has_children, [&](const Surface& pixels) { copy_pixels(w, pixels); })) return;
    w.needs_present = false;
    if (w.shm_attached) {
        w.put_serial = NextRequest(dpy_);
        w.put_sent_ms = monotonic_ms();
        w.put_pending = true;
        XShmPutImage(dpy_, w.xid, gc_, w.image, 0, 0, 0, 0, unsigned(size.width), unsigned(size.height), True);
    } else {
        XPutImage(dpy_, w.xid, gc_, w.image, 0, 0, 0, 0, unsigned(size.width), unsigned(size.height));
    }
    g_presents.fetch_add(1, std::memory_order_relaxed);
}

bool X11Backend::ensure_image(XWin& w, Size size) {
    if (size.is_empty()) return false;
    if (w.image && w.image->width == size.width && w.image->height == size.height) return true;
    release_image(w);
    // A remote display or no shared memory to be had: this window uses plain
    // requests, the others keep what they have.
    if (shm_available_ && !w.shm_refused) {
        if (attach_shared_image(w, size)) return true;
        w.shm_refused = true;
    }
    XImage* img = XCreateImage(dpy_, visual_, unsigned(depth_), ZPixmap, 0, nullptr, unsigned(size.width),
                               unsigned(size.height), 32, 0);
    if (!img) return false;
    w.pixels.assign((std::size_t(img->bytes_per_line) * std::size_t(size.height) + 3) / 4, 0);
    img->data = reinterpret_cast<char*>(w.pixels.data());
    w.image = img;
    return true;
}

bool X11Backend::attach_shared_image(XWin& w, Size size) {
    XImage* img = XShmCreateImage(dpy_, visual_, unsigned(depth_), ZPixmap, nullptr, &w.shm, unsigned(size.width),
                                  unsigned(size.height));
    if (!img) return false;
    std::size_t bytes = std::size_t(img->bytes_per_line) * std::size_t(size.height);
    w.shm.shmid = shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600);
    void* addr = w.shm.shmid >= 0 ? shmat(w.shm.shmid, nullptr, 0) : reinterpret_cast<void*>(-1);
    if (addr == reinterpret_cast<void*>(-1)) {
        if (w.shm.shmid >= 0) shmctl(w.shm.shmid, IPC_RMID, nullptr);
        img->data = nullptr;
        XDestroyImage(img);
        w.shm = {};
        return false;
    }
    w.shm.shmaddr = img->data = static_cast<char*>(addr);
    w.shm.readOnly = False;
    // Only an error of the attach itself counts; errors of other requests
    // that the round trip brings in belong to those.
    const unsigned long serial = NextRequest(dpy_);
    XShmAttach(dpy_, &w.shm);
    XSync(dpy_, False);
    shmctl(w.shm.shmid, IPC_RMID, nullptr);  // freed once both sides detach
    if (error_of(dpy_, serial) != 0) {
        shmdt(addr);
        img->data = nullptr;
        XDestroyImage(img);
        w.shm = {};
        return false;
    }
    w.image = img;
    w.shm_attached = true;
    g_shm_windows.fetch_add(1, std::memory_order_relaxed);
    return true;
}

void X11Backend::release_image(XWin& w) {
    if (!w.image) return;
    if (w.put_pending) {
        XSync(dpy_, False);  // the server is done with the segment after this
        w.put_pending = false;
    }
    if (w.shm_attached) {
        XShmDetach(dpy_, &w.shm);
        XSync(dpy_, False);
        shmdt(w.shm.shmaddr);
        w.shm_attached = false;
        w.shm = {};
        g_shm_windows.fetch_sub(1, std::memory_order_relaxed);
    }
    w.image->data = nullptr;  // ours, not Xlib's to free
    XDestroyImage(w.image);
    w.image = nullptr;
    w.pixels.clear();
    w.pixels.shrink_to_fit();
}

void X11Backend::copy_pixels(XWin& w, const Surface& s) {
    XImage* img = w.image;
    if (s.format() != PixelFormat::Rgb32) return;
    int rows = std::min(img->height, s.height());
    int cols = std::min(img->width, s.width());
    bool fast = native_rgb_ && img->bits_per_pixel == 32 &&
                img->byte_order == (std::endian::native == std::endian::little ? LSBFirst : MSBFirst);
    for (int y = 0; y < rows; ++y) {
        const std::uint32_t* src = s.row32(y);
        if (fast) {
            std::memcpy(img->data + std::size_t(y) * std::size_t(img->bytes_per_line), src, std::size_t(cols) * 4);
            continue;
        }
        for (int x = 0; x < cols; ++x) {
            Color c = src[x];
            unsigned long pixel = 0;
            int channel[3] = {red_of(c), green_of(c), blue_of(c)};
            for (int i = 0; i < 3; ++i) {
                if (widths_[i] <= 0) continue;
                auto ch = static_cast<unsigned long>(channel[i]);
                unsigned long v = widths_[i] >= 8 ? ch << (widths_[i] - 8) : ch >> (8 - widths_[i]);
                pixel |= v << shifts_[i];
            }
            XPutPixel(img, x, y, pixel);
        }
    }
}

void X11Backend::close_display() {
    std::vector<std::uint32_t> ids;
    for (auto& [id, w] : wins_) ids.push_back(id);
    for (std::uint32_t id : ids) destroy_xwin(id);
    if (gc_) XFreeGC(dpy_, gc_);
    gc_ = nullptr;
    XDestroyWindow(dpy_, util_);
    forget_errors(dpy_);
    XCloseDisplay(dpy_);
    dpy_ = nullptr;
}

}  // namespace plat::detail::x11

// Inside the x11 backend: the display thread's state. Only the files of
// backends/x11 include this.
//
// Threads: every member below "display thread only" is used by the display
// thread alone (and by the constructor before it starts). The members under
// `m_` are what other threads hand to it; they never call Xlib. The display
// thread never holds `m_` while it calls into the core, so the core's locks
// and `m_` never nest the wrong way round (the core may call screen_size()
// or work_area() with the registry locked).
#pragma once

#include <array>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Platform headers before Xlib's, whose macros (None, Bool, ...) would
// otherwise rewrite names in them. Files that include this one include any
// other platform header before it.
#include "backend_interface.h"
#include "x11_backend.h"
#include "plat/base/clock.h"
#include "plat/codecs/codecs.h"
#include "plat/base/codepage.h"
#include "plat/gfx/gfx.h"
#include "plat/core/input.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

namespace plat::detail::x11 {

// Counts INCR transfers for x11_stats().
void count_incr(bool sent);

struct Atoms {
    Atom clipboard, targets, timestamp, multiple, incr, atom_pair;
    Atom utf8_string, text_plain_utf8, text, image_png, image_bmp;
    Atom net_wm_name, net_wm_icon_name, net_workarea, net_current_desktop, net_wm_pid;
    Atom net_wm_window_type, net_wm_window_type_normal, net_wm_window_type_popup_menu;
    Atom motif_wm_hints, wm_protocols, wm_delete_window, wm_take_focus;
    Atom xdnd_aware, xdnd_enter, xdnd_position, xdnd_status, xdnd_leave, xdnd_drop, xdnd_finished;
    Atom xdnd_selection, xdnd_type_list, xdnd_action_copy, uri_list;
    Atom plat_clip, plat_dnd, plat_time;  // properties on our utility window
};

// The X window shown for one top-level window of the core.
struct XWin {
    Window xid = 0;
    std::uint32_t id = 0;
    Rect rect;
    std::string title;
    bool override_redirect = false;
    bool takes_focus = false;   // managed and not NoActivate
    bool mapped = false;    // asked to be mapped
    bool viewable = false;  // mapped as the server says (MapNotify): it can take the focus
    bool has_children = false;  // composed through capture_window_pixels
    std::uint32_t owner = 0;    // the core's owner window, 0 for none
    Window transient_for = 0;   // WM_TRANSIENT_FOR as set on the X window
    // A window manager's move, undone a few times at most per placement.
    std::optional<Point> reported;
    int corrections = 0;
    // Presentation.
    XImage* image = nullptr;
    XShmSegmentInfo shm{};
    bool shm_attached = false;
    bool shm_refused = false;  // an attach or a put failed: plain requests for this window
    bool put_pending = false;  // XShmPutImage sent, completion not yet seen
    unsigned long put_serial = 0;
    double put_sent_ms = 0;    // monotonic
    bool needs_present = false;
    double last_present_ms = -1e9;  // monotonic
    std::vector<std::uint32_t> pixels;  // the image's data without shared memory
};

// A property as read from the server. Format-32 items are longs in memory.
struct PropertyValue {
    Atom type = None;
    int format = 0;
    std::vector<std::uint8_t> bytes;
};

// Reading a selection: the conversion request and its reply, INCR included.
struct Fetch {
    using Done = std::function<void(bool ok, PropertyValue value)>;
    Atom selection = None;
    Atom target = None;
    Atom property = None;
    bool active = false;
    bool incr = false;
    PropertyValue value;
    double deadline = 0;
    Done done;
};

// A large selection value sent piece by piece (INCR).
struct Outgoing {
    Window requestor = 0;
    Atom property = None;
    Atom type = None;
    std::shared_ptr<const std::vector<std::uint8_t>> data;
    std::size_t offset = 0;
    double deadline = 0;
};

// A program thread waiting for the desktop's clipboard.
struct ClipRead {
    bool done = false;
    std::optional<ClipboardData> result;
};

struct DndState {
    Window source = 0;
    Window target = 0;
    int version = 0;
    bool offers_uris = false;
    bool accepted = false;
    Point pos;
};

class X11Backend final : public Backend {
public:
    explicit X11Backend(Display* display);
    ~X11Backend() override;

    bool headless() const override { return false; }
    Size screen_size() const override;
    Rect work_area() const override;
    int screen_depth() const override;
    void window_changed(Hwnd h) override;
    void window_destroyed(Hwnd h) override;
    std::optional<ModalAnswer> modal_opened(const DialogInfo& info) override;
    void clipboard_changed(const ClipboardData& data) override;
    std::optional<ClipboardData> external_clipboard() override;
    void shutdown() override;

    void start();

private:
    // ---- x11_backend.cpp: the loop, windows and presentation
    void run();
    void wake_locked();
    void drain_wake();
    void handle_events();
    void handle_event(XEvent& ev);
    void sync_windows(const std::vector<WindowSnapshot>& snaps);
    XWin* create_xwin(std::uint32_t id, const Rect& rect, std::uint32_t style);
    void destroy_xwin(std::uint32_t id);
    void set_title(XWin& w, const std::string& title);
    void sync_transient_for(XWin& w);
    void sync_stacking(const std::vector<std::uint32_t>& z_order);
    void undo_wm_moves();
    int present_all();  // ms until a held-back present is due, or -1
    bool settle_put(XWin& w, double now);
    void present(XWin& w);
    bool ensure_image(XWin& w, Size size);
    bool attach_shared_image(XWin& w, Size size);
    void release_image(XWin& w);
    void copy_pixels(XWin& w, const Surface& s);
    void read_screen();
    void close_display();
    XWin* by_xid(Window xid);

    // ---- x11_focus.cpp: the keyboard focus both ways, and the pointer grab
    void sync_focus_and_grab(std::uint32_t active, std::uint32_t capture);
    void on_focus_change(const XFocusChangeEvent& e);
    void on_take_focus(const XClientMessageEvent& e);
    void follow_desktop_focus();
    void check_focus_request();

    // ---- x11_input.cpp: raw input to the core
    void on_button(const XButtonEvent& e, bool down);
    void on_motion(const XMotionEvent& e);
    void on_key(XKeyEvent& e, bool down);
    void flush_motion();
    void sync_modifiers(unsigned state);
    void sync_buttons(unsigned state, Point p);
    void move_to(Point p);

    // ---- x11_selection.cpp: clipboard and XDND
    void on_client_message(const XClientMessageEvent& e);
    void on_selection_request(const XSelectionRequestEvent& e);
    void on_selection_notify(const XSelectionEvent& e);
    void on_selection_clear(const XSelectionClearEvent& e);
    void on_property(const XPropertyEvent& e);
    void publish_clipboard(const ClipboardData& data);
    void start_next_read();
    void finish_read(std::optional<ClipboardData> result);
    void read_clipboard_text(std::vector<Atom> targets);
    void read_clipboard_image(std::vector<Atom> targets);
    std::shared_ptr<const std::vector<std::uint8_t>> value_for(Atom target, Atom& type);
    void send_value(Window requestor, Atom property, Atom type,
                    std::shared_ptr<const std::vector<std::uint8_t>> data);
    void start_fetch(Fetch& f, Atom selection, Atom target, Atom property, Time time, Fetch::Done done);
    void complete_fetch(Fetch& f, bool ok);
    void check_timeouts();
    PropertyValue read_property(Window w, Atom property, bool remove);
    Time server_time();
    void xdnd_enter(const XClientMessageEvent& e);
    void xdnd_position(const XClientMessageEvent& e);
    void xdnd_drop(const XClientMessageEvent& e);
    void xdnd_send(Window to, Atom type, long l0, long l1, long l2, long l3, long l4);
    void fail_reads();

    // ---- shared with other threads, under m_
    mutable std::mutex m_;
    std::condition_variable reads_cv_;
    std::unordered_set<std::uint32_t> dirty_;
    std::vector<std::uint32_t> destroyed_;
    std::optional<ClipboardData> clip_offer_;
    std::deque<std::shared_ptr<ClipRead>> read_requests_;
    bool owns_clipboard_ = false;
    bool wake_pending_ = false;
    bool stop_ = false;
    Size screen_;
    Rect work_;
    int wake_r_ = -1;
    int wake_w_ = -1;
    std::thread thread_;

    // ---- display thread only
    Display* dpy_;
    int screen_num_ = 0;
    Window root_ = 0;
    Window util_ = 0;
    Visual* visual_ = nullptr;
    int depth_ = 24;
    Colormap colormap_ = 0;
    GC gc_ = nullptr;
    Atoms a_{};
    bool shm_available_ = false;  // the server offers MIT-SHM and it is not turned off
    int shm_completion_ = -1;
    // 0x00RRGGBB words as they are: rows copy with memcpy.
    bool native_rgb_ = false;
    std::array<int, 3> shifts_{};  // red, green, blue: where their top bit goes
    std::array<int, 3> widths_{};
    std::unordered_map<std::uint32_t, XWin> wins_;
    std::unordered_map<Window, std::uint32_t> by_xid_;
    std::vector<std::uint32_t> stack_;  // our X windows as X stacks them, bottom to top
    std::uint32_t focused_ = 0;           // the core's active window as last given the X focus
    bool focus_dirty_ = false;            // give it the focus again (it has become viewable)
    unsigned long focus_request_ = 0;     // serial of our last XSetInputFocus, 0 once settled
    Window grab_xid_ = 0;
    std::string host_name_;

    // Input.
    std::optional<XMotionEvent> pending_motion_;
    std::optional<Point> last_pos_;
    std::array<bool, 3> held_{};
    std::array<int, 256> pressed_{};  // key code sent for each X keycode held

    // Clipboard.
    ClipboardData published_;
    Time own_time_ = CurrentTime;
    std::shared_ptr<const std::vector<std::uint8_t>> png_cache_;
    std::shared_ptr<const std::vector<std::uint8_t>> bmp_cache_;
    std::deque<std::shared_ptr<ClipRead>> reads_;
    std::shared_ptr<ClipRead> reading_;
    ClipboardData read_data_;
    Fetch clip_fetch_;
    std::vector<Outgoing> outgoing_;

    // XDND.
    DndState dnd_;
    Fetch dnd_fetch_;
};

}  // namespace plat::detail::x11

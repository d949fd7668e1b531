// Windows, window classes and per-thread message queues.
//
// A window belongs to the thread that created it: its messages go to that
// thread's queue, and its procedure runs there. Posting works from any thread
// and never blocks. Top-level windows have frames of our own (caption with
// title and close box, sizing border, menu bar) that the core draws and
// hit-tests, and whose move and size loops it runs.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plat/base/geometry.h"
#include "plat/gfx/gfx.h"
#include "plat/gfx/theme.h"
#include "plat/core/menu.h"
#include "plat/core/messages.h"

namespace plat {

// Returns true when it handled the message; otherwise the default handling runs.
using WindowProc = std::function<bool(Message&)>;

struct WindowClass {
    std::string name;
    WindowProc proc;
    Color background = theme::kFace;
    bool paint_background = true;  // false: the procedure paints everything
    bool double_clicks = false;
};

// False when the name is taken or empty.
bool register_class(const WindowClass& cls);
bool unregister_class(std::string_view name);
bool class_registered(std::string_view name);

namespace style {
inline constexpr std::uint32_t Caption = 1u << 0;        // caption bar with title
inline constexpr std::uint32_t CloseBox = 1u << 1;       // close box in the caption
inline constexpr std::uint32_t SizingBorder = 1u << 2;   // user may resize by the border
inline constexpr std::uint32_t ThinBorder = 1u << 3;     // one-pixel border
inline constexpr std::uint32_t Child = 1u << 4;          // lives in the parent's client area
inline constexpr std::uint32_t Visible = 1u << 5;
inline constexpr std::uint32_t TopMost = 1u << 6;        // stays above ordinary windows
inline constexpr std::uint32_t NoActivate = 1u << 7;     // clicks do not activate it
inline constexpr std::uint32_t MouseTransparent = 1u << 8;  // clicks fall through to the parent
inline constexpr std::uint32_t Overlapped = Caption | CloseBox | SizingBorder;
}  // namespace style

inline constexpr int kDefaultPos = INT_MIN;  // x or y: let the platform place the window

struct CreateParams {
    std::string class_name;
    std::string title;           // UTF-8
    std::uint32_t style = style::Overlapped;
    Rect rect;                   // screen (top-level) or parent client (child); kDefaultPos allowed in left/top
    Hwnd parent;                 // for children
    Hwnd owner;                  // for top-level windows: see below
    int control_id = 0;
    std::intptr_t user_data = 0;
    MenuPtr menu;                // menu bar of a top-level window, there from creation on
};

// Creates the window on the calling thread, which becomes its owner. Sends
// Create before returning; an empty handle means it failed.
//
// A top-level window may also have an owner window (of any thread; a child
// given stands for its top-level window): it stays above its owner, and an
// owner with its owned windows moves in the z-order as one group, so raising
// or clicking the owner brings the owned windows up with it, above it, and
// raising an owned window brings its owner up below it. Creation fails when
// the owner given is not a window.
Hwnd create_window(const CreateParams& params);
// Sends Destroy to the window and its children, after destroying the windows
// it owns that belong to the same thread. Owned windows of other threads
// lose their owner instead and stay. Called from a thread other than the
// window's, the destruction is carried out by that thread's queue.
void destroy_window(Hwnd window);
bool is_window(Hwnd window);
bool is_visible(Hwnd window);
bool owned_by_current_thread(Hwnd window);

Rect window_rect(Hwnd window);       // screen coordinates; children too
Rect client_rect(Hwnd window);       // (0, 0, width, height) of the client area
Point client_origin(Hwnd window);    // screen position of client (0, 0)
// Window rectangle that gives the client rectangle `client` for a frame of `style`.
Rect adjust_window_rect(Rect client, std::uint32_t style, bool has_menu_bar);

// Moves and sizes the window (screen coordinates for top-level windows,
// parent client coordinates for children). Sends Move and/or Size when the
// position or size changes.
void set_window_rect(Hwnd window, Rect rect);
void move_window(Hwnd window, Point top_left);
void show_window(Hwnd window, bool visible);

void set_window_text(Hwnd window, std::string_view utf8);
std::string window_text(Hwnd window);
std::string class_name(Hwnd window);
std::uint32_t window_style(Hwnd window);
Hwnd parent_of(Hwnd window);
Hwnd owner_of(Hwnd window);  // empty for no owner
int control_id(Hwnd window);
Hwnd child_by_id(Hwnd parent, int id);
std::intptr_t user_data(Hwnd window);
void set_user_data(Hwnd window, std::intptr_t value);
void set_window_proc(Hwnd window, WindowProc proc);

// Top-level windows, bottom to top.
std::vector<Hwnd> top_level_windows();
std::vector<Hwnd> children_of(Hwnd window);
Hwnd find_window(std::string_view class_name, std::string_view title = {});
// Topmost visible window under a screen point, descending into children
// that take the mouse.
Hwnd window_at(Point screen);
Hit hit_test(Hwnd window, Point screen);

// Raises the window to the top and activates it (focus follows).
void set_foreground(Hwnd window);
Hwnd active_window();
void set_focus(Hwnd window);
Hwnd focus_window();
void set_capture(Hwnd window);
void release_capture();
Hwnd capture_window();

void enable_file_drops(Hwnd window, bool enabled);
bool accepts_file_drops(Hwnd window);

// Marks part of the client area (or all of it) for repainting; the owner's
// queue produces Paint when it has nothing else.
void invalidate(Hwnd window, std::optional<Rect> client_part = std::nullopt);
// Paints now if anything is invalid (owner thread only).
void update_window(Hwnd window);

// A drawing context on a window's client area for drawing outside Paint.
// Holds the window's surface lock while it lives; tells the backend the
// window changed when it ends.
class WindowDc {
public:
    explicit WindowDc(Hwnd window);
    ~WindowDc();
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    bool valid() const { return dc_.has_value(); }
    Dc& dc() { return *dc_; }
    Dc* operator->() { return &*dc_; }

private:
    std::shared_ptr<void> hold_;  // the window's state, whose surface lock is held
    std::optional<Dc> dc_;
    Hwnd window_;
};

// Pixels of a window as shown (frame and children included).
Surface capture_window_pixels(Hwnd window);

// ---- Message queues ----------------------------------------------------

// Posts to the window's owner queue; false when the window is gone.
bool post_message(Message msg);
// Posts a message to the calling thread's own queue with no window.
void post_thread_message(Message msg);
void post_quit_message(int exit_code);

// Waits for the next message; false when it is Quit.
bool get_message(Message& out);
// Like get_message but gives up after `timeout_ms`; returns false then
// (out.kind stays None) or on Quit.
bool get_message_timeout(Message& out, int timeout_ms);
// Takes the next message if there is one.
bool peek_message(Message& out);
// Produces Char messages from key presses of printable keys.
void translate_message(const Message& msg);
// Runs the window's procedure, then the default handling unless handled.
void dispatch_message(Message& msg);
// Default handling of a message (close destroys, frame clicks run the move
// and size loops, ...). Procedures may call it themselves.
void default_handling(Message& msg);

// Calls the window's procedure directly on the calling thread and returns
// the message's result (like a synchronous send).
long send_message(Message msg);

// Key state as last seen by the input router.
bool is_key_down(int key);

// Blocks the calling thread until its queue has something or `timeout_ms` passes.
void wait_for_messages(int timeout_ms);

// True when every thread's queue is empty, no window waits for painting and
// every thread is waiting for messages or between two dispatches (or polled
// its empty queue within the last 30 ms): nothing is left to happen unless
// new input comes.
bool message_queues_at_rest();

}  // namespace plat

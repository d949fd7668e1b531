// The window registry (windows, classes, z-order, focus) and the per-thread
// message queues. Only the core includes this.
//
// Locking: the registry mutex guards the tables and every WindowData field
// except the surface, which has its own (recursive) lock because window
// procedures draw while they run. Code holding the registry lock never takes a
// surface lock, and no lock is held while a procedure runs.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "plat/core/menu.h"
#include "plat/core/window.h"

namespace plat::detail {

struct ThreadQueue {
    std::mutex m;
    std::condition_variable cv;
    std::deque<Message> messages;
    std::thread::id thread;
    bool quit_posted = false;
    int quit_code = 0;
    // For idle detection: how deep in dispatch the thread is, whether it is
    // blocked waiting for messages, and when it last found its queue empty.
    std::atomic<int> dispatch_depth{0};
    std::atomic<bool> waiting{false};
    std::atomic<double> last_empty_poll_ms{0.0};
};

struct WindowData {
    std::uint32_t id = 0;
    std::weak_ptr<ThreadQueue> queue;
    std::thread::id owner;
    std::string class_name;
    WindowProc proc;
    Color background = 0;
    bool paint_background = true;
    bool double_clicks = false;
    std::uint32_t style = 0;
    Rect rect;  // screen for top-level windows, parent client for children
    std::uint32_t parent = 0;
    std::uint32_t owner_window = 0;  // top-level windows: the window it stays above
    int control_id = 0;
    std::intptr_t user_data = 0;
    std::string title;
    MenuPtr menu;
    bool accepts_drops = false;
    Rect invalid;  // client coordinates
    bool destroying = false;
    int hot_menu_item = -1;

    std::recursive_mutex surface_mutex;
    Surface surface;  // the whole window, decoration included
    // A thread drawing back to back would take the surface again the moment
    // it lets go, and a backend waiting to present it would rarely get in:
    // a waiting presenter makes new drawing wait until it has had its turn.
    std::atomic<int> presenters_waiting{0};
    std::atomic<std::thread::id> drawing_thread{};  // holder of the outermost WindowDc
    int drawing_depth = 0;                           // WindowDcs held, under surface_mutex
};

// The surface of a window for a backend to present: drawing that comes for
// it meanwhile waits until the presenter holds it.
class SurfaceForPresenting {
public:
    explicit SurfaceForPresenting(WindowData& w) : w_(w) {
        w.presenters_waiting.fetch_add(1);
        w.surface_mutex.lock();
        w.presenters_waiting.fetch_sub(1);
    }
    ~SurfaceForPresenting() { w_.surface_mutex.unlock(); }
    SurfaceForPresenting(const SurfaceForPresenting&) = delete;
    SurfaceForPresenting& operator=(const SurfaceForPresenting&) = delete;

private:
    WindowData& w_;
};

// Lets a waiting presenter go first, for a bounded time (a presenter can
// only be waiting on a thread that already holds the surface another way).
void yield_to_presenter(WindowData& w);

using WindowPtr = std::shared_ptr<WindowData>;

struct Registry {
    std::mutex m;
    std::unordered_map<std::uint32_t, WindowPtr> windows;
    std::vector<std::uint32_t> zorder;  // top-level windows, bottom to top
    std::unordered_map<std::string, WindowClass> classes;
    std::uint32_t next_id = 1;
    std::uint32_t active = 0;
    std::uint32_t focus = 0;
    std::uint32_t capture = 0;
    int cascade = 0;
    std::vector<std::weak_ptr<ThreadQueue>> queues;
};

Registry& registry();

WindowPtr find_window_data(Hwnd h);
// The calling thread's queue, created on first use.
std::shared_ptr<ThreadQueue> current_queue();
std::vector<std::shared_ptr<ThreadQueue>> live_queues();

// Screen rectangle of a window (children resolved through their parents);
// registry lock held by the caller.
Rect screen_rect_locked(const WindowData& w);
bool visible_locked(const WindowData& w);
std::uint32_t top_level_of_locked(std::uint32_t id);

// Redraws the decoration of a top-level window into its surface.
void redraw_decoration(Hwnd h);
// Reallocates the surface after a size change, redraws the decoration and
// invalidates the client area.
void resize_surface(Hwnd h);

// True while any window of `queue` waits for painting.
bool has_pending_paint(const ThreadQueue& queue);

// Runs the default handling of clicks on the decoration (move, size, close box, menu bar).
void run_decoration_click(Message& msg);

// Raises within the z-order (keeping topmost windows above) together with
// its owner and everything they own, the window on top of that group and
// owned windows always above their owners; lock held.
void raise_locked(std::uint32_t id);

// Tells the backend the window's pixels or placement changed.
void notify_changed(Hwnd h);

}  // namespace plat::detail

namespace plat::detail {
// Param of a User message that asks the owner thread to destroy the window.
inline constexpr std::intptr_t kDestroyRequest = -0x7FFF0001;
}  // namespace plat::detail

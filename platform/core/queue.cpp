// Per-thread message queues: posting, getting, translating and dispatching,
// and the Paint messages a queue makes when it has nothing else.
#include <algorithm>

#include "backend_interface.h"
#include "decoration.h"
#include "registry.h"
#include "plat/base/clock.h"
#include "plat/core/keys.h"

namespace plat {
namespace detail {

namespace {

// Holds the thread's queue for the thread's life; the registry keeps weak
// references for idle detection.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
};
thread_local QueueHolder t_queue;

}  // namespace

std::shared_ptr<ThreadQueue> current_queue() {
    if (!t_queue.queue) {
        t_queue.queue = std::make_shared<ThreadQueue>();
        t_queue.queue->thread = std::this_thread::get_id();
        t_queue.queue->last_empty_poll_ms = monotonic_ms();
        auto& r = registry();
        std::lock_guard lock(r.m);
        auto& qs = r.queues;
        qs.erase(std::remove_if(qs.begin(), qs.end(), [](auto& w) { return w.expired(); }), qs.end());
        qs.push_back(t_queue.queue);
    }
    return t_queue.queue;
}

std::vector<std::shared_ptr<ThreadQueue>> live_queues() {
    auto& r = registry();
    std::lock_guard lock(r.m);
    std::vector<std::shared_ptr<ThreadQueue>> out;
    for (auto& w : r.queues)
        if (auto q = w.lock()) out.push_back(q);
    return out;
}

namespace {

// The window of `queue` that waits longest for painting, as a Paint message.
bool take_paint(const std::shared_ptr<ThreadQueue>& queue, Message& out) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    std::uint32_t best = 0;
    for (auto& [id, w] : r.windows) {
        if (w->destroying || w->invalid.is_empty() || w->queue.lock() != queue) continue;
        if (!visible_locked(*w)) continue;
        if (!best || id < best) best = id;
    }
    if (!best) return false;
    WindowData& w = *r.windows[best];
    DecorationLayout f = decoration_layout(w.style, w.menu != nullptr, w.rect.size());
    Rect client{0, 0, f.client.width(), f.client.height()};
    Rect part = w.invalid.intersected(client);
    w.invalid = {};
    if (part.is_empty()) return false;
    out = Message{};
    out.window = Hwnd{best};
    out.kind = MsgKind::Paint;
    out.rect = part;
    return true;
}

bool pop_locked(ThreadQueue& q, Message& out) {
    if (q.messages.empty()) return false;
    out = std::move(q.messages.front());
    q.messages.pop_front();
    return true;
}

// One attempt: a posted message, then a Paint, then Quit.
bool try_take_once(const std::shared_ptr<ThreadQueue>& q, Message& out) {
    {
        std::lock_guard lock(q->m);
        if (pop_locked(*q, out)) return true;
    }
    if (take_paint(q, out)) return true;
    std::lock_guard lock(q->m);
    if (q->quit_posted) {
        q->quit_posted = false;
        out = Message{};
        out.kind = MsgKind::Quit;
        out.param = q->quit_code;
        return true;
    }
    return false;
}

bool try_take(const std::shared_ptr<ThreadQueue>& q, Message& out) {
    if (!try_take_once(q, out)) return false;
    // A thread that has just taken work is busy with it, not resting: only an
    // empty poll after this one may count for idle detection again.
    q->last_empty_poll_ms = -1e9;
    return true;
}

void wake(ThreadQueue& q) { q.cv.notify_all(); }

}  // namespace

bool has_pending_paint(const ThreadQueue& queue) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    for (auto& [id, w] : r.windows) {
        if (w->destroying || w->invalid.is_empty() || w->queue.lock().get() != &queue) continue;
        if (visible_locked(*w)) return true;
    }
    return false;
}

}  // namespace detail

using namespace detail;

bool message_queues_at_rest() {
    // A thread that polls its empty queue now and then is resting between polls.
    constexpr double kPollingRestMs = 30.0;
    const double now = monotonic_ms();
    for (auto& q : live_queues()) {
        {
            std::lock_guard lock(q->m);
            if (!q->messages.empty()) return false;
        }
        if (has_pending_paint(*q)) return false;
        const bool resting = q->waiting || q->dispatch_depth == 0 || now - q->last_empty_poll_ms < kPollingRestMs;
        if (!resting) return false;
    }
    return true;
}

bool post_message(Message msg) {
    auto w = find_window_data(msg.window);
    if (!w) return false;
    auto q = w->queue.lock();
    if (!q) return false;
    {
        std::lock_guard lock(q->m);
        q->messages.push_back(std::move(msg));
    }
    wake(*q);
    return true;
}

void post_thread_message(Message msg) {
    auto q = current_queue();
    {
        std::lock_guard lock(q->m);
        q->messages.push_back(std::move(msg));
    }
    wake(*q);
}

void post_quit_message(int exit_code) {
    auto q = current_queue();
    {
        std::lock_guard lock(q->m);
        q->quit_posted = true;
        q->quit_code = exit_code;
    }
    wake(*q);
}

bool get_message_timeout(Message& out, int timeout_ms) {
    auto q = current_queue();
    double deadline = timeout_ms < 0 ? -1.0 : monotonic_ms() + timeout_ms;
    for (;;) {
        if (try_take(q, out)) return out.kind != MsgKind::Quit;
        q->last_empty_poll_ms = monotonic_ms();
        std::unique_lock lock(q->m);
        if (!q->messages.empty() || q->quit_posted) continue;
        q->waiting = true;
        // Paint requests do not signal the condition, so wake regularly.
        int slice = 10;
        if (deadline >= 0) {
            double left = deadline - monotonic_ms();
            if (left <= 0) {
                q->waiting = false;
                out = Message{};
                return false;
            }
            slice = std::min(slice, int(left) + 1);
        }
        q->cv.wait_for(lock, std::chrono::milliseconds(slice));
        q->waiting = false;
    }
}

bool get_message(Message& out) { return get_message_timeout(out, -1); }

bool peek_message(Message& out) {
    auto q = current_queue();
    if (try_take(q, out)) {
        if (out.kind == MsgKind::Quit) {
            // Peeking never consumes Quit: leave it for the loop that ends on it.
            std::lock_guard lock(q->m);
            q->quit_posted = true;
        }
        return true;
    }
    q->last_empty_poll_ms = monotonic_ms();
    return false;
}

void wait_for_messages(int timeout_ms) {
    auto q = current_queue();
    std::unique_lock lock(q->m);
    if (!q->messages.empty() || q->quit_posted) return;
    q->waiting = true;
    q->cv.wait_for(lock, std::chrono::milliseconds(std::max(0, timeout_ms)));
    q->waiting = false;
}

void translate_message(const Message& msg) {
    if (msg.kind != MsgKind::KeyDown || msg.ctrl) return;
    char32_t ch = 0;
    int k = msg.key;
    if (k >= 'A' && k <= 'Z')
        ch = msg.shift ? char32_t(k) : char32_t(k - 'A' + 'a');
    else if (k >= '0' && k <= '9')
        ch = char32_t(k);
    else if (k == key::Space || k == key::Enter || k == key::Backspace || k == key::Tab ||
             k == key::Escape)
        ch = char32_t(k);
    if (!ch) return;
    Message c;
    c.window = msg.window;
    c.kind = MsgKind::Char;
    c.ch = ch;
    c.ctrl = msg.ctrl;
    c.shift = msg.shift;
    // The character is the next message, ahead of anything posted since the
    // key went down, so that keys and typed text keep their order.
    auto w = find_window_data(msg.window);
    auto q = w ? w->queue.lock() : nullptr;
    if (!q) return;
    {
        std::lock_guard lock(q->m);
        q->messages.push_front(std::move(c));
    }
    wake(*q);
}

namespace {

void run_paint(Message& msg, const WindowPtr& w) {
    Rect part = msg.rect;
    {
        std::lock_guard slock(w->surface_mutex);
        Rect client_in_window;
        Color bg;
        bool fill;
        {
            auto& r = registry();
            std::lock_guard lock(r.m);
            DecorationLayout f = decoration_layout(w->style, w->menu != nullptr, w->rect.size());
            client_in_window = f.client;
            bg = w->background;
            fill = w->paint_background;
        }
        Rect clip = part.translated(client_in_window.left, client_in_window.top)
                        .intersected(client_in_window)
                        .intersected(w->surface.rect());
        Dc dc(w->surface, client_in_window.top_left(), clip);
        if (fill) dc.fill_rect(part, bg);
        msg.dc = &dc;
        WindowProc proc = w->proc;
        if (proc) proc(msg);
        msg.dc = nullptr;
    }
    notify_changed(msg.window);
}

}  // namespace

void dispatch_message(Message& msg) {
    auto q = current_queue();
    q->dispatch_depth++;
    struct Leave {
        ThreadQueue& q;
        ~Leave() { q.dispatch_depth--; }
    } leave{*q};
    if (msg.kind == MsgKind::User && msg.param == kDestroyRequest) {
        destroy_window(msg.window);
        return;
    }
    auto w = find_window_data(msg.window);
    if (!w) return;
    if (msg.kind == MsgKind::Paint) {
        run_paint(msg, w);
        return;
    }
    WindowProc proc;
    {
        auto& r = registry();
        std::lock_guard lock(r.m);
        proc = w->proc;
    }
    if (proc && proc(msg)) return;
    default_handling(msg);
}

long send_message(Message msg) {
    dispatch_message(msg);
    return msg.result;
}

void default_handling(Message& msg) {
    switch (msg.kind) {
    case MsgKind::Close:
        destroy_window(msg.window);
        break;
    case MsgKind::NcLButtonDown:
        run_decoration_click(msg);
        break;
    default:
        break;
    }
}

void invalidate(Hwnd h, std::optional<Rect> part) {
    auto& r = registry();
    std::shared_ptr<ThreadQueue> q;
    {
        std::lock_guard lock(r.m);
        auto it = r.windows.find(h.id);
        if (it == r.windows.end()) return;
        WindowData& w = *it->second;
        Rect add = part ? *part : Rect{0, 0, 1 << 20, 1 << 20};
        if (add.is_empty()) return;
        w.invalid = w.invalid.united(add);
        q = w.queue.lock();
        // Children show through their parent's repaint.
        for (auto& [cid, c] : r.windows)
            if (c->parent == h.id && !part) c->invalid = Rect{0, 0, 1 << 20, 1 << 20};
    }
    if (q) wake(*q);
}

void update_window(Hwnd h) {
    auto w = find_window_data(h);
    if (!w || w->owner != std::this_thread::get_id()) return;
    Message m;
    {
        auto& r = registry();
        std::lock_guard lock(r.m);
        if (w->invalid.is_empty()) return;
        DecorationLayout f = decoration_layout(w->style, w->menu != nullptr, w->rect.size());
        m.rect = w->invalid.intersected({0, 0, f.client.width(), f.client.height()});
        w->invalid = {};
    }
    if (m.rect.is_empty()) return;
    m.window = h;
    m.kind = MsgKind::Paint;
    dispatch_message(m);
}

// Longer than a presenter needs to copy a large window, short enough that a
// DC taken while the same thread holds the surface another way goes on.
constexpr double kPresenterTurnMs = 20.0;

void detail::yield_to_presenter(WindowData& w) {
    if (w.presenters_waiting.load() == 0) return;
    if (w.drawing_thread.load() == std::this_thread::get_id()) return;  // a DC inside a DC
    const double give_up = monotonic_ms() + kPresenterTurnMs;
    while (w.presenters_waiting.load() > 0 && monotonic_ms() < give_up) std::this_thread::yield();
}

WindowDc::WindowDc(Hwnd h) : window_(h) {
    auto w = find_window_data(h);
    if (!w) return;
    yield_to_presenter(*w);
    w->surface_mutex.lock();
    if (w->drawing_depth++ == 0) w->drawing_thread = std::this_thread::get_id();
    hold_ = w;
    Rect client;
    {
        auto& r = registry();
        std::lock_guard lock(r.m);
        client = decoration_layout(w->style, w->menu != nullptr, w->rect.size()).client;
    }
    dc_.emplace(w->surface, client.top_left(), client.intersected(w->surface.rect()));
}

WindowDc::~WindowDc() {
    if (!hold_) return;
    dc_.reset();
    auto w = std::static_pointer_cast<WindowData>(hold_);
    if (--w->drawing_depth == 0) w->drawing_thread = std::thread::id{};
    w->surface_mutex.unlock();
    hold_.reset();
    notify_changed(window_);
}

}  // namespace plat

// The driver: scripted input, idle detection, screen capture and dialog answers.
#include <atomic>
#include "plat/driver.h"

#include <cstdio>
#include <deque>
#include <mutex>

#include "backends/headless/headless_backend.h"
#include "core/state.h"
#include "plat/clock.h"
#include "plat/codepage.h"
#include "plat/keys.h"
#include "plat/metrics.h"
#include "plat/window.h"

namespace plat {

namespace {

struct Broker {
    std::mutex m;
    driver::DialogMode mode = driver::DialogMode::AutoAnswer;
    std::deque<driver::DialogAnswer> answers;
    std::vector<driver::ShownDialog> shown;
};

Broker& broker() {
    static Broker* b = new Broker;
    return *b;
}

constexpr Color kDesktop = 0x3A6EA5;

}  // namespace

namespace detail {

std::optional<driver::DialogAnswer> broker_modal_opened(const DialogInfo& info, bool may_wait) {
    auto& b = broker();
    std::lock_guard lock(b.m);
    b.shown.push_back({info.caption, info.text});
    if (!b.answers.empty()) {
        driver::DialogAnswer a = b.answers.front();
        b.answers.pop_front();
        return a;
    }
    if (may_wait || b.mode == driver::DialogMode::WaitForInput) return std::nullopt;
    // Nobody will answer: say what it showed and take the default answer.
    std::fprintf(stderr, "%s: %s\n", info.caption.c_str(), info.text.c_str());
    std::fflush(stderr);
    driver::DialogAnswer a;
    a.cancel = info.kind != "message";
    return a;
}

}  // namespace detail

namespace driver {

void move_mouse(Point p) { inject_mouse_move(p); }

void press_button(Point p, MouseButton b) {
    inject_mouse_move(p);
    inject_mouse_button(b, true, p);
}

void release_button(Point p, MouseButton b) {
    inject_mouse_move(p);
    inject_mouse_button(b, false, p);
}

void click(Point p, MouseButton b) {
    press_button(p, b);
    release_button(p, b);
}

void hold_key(int k) { inject_key(k, true); }
void release_key(int k) { inject_key(k, false); }

void press_key(int k, bool ctrl, bool shift) {
    if (ctrl) inject_key(key::Control, true);
    if (shift) inject_key(key::Shift, true);
    inject_key(k, true);
    inject_key(k, false);
    if (shift) inject_key(key::Shift, false);
    if (ctrl) inject_key(key::Control, false);
}

void type_text(std::string_view utf8) {
    for (char32_t c : utf8_to_utf32(utf8)) {
        if (c == U'\n') press_key(key::Enter);
        else inject_char(c);
    }
}

bool drop_files(Point p, std::vector<std::string> files) { return inject_drop_files(p, std::move(files)); }

namespace {

std::atomic<bool (*)()> g_busy_check{nullptr};

bool all_queues_idle() {
    if (auto busy = g_busy_check.load(); busy && busy()) return false;
    double now = monotonic_ms();
    for (auto& q : detail::live_queues()) {
        {
            std::lock_guard lock(q->m);
            if (!q->messages.empty()) return false;
        }
        if (detail::has_pending_paint(*q)) return false;
        bool resting = q->waiting || q->dispatch_depth == 0 || now - q->last_empty_poll_ms < 30.0;
        if (!resting) return false;
    }
    return true;
}

}  // namespace

void set_busy_check(bool (*busy)()) { g_busy_check = busy; }

bool wait_idle(int timeout_ms) {
    double deadline = monotonic_ms() + timeout_ms;
    int calm = 0;
    while (monotonic_ms() < deadline) {
        calm = all_queues_idle() ? calm + 1 : 0;
        if (calm >= 3) return true;
        sleep_ms(5);
    }
    return false;
}

Surface capture_window(Hwnd h) { return capture_window_pixels(h); }

Surface capture_screen() {
    Size s = screen_size();
    Surface out(s.width, s.height);
    out.fill(kDesktop);
    Dc dc(out);
    for (Hwnd h : top_level_windows()) {
        if (!is_visible(h)) continue;
        Surface pix = capture_window_pixels(h);
        Rect r = window_rect(h);
        dc.blit(r.top_left(), pix, pix.rect());
    }
    return out;
}

void set_dialog_mode(DialogMode mode) {
    auto& b = broker();
    std::lock_guard lock(b.m);
    b.mode = mode;
}

void queue_dialog_answer(DialogAnswer answer) {
    auto& b = broker();
    std::lock_guard lock(b.m);
    b.answers.push_back(std::move(answer));
}

bool wait_dialog_answers_taken(int timeout_ms) {
    double deadline = monotonic_ms() + timeout_ms;
    for (;;) {
        {
            auto& b = broker();
            std::lock_guard lock(b.m);
            if (b.answers.empty()) return true;
        }
        if (monotonic_ms() >= deadline) return false;
        sleep_ms(5);
    }
}

std::vector<ShownDialog> shown_dialogs() {
    auto& b = broker();
    std::lock_guard lock(b.m);
    return b.shown;
}

void clear_shown_dialogs() {
    auto& b = broker();
    std::lock_guard lock(b.m);
    b.shown.clear();
}

}  // namespace driver
}  // namespace plat

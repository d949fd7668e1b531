// Small helpers for headless UI tests: a thread-safe record of the messages a
// window saw, polling with a deadline, and finding frame parts by hit-testing.
#pragma once

#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include <string>

#include <gtest/gtest.h>

#include "plat/driver/driver.h"
#include "plat/gfx/gfx.h"
#include "plat/platform.h"
#include "plat/core/window.h"
#include "support/wait_until.h"

namespace testsupport {

// Messages of chosen kinds, appended on the window's thread and read on the
// test thread.
class Recorder {
public:
    explicit Recorder(std::vector<plat::MsgKind> kinds) : kinds_(std::move(kinds)) {}

    void add(const plat::Message& m) {
        for (plat::MsgKind k : kinds_)
            if (k == m.kind) {
                std::lock_guard lock(mu_);
                seen_.push_back(m);
                seen_.back().dc = nullptr;
                return;
            }
    }
    std::vector<plat::Message> all() {
        std::lock_guard lock(mu_);
        return seen_;
    }
    std::vector<plat::Message> of(plat::MsgKind kind) {
        std::lock_guard lock(mu_);
        std::vector<plat::Message> out;
        for (const auto& m : seen_)
            if (m.kind == kind) out.push_back(m);
        return out;
    }
    void clear() {
        std::lock_guard lock(mu_);
        seen_.clear();
    }

private:
    std::mutex mu_;
    std::vector<plat::MsgKind> kinds_;
    std::vector<plat::Message> seen_;
};

// Some screen point on `part` of a top-level window, found by hit-testing so
// that tests do not depend on the frame's exact layout. The middle-most such
// point along the part is returned; (-1, -1) when there is none.
inline plat::Point point_on(plat::Hwnd h, plat::Hit part) {
    plat::Rect r = plat::window_rect(h);
    std::vector<plat::Point> hits;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (plat::hit_test(h, {x, y}) == part) hits.push_back({x, y});
    if (hits.empty()) return {-1, -1};
    return hits[hits.size() / 2];
}

// A headless screen of another size for one test; the default one is back
// when it ends.
struct ScreenOfSize {
    explicit ScreenOfSize(plat::Size s) {
        std::string error;
        EXPECT_TRUE(plat::init_platform({true, s}, error)) << error;
    }
    ~ScreenOfSize() {
        std::string error;
        plat::init_platform({true, {1920, 1080}}, error);
        plat::shutdown_platform();
    }
};

// The pixels of `part` (a control, a child) as the screen shows them in its
// top-level window `window`, once everything has settled.
inline plat::Surface shown_pixels(plat::Hwnd window, plat::Hwnd part) {
    plat::driver::wait_idle();
    plat::Surface whole = plat::driver::capture_window(window);
    plat::Rect wr = plat::window_rect(window);
    plat::Rect r = plat::window_rect(part);
    plat::Surface out(r.width(), r.height());
    plat::Dc(out).blit({0, 0}, whole, r.translated(-wr.left, -wr.top));
    return out;
}

}  // namespace testsupport

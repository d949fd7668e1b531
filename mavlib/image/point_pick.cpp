// The point pick and the paste placement: one session that owns the status
// line, the main window's drops and the pick flags, and the inverted
// feedback, drawn with the XOR operations so that drawing it again erases it.
#include "image/point_pick.h"

#include <algorithm>
#include <cmath>

#include "image/image_table.h"
#include "mavlib.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "runtime/pump.h"
#include "runtime/status_line.h"

namespace mav {

namespace {

// What is inverted on the image now; toggling it again restores the pixels.
struct Feedback {
    enum Kind { None, Row, Column, Line, Box, Circle, Placement } kind = None;
    int a = 0, b = 0, c = 0, d = 0;
};

void toggle(const Feedback& f, const ImageRecord& r) {
    switch (f.kind) {
    case Feedback::None: break;
    case Feedback::Row: MAV_XorLine(0, f.b, r.width - 1, f.b); break;
    case Feedback::Column: MAV_XorLine(f.a, 0, f.a, r.height - 1); break;
    case Feedback::Line: MAV_XorLine(f.a, f.b, f.c, f.d); break;
    case Feedback::Box: MAV_XorBox(f.a, f.b, f.c, f.d); break;
    case Feedback::Circle: MAV_XorCircle(f.a, f.b, f.c); break;
    case Feedback::Placement: {
        // The picture's outline and, when it is large enough, its two
        // diagonals inset by one pixel.
        int right = f.a + f.c - 1, bottom = f.b + f.d - 1;
        MAV_XorBox(f.a, f.b, right, bottom);
        if (f.c >= 9 && f.d >= 9) {
            MAV_XorLine(f.a + 1, f.b + 1, right - 1, bottom - 1);
            MAV_XorLine(right - 1, f.b + 1, f.a + 1, bottom - 1);
        }
        break;
    }
    }
}

int rounded_distance(int dx, int dy) {
    // Never exactly half way: the square root of an integer is an integer or irrational.
    return int(std::floor(std::sqrt(double(dx) * dx + double(dy) * dy) + 0.5));
}

void set_main_drops(bool on) {
    plat::Hwnd mw = main_window();
    if (mw) plat::enable_file_drops(mw, on);
}

enum class Event { Moved, Clicked, Cancelled, Stopped, Gone };

// One pick from start to end: the prompt, the flags, the feedback and the
// user thread's messages pumped meanwhile.
class PickSession {
public:
    PickSession(int index, const char* prompt) : index_(index) {
        FrameState& f = frame();
        PointPick& pick = point_pick();
        show_status(prompt);
        set_main_drops(false);
        MAV_SelectImage(index);
        pick.clicked = 0;
        pick.moved = 0;
        pick.cancelled = 0;
        f.stop_flag = 0;
        pick.image = index;
        pick.active = 1;
        f.pick_active = 1;
        if (pick.hover_image.load() == index) {
            x_ = pick.move_x.load();
            y_ = pick.move_y.load();
        }
    }

    ~PickSession() {
        erase();
        FrameState& f = frame();
        PointPick& pick = point_pick();
        show_depth_status();
        pick.active = 0;
        pick.image = -1;
        f.pick_active = 0;
        if (!f.running.load()) set_main_drops(true);
    }

    PickSession(const PickSession&) = delete;
    PickSession& operator=(const PickSession&) = delete;

    // The mouse's latest position over the image, in image pixels.
    int x() const { return x_; }
    int y() const { return y_; }

    // Waits for the next thing that moves the pick on. Messages are taken
    // one at a time, so that each click is seen before the next one comes
    // (the window records only the latest).
    Event next() {
        FrameState& f = frame();
        PointPick& pick = point_pick();
        for (;;) {
            bool more = pump_one_message() == PumpOne::Handled;
            if (f.quit_state.load() != kQuitRunning || !record_in_use(index_)) return Event::Gone;
            if (f.stop_flag.load()) return Event::Stopped;
            if (pick.clicked.exchange(0)) {
                x_ = pick.click_x.load();
                y_ = pick.click_y.load();
                return Event::Clicked;
            }
            if (pick.cancelled.exchange(0)) return Event::Cancelled;
            if (pick.moved.exchange(0)) {
                x_ = pick.move_x.load();
                y_ = pick.move_y.load();
                return Event::Moved;
            }
            if (!more) plat::wait_for_messages(1);
        }
    }

    // Replaces the feedback (None erases it) and repaints.
    void show(Feedback fb) {
        ImageRecord* r = record_in_use(index_);
        if (!r) return;
        toggle(shown_, *r);
        shown_ = fb;
        toggle(shown_, *r);
        plat::invalidate(r->hwnd);
    }
    void erase() {
        if (shown_.kind != Feedback::None) show({});
    }

    void prompt(const char* text) { show_status(text); }

private:
    int index_;
    int x_ = 0, y_ = 0;
    Feedback shown_;
};

Feedback one_click_feedback(PickForm form, int x, int y) {
    switch (form) {
    case PickForm::Row: return {Feedback::Row, x, y, 0, 0};
    case PickForm::Column: return {Feedback::Column, x, y, 0, 0};
    default: return {};
    }
}

Feedback two_click_feedback(PickForm form, int x1, int y1, int x2, int y2) {
    switch (form) {
    case PickForm::Line: return {Feedback::Line, x1, y1, x2, y2};
    case PickForm::Box: return {Feedback::Box, x1, y1, x2, y2};
    case PickForm::Circle: return {Feedback::Circle, x1, y1, rounded_distance(x2 - x1, y2 - y1), 0};
    default: return {};
    }
}

void two_click_result(PickForm form, int x1, int y1, int x2, int y2, PickResult& out) {
    switch (form) {
    case PickForm::Box:
        out.v[0] = std::min(x1, x2);
        out.v[1] = std::min(y1, y2);
        out.v[2] = std::max(x1, x2);
        out.v[3] = std::max(y1, y2);
        break;
    case PickForm::Circle:
        out.v[0] = x1;
        out.v[1] = y1;
        out.v[2] = rounded_distance(x2 - x1, y2 - y1);
        out.v[3] = 0;
        break;
    default:
        out.v[0] = x1;
        out.v[1] = y1;
        out.v[2] = x2;
        out.v[3] = y2;
        break;
    }
}

int pick_one_click(PickForm form, int index, PickResult& out) {
    PickSession s(index, "Click a point");
    s.show(one_click_feedback(form, s.x(), s.y()));
    for (;;) {
        switch (s.next()) {
        case Event::Moved: s.show(one_click_feedback(form, s.x(), s.y())); break;
        case Event::Clicked:
            out.v[0] = s.x();
            out.v[1] = s.y();
            return kPicked;
        case Event::Stopped: return kPicked;  // nothing picked: zeros
        case Event::Cancelled:
        case Event::Gone: return kPickCancelled;
        }
    }
}

int pick_two_clicks(PickForm form, int index, PickResult& out) {
    PickSession s(index, "Click the first point");
    bool first = false;
    int x1 = 0, y1 = 0;
    for (;;) {
        switch (s.next()) {
        case Event::Moved:
            if (first) s.show(two_click_feedback(form, x1, y1, s.x(), s.y()));
            break;
        case Event::Clicked:
            if (!first) {
                first = true;
                x1 = s.x();
                y1 = s.y();
                s.show(two_click_feedback(form, x1, y1, x1, y1));
                s.prompt("Click the second point");
                break;
            }
            two_click_result(form, x1, y1, s.x(), s.y(), out);
            return kPicked;
        case Event::Cancelled:
            if (!first) return kPickCancelled;
            first = false;
            s.erase();
            s.prompt("Click the first point");
            break;
        case Event::Stopped:
            // What was picked so far; the rest stays 0.
            if (first) {
                out.v[0] = x1;
                out.v[1] = y1;
            }
            return kPicked;
        case Event::Gone: return kPickCancelled;
        }
    }
}

}  // namespace

int pick_points(PickForm form, int index, PickResult& out) {
    out = {};
    if (!record_in_use(index)) return kPickNoImage;
    switch (form) {
    case PickForm::Point:
    case PickForm::Row:
    case PickForm::Column: return pick_one_click(form, index, out);
    case PickForm::Line:
    case PickForm::Box:
    case PickForm::Circle: return pick_two_clicks(form, index, out);
    }
    return kPickCancelled;
}

bool place_by_click(int index, int w, int h, int& x, int& y) {
    if (!record_in_use(index)) return false;
    PickSession s(index, "Click a point");
    for (;;) {
        switch (s.next()) {
        case Event::Moved: s.show({Feedback::Placement, s.x() - w / 2, s.y() - h / 2, w, h}); break;
        case Event::Clicked:
            x = s.x() - w / 2;
            y = s.y() - h / 2;
            return true;
        case Event::Cancelled:
        case Event::Stopped:
        case Event::Gone: return false;
        }
    }
}

}  // namespace mav

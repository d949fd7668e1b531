// The keyboard focus, both ways: the core's active window gets the X focus,
// and a window manager's activation (a click on a frame, Alt+Tab,
// _NET_ACTIVE_WINDOW, WM_TAKE_FOCUS) or another program taking the focus
// becomes the core's. And the pointer grab that follows the core's capture.
//
// Focus events only say that something changed; what X says now comes from
// XGetInputFocus, whose reply reflects every request we sent before it, so
// events of a change that our own later request undid never mislead us.
#include "x11_display.h"
#include "x11_errors.h"

namespace plat::detail::x11 {

void X11Backend::sync_focus_and_grab(std::uint32_t active, std::uint32_t capture) {
    if (active != focused_ || focus_dirty_) {
        focused_ = active;
        focus_dirty_ = false;
        auto it = wins_.find(active);
        // A window that is not viewable yet (a window manager has still to
        // map it) would refuse the focus: it gets it on its MapNotify.
        if (it != wins_.end() && it->second.viewable && it->second.takes_focus) {
            focus_request_ = NextRequest(dpy_);
            XSetInputFocus(dpy_, it->second.xid, RevertToParent, CurrentTime);
        }
    }
    // While the core holds the mouse captured, the pointer is grabbed, so that
    // presses outside our windows (dismissing a menu) still reach the core.
    Window want = 0;
    if (auto it = wins_.find(capture); it != wins_.end() && it->second.mapped) want = it->second.xid;
    if (want == grab_xid_) return;
    if (grab_xid_) XUngrabPointer(dpy_, CurrentTime);
    grab_xid_ = 0;
    if (want &&
        XGrabPointer(dpy_, want, True, ButtonPressMask | ButtonReleaseMask | PointerMotionMask, GrabModeAsync,
                     GrabModeAsync, None, None, CurrentTime) == GrabSuccess)
        grab_xid_ = want;
}

void X11Backend::on_focus_change(const XFocusChangeEvent& e) {
    // A keyboard grab (a window manager's Alt+Tab) moves nothing yet; the
    // pointer's window matters only without a focus window.
    if (e.mode == NotifyGrab || e.mode == NotifyUngrab) return;
    if (e.detail == NotifyPointer || e.detail == NotifyInferior) return;
    follow_desktop_focus();
}

void X11Backend::on_take_focus(const XClientMessageEvent& e) {
    XWin* w = by_xid(e.window);
    if (!w || !w->viewable || !w->takes_focus) return;
    // The window manager activates this window: it takes the focus, and the
    // core follows on the focus event.
    focus_request_ = NextRequest(dpy_);
    XSetInputFocus(dpy_, w->xid, RevertToParent, Time(e.data.l[1]));
}

// A focus request of ours that failed (the window went away or was unmapped
// meanwhile) leaves the focus where it was, without an event: look again.
void X11Backend::check_focus_request() {
    if (!focus_request_ || error_of(dpy_, focus_request_) == 0) return;
    focus_request_ = 0;
    follow_desktop_focus();
}

// Makes the core's active window the one that has the X focus, or none when
// another program has it. A change the core made that we have not passed on
// yet wins: it is the program's or the user's latest word.
void X11Backend::follow_desktop_focus() {
    Window xfocus = 0;
    int revert = 0;
    XGetInputFocus(dpy_, &xfocus, &revert);
    std::uint32_t ours = 0;
    if (XWin* w = by_xid(xfocus); w && w->takes_focus) ours = w->id;
    if (active_window().id != focused_ || ours == focused_) return;
    focused_ = ours;
    desktop_focus_changed(Hwnd{ours});
}

}  // namespace plat::detail::x11

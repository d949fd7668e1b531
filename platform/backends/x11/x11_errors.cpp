// The process's X error handlers and the record of recent errors.
#include "x11_errors.h"

#include <unistd.h>

#include <array>
#include <cstdio>
#include <mutex>

namespace plat::detail::x11 {

namespace {

struct Recorded {
    Display* display = nullptr;
    unsigned long serial = 0;
    int code = 0;
};

struct ErrorRecord {
    std::mutex m;
    std::array<Recorded, 64> ring{};
    std::size_t next = 0;
};

ErrorRecord& record() {
    static auto* r = new ErrorRecord;  // never destroyed: the display thread may outlive statics
    return *r;
}

// Called by Xlib with the connection locked: it only notes the error.
// Errors are expected now and then (a window a window manager has not made
// viewable yet refuses the focus, a requestor went away).
int on_x_error(Display* d, XErrorEvent* e) {
    auto& r = record();
    std::lock_guard lock(r.m);
    r.ring[r.next] = {d, e->serial, e->error_code};
    r.next = (r.next + 1) % r.ring.size();
    return 0;
}

// Without its display the program cannot go on; Xlib would exit() from the
// display thread with the other threads still running.
int on_x_io_error(Display*) {
    std::fputs("the connection to the X display was lost\n", stderr);
    std::fflush(nullptr);
    _exit(1);
}

}  // namespace

void install_error_handlers() {
    XSetErrorHandler(on_x_error);
    XSetIOErrorHandler(on_x_io_error);
}

int error_of(Display* display, unsigned long serial) {
    auto& r = record();
    std::lock_guard lock(r.m);
    for (const Recorded& e : r.ring)
        if (e.display == display && e.serial == serial && e.code != 0) return e.code;
    return 0;
}

void forget_errors(Display* display) {
    auto& r = record();
    std::lock_guard lock(r.m);
    for (Recorded& e : r.ring)
        if (e.display == display) e = {};
}

}  // namespace plat::detail::x11

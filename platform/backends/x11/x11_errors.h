// X errors, tied to the requests that caused them.
//
// Xlib reports an error asynchronously, to one handler for the whole process,
// often long after the request went out and while some other request is being
// waited for. So an error says nothing about "the last request": it is kept
// with the serial number of the request that failed, and whoever needs to know
// whether a request failed asks for that serial once a reply or an XSync has
// covered it. Other connections of the process (a test's own) share the
// handler; their errors are kept apart by display.
#pragma once

#include <X11/Xlib.h>

namespace plat::detail::x11 {

// Installs the process's handlers: errors are recorded and never fatal; a
// lost connection ends the process with a message.
void install_error_handlers();

// The error code (BadMatch, BadAccess, ...) of the request numbered `serial`
// on `display`, or 0 (Success) when none was recorded. The last few dozen
// errors are kept, more than a display thread ever has outstanding.
int error_of(Display* display, unsigned long serial);

// Forgets the errors of a connection that is being closed: a new one may get
// the same address and counts its requests from 1 again.
void forget_errors(Display* display);

}  // namespace plat::detail::x11

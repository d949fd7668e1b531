// The x11 backend: the platform's windows on an X display through Xlib.
//
// One display thread owns the connection. Every visible top-level window is
// an X window of its own at the same screen rectangle: windows with a caption
// are ordinary (managed) windows without decorations (_MOTIF_WM_HINTS), since
// their frames are drawn by the core; windows without a caption (popup
// menus) are override-redirect. Pixels are presented from the core's surfaces
// when a window changes and when the server exposes it, through MIT-SHM when
// the server offers it and XPutImage otherwise (each window on its own: one
// that cannot attach or put through shared memory goes on with XPutImage, and
// a put whose completion does not come is given up on, so a window never
// stops presenting); window_changed only marks the window and wakes the
// display thread, so drawing threads never wait for X. Bursts of expose,
// motion and configure events are merged.
//
// Supports:
//  - window placement, size, visibility and stacking as the core keeps them;
//    owned windows as transients (WM_TRANSIENT_FOR) of their owner's X
//    window, once the owner has been shown;
//    titles as WM_NAME and _NET_WM_NAME (UTF-8); the close request of a
//    window manager (WM_DELETE_WINDOW) as a Close message;
//  - the keyboard focus both ways: the core's active window gets the X focus
//    once it is viewable, and a window manager's activation (FocusIn,
//    WM_TAKE_FOCUS) makes a window the core's active one; while another
//    program has the focus none of ours is active;
//  - pointer motion, buttons 1-3 and the wheel, keys with Shift/Ctrl/Alt
//    (key codes through x11::key_from_keysym; text through the keyboard
//    mapping, see x11_keys.h for which presses send keys and which send
//    characters), pointer grabs while the core holds the mouse captured;
//  - file drops by XDND (versions 3-5, text/uri-list of file URIs) on the
//    window under the pointer;
//  - the CLIPBOARD selection both ways: text as UTF8_STRING (also
//    text/plain;charset=utf-8, STRING and TEXT) and images as image/png (also
//    image/bmp), INCR transfers included;
//  - screen size from the X screen, the work area from _NET_WORKAREA;
//  - TrueColor visuals of any depth (fastest at 24/32 bits, 0x00RRGGBB).
// Does not support:
//  - input methods (text comes from keysyms: Latin-1 and Unicode keysyms);
//  - the PRIMARY selection, being an XDND source, drops other than file
//    URIs, handing the clipboard to a clipboard manager at exit;
//  - window managers moving or stacking our windows: the core's placement
//    and z-order win;
//  - visuals other than TrueColor, several screens (the default screen only).
// Dialogs wait for real input, unless a driver answer was queued for them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "backend_interface.h"

namespace plat::detail {

// Opens the display named by $DISPLAY and starts the display thread; null,
// with a message in `error`, when the display cannot be used.
std::unique_ptr<Backend> make_x11_backend(std::string& error);

// Counters of the running x11 backend, for tests.
struct X11Stats {
    std::uint64_t presents = 0;        // images put on windows
    std::uint64_t changes = 0;         // window_changed calls
    std::uint64_t incr_sent = 0;       // selection values sent in pieces (INCR)
    std::uint64_t incr_received = 0;   // ... and received so
    bool shared_memory = false;        // MIT-SHM offered and not turned off
    int shm_windows = 0;               // windows presented through shared memory now
};
X11Stats x11_stats();

}  // namespace plat::detail

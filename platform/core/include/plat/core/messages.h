// Typed window messages: one struct, one enum of kinds. Fields a kind does not
// use stay at their defaults.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plat/base/geometry.h"

namespace plat {

class Dc;

// A window handle. Handles are never reused within a process, so a stale
// handle simply names no window.
struct Hwnd {
    std::uint32_t id = 0;
    explicit operator bool() const { return id != 0; }
    bool operator==(const Hwnd&) const = default;
};

enum class MsgKind : std::uint16_t {
    None,
    Create,       // sent while the window is being created; result -1 refuses
    Destroy,      // sent while the window is being destroyed
    Close,        // close box or a request to close; default destroys
    Paint,        // dc: client area, clipped to `rect` (the invalid part)
    Moving,       // rect: proposed window rectangle (screen); the handler may change it
    Sizing,       // rect: proposed window rectangle, edge: which edge is dragged
    Move,         // rect: the new window rectangle
    Size,         // rect: the new window rectangle
    Activate,     // flag: activated (true) or deactivated
    SetFocus,
    KillFocus,
    KeyDown,      // key, ctrl, shift
    KeyUp,
    Char,         // ch
    MouseMove,    // pos (client), screen_pos, ctrl, shift
    LButtonDown,
    LButtonUp,
    LButtonDblClk,
    MButtonDown,
    MButtonUp,
    RButtonDown,  // non_client set when pressed on the frame
    RButtonUp,
    RButtonDblClk,
    MouseWheel,   // wheel: +120 per notch away from the user
    NcLButtonDown,  // hit: which part of the frame
    Command,      // command_id, notify, source
    DropFiles,    // files (native UTF-8 paths), pos (client)
    Timer,        // param: timer id
    User,         // param: free for the window's own use
    Quit,         // ends a message loop; param: exit code
};

// Which part of a window a screen point lies on.
enum class Hit : std::uint8_t {
    Nowhere, Client, Caption, CloseBox, MenuBar,
    Left, Right, Top, Bottom, TopLeft, TopRight, BottomLeft, BottomRight,
    Border,  // a frame edge that does not size
};

struct Message {
    Hwnd window;
    MsgKind kind = MsgKind::None;
    Point pos;
    Point screen_pos;
    Rect rect;
    int key = 0;
    char32_t ch = 0;
    bool ctrl = false;
    bool shift = false;
    bool non_client = false;
    // Mouse messages: the buttons held when it happened.
    bool lbutton = false;
    bool mbutton = false;
    bool rbutton = false;
    bool flag = false;
    Hit hit = Hit::Nowhere;
    int wheel = 0;
    int command_id = 0;
    int notify = 0;
    Hwnd source;
    std::intptr_t param = 0;
    long result = 0;
    Dc* dc = nullptr;
    std::vector<std::string> files;
};

}  // namespace plat

// The core's side of a backend: what the core asks of the backend installed
// (the screen, showing changed windows, answers to modal boxes, the desktop's
// clipboard) and what it hands a backend about the windows to show. The
// backends, the controls and the driver include this; nothing outside the
// platform can.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "plat/base/geometry.h"
#include "plat/gfx/gfx.h"
#include "plat/core/messages.h"

namespace plat::detail {

// What the clipboard holds: text, an image as a packed DIB, or neither.
struct ClipboardData {
    std::optional<std::u16string> text;
    std::optional<std::vector<std::uint8_t>> dib;
};

enum class DialogKind { Message, Question, Open, Save, Color, Font, Properties };

// A modal box or dialog that is about to open.
struct DialogInfo {
    DialogKind kind = DialogKind::Message;
    std::string caption;
    std::string text;
};

// How a modal box is answered without a person: OK or Cancel (No for a
// question), and for file dialogs the chosen file.
struct ModalAnswer {
    bool cancel = false;
    std::string path;
};

class Backend {
public:
    virtual ~Backend() = default;
    virtual bool headless() const = 0;
    virtual Size screen_size() const = 0;
    virtual Rect work_area() const = 0;
    virtual int screen_depth() const { return 32; }
    virtual void window_changed(Hwnd) {}
    virtual void window_destroyed(Hwnd) {}
    // nullopt: the dialog stays open for input; a value: answer at once.
    virtual std::optional<ModalAnswer> modal_opened(const DialogInfo& info) = 0;
    // The process's clipboard changed: a display backend takes ownership of
    // the desktop's clipboard so that other programs can read it.
    virtual void clipboard_changed(const ClipboardData&) {}
    // Clipboard contents another program owns; nullopt when the process's
    // own contents are current.
    virtual std::optional<ClipboardData> external_clipboard() { return std::nullopt; }
    virtual void shutdown() {}
};

// The installed backend; the default backend until another is installed.
Backend& backend();
void install_backend(std::unique_ptr<Backend> b);
// The backend a process has before it chooses one: made by the backend
// factory (under backends/), which knows the backends.
std::unique_ptr<Backend> make_default_backend();

// The desktop moved the keyboard focus (a window manager activated a window,
// another program took the focus): to `top`, one of our top-level windows,
// which becomes the active window and is raised as after a click; or, with an
// empty handle, away from all of ours, and none is active. Activate messages
// and title bars follow; the focus window inside stays.
void desktop_focus_changed(Hwnd top);

// ---- what a display backend shows ----

// One top-level window as a backend shows it.
struct WindowSnapshot {
    std::uint32_t id = 0;
    bool exists = false;  // false: destroyed or being destroyed
    bool visible = false;
    Rect rect;            // screen
    std::uint32_t style = 0;
    std::uint32_t owner = 0;  // the top-level window it stays above, 0 for none
    std::string title;
    bool has_children = false;  // visible child windows: show it through with_window_pixels(.., true)
};

struct DisplaySnapshot {
    // The top-level windows of the changed ones (children stand for their
    // top-level window), each once; ids of windows that are gone come back
    // with exists = false.
    std::vector<WindowSnapshot> windows;
    std::vector<std::uint32_t> z_order;  // top-level windows, bottom to top
    std::uint32_t active = 0;            // the active top-level window, 0 for none
    std::uint32_t capture_top = 0;       // top-level window of the mouse capture, 0 for none
};

// Everything above, read at one moment.
DisplaySnapshot snapshot_for_display(const std::unordered_set<std::uint32_t>& changed);

// Calls `use` with the window's pixels as shown: its own surface, held for
// presenting (drawing waits meanwhile), or with `compose_children` a copy
// with its child windows drawn in. False when the window is gone.
bool with_window_pixels(std::uint32_t id, bool compose_children, const std::function<void(const Surface&)>& use);

}  // namespace plat::detail

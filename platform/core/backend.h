// What the core asks of a backend: the screen, presentation of changed
// windows, and what to do when a modal box opens.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>
#include <cstdint>

#include "plat/driver.h"
#include "plat/geometry.h"
#include "plat/messages.h"

namespace plat::detail {

// What the clipboard holds: text, an image as a packed DIB, or neither.
struct ClipboardData {
    std::optional<std::u16string> text;
    std::optional<std::vector<std::uint8_t>> dib;
};

struct DialogInfo {
    std::string kind;  // "message", "open", "save", "color", "font"
    std::string caption;
    std::string text;
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
    virtual std::optional<driver::DialogAnswer> modal_opened(const DialogInfo& info) = 0;
    // The process's clipboard changed: a display backend takes ownership of
    // the desktop's clipboard so that other programs can read it.
    virtual void clipboard_changed(const ClipboardData&) {}
    // Clipboard contents another program owns; nullopt when the process's
    // own contents are current.
    virtual std::optional<ClipboardData> external_clipboard() { return std::nullopt; }
    virtual void shutdown() {}
};

// The installed backend; a headless one until another is installed.
Backend& backend();
void install_backend(std::unique_ptr<Backend> b);

}  // namespace plat::detail

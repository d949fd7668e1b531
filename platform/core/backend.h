// What the core asks of a backend: the screen, presentation of changed
// windows, and what to do when a modal box opens.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "plat/driver.h"
#include "plat/geometry.h"
#include "plat/messages.h"

namespace plat::detail {

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
    virtual void shutdown() {}
};

// The installed backend; a headless one until another is installed.
Backend& backend();
void install_backend(std::unique_ptr<Backend> b);

}  // namespace plat::detail

// What every standard control shares: its class, registered on first use,
// and creating one as a visible child window.
#pragma once

#include <cstdint>
#include <string_view>

#include "plat/window.h"

namespace plat::ui {

struct ControlClass {
    const char* name;
    Color background;
    bool (*proc)(Message&);
};

Hwnd create_control(const ControlClass& cls, Hwnd parent, Rect rect, std::string_view text, int id,
                    std::uint32_t style);

}  // namespace plat::ui

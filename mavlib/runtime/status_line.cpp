#include "runtime/status_line.h"

#include <algorithm>
#include <cstdio>

#include "plat/base/codepage.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"

namespace mav {

namespace {
constexpr int kField = 64;
constexpr int kCentre = 18;
}  // namespace

std::string centred_status_text(std::string_view text) {
    int len = int(std::min<std::size_t>(text.size(), kField));
    int column = std::clamp(kCentre - len / 2, 0, kField - 1);
    // The field holds 63 characters and its terminator: a text that would run
    // past it is cut rather than written beyond the field.
    std::size_t room = std::size_t(kField - 1 - column);
    std::string out(std::size_t(column), ' ');
    out.append(text.substr(0, room));
    return out;
}

void show_status(std::string_view text) {
    plat::Hwnd label{frame().status_label.load()};
    if (!label) return;
    plat::set_window_text(label, plat::sjis_to_utf8(centred_status_text(text)));
}

void show_depth_status() {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%d-bit color", frame().screen_depth);
    show_status(buf);
}

}  // namespace mav

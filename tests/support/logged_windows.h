// Checks on where a test program said its windows are and what the screen
// shows there.
#pragma once

#include <cstdio>
#include <sstream>
#include <string>

#include "plat/base/geometry.h"
#include "plat/gfx/gfx.h"

namespace testsupport {

// A rectangle the program logged as "NAME left top right bottom"; empty if none.
inline plat::Rect logged_rect(const std::string& log, const std::string& name) {
    std::istringstream in(log);
    for (std::string line; std::getline(in, line);) {
        plat::Rect r;
        if (line.rfind(name + " ", 0) == 0 &&
            std::sscanf(line.c_str() + name.size(), "%d %d %d %d", &r.left, &r.top, &r.right, &r.bottom) == 4)
            return r;
    }
    return {};
}

// Pixels of `area` on the screen that are not `colour`.
inline long off_colour(const plat::Surface& screen, plat::Rect area, plat::Color colour) {
    long n = 0;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x) n += screen.pixel(x, y) != colour;
    return n;
}

}  // namespace testsupport

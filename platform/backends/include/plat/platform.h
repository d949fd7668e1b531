// Bringing the platform up and down, and choosing its backend.
#pragma once

#include <string>

#include "plat/base/geometry.h"

namespace plat {

struct PlatformOptions {
    bool headless = true;       // the x11 backend is chosen when this is false
    Size screen{1920, 1080};    // headless screen size
};

// False (with a reason) when the platform cannot start.
bool init_platform(const PlatformOptions& options, std::string& error);
void shutdown_platform();
bool platform_ready();
bool is_headless();

}  // namespace plat

// The image file service.
#pragma once

#include <string>

#include "plat/gfx.h"

namespace plat {

// Outcome of a fallible file operation: ok, or a short message saying why not.
struct IoResult {
    bool ok = true;
    std::string message;
    static IoResult success() { return {}; }
    static IoResult failure(std::string why) { return {false, std::move(why)}; }
    explicit operator bool() const { return ok; }
};

// Writes an Rgb32 surface as a 24-bit PNG, or an Indexed8 surface as an
// 8-bit palette PNG. `path` is a native (UTF-8 POSIX) path.
IoResult save_png(const Surface& surface, const std::string& path);

// Reads a PNG into an Rgb32 surface (alpha dropped, palettes and grey expanded).
IoResult load_png(const std::string& path, Surface& out);

}  // namespace plat

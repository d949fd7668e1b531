// Writing a finished picture under the name the user gave.
#pragma once

#include <optional>
#include <string>

#include "failure.h"
#include "plat/gfx/gfx.h"
#include "render_options.h"

namespace lenti {

// Writes the picture whole or not at all: the codecs write beside the file
// and rename it over its name when it is complete.
std::optional<Failure> write_picture(const plat::Surface& picture, const std::string& path, OutputFormat format,
                                     int dpi);

}  // namespace lenti

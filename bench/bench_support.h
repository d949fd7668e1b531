// Image windows for benchmarks, without a program around them.
#pragma once

#include <cstdint>

namespace benchsupport {

// Registers the library's window classes (once) and creates a 32-bit image
// filled with a pattern.
void make_image(int index, int width, int height, std::uint32_t seed);

}  // namespace benchsupport

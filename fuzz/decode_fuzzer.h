// The BMP and ICO decode fuzz target, shared by the libFuzzer build and the
// corpus replay that runs with the ordinary tests.
#pragma once

#include <cstddef>
#include <cstdint>

// Runs one input through both decoders and size readers (and the front, for
// PNG, JPEG, GIF and TIFF), aborting when a rule is broken. Returns how many
// decoders accepted the input.
int decode_fuzz_input(const std::uint8_t* data, std::size_t size);

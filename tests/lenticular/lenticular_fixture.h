// Images and a text window for running passes in-process, and a snapshot
// of everything a pass may change.
#pragma once

#include <cstdint>
#include <random>
#include <vector>

#include <gtest/gtest.h>

namespace lentest {

// Registers the library's image and text window classes once.
void ensure_library_classes();

struct LibraryState {
    std::vector<std::uint32_t> output;
    std::vector<std::uint32_t> source;
    int current = -1;
    std::vector<int> restores;  // what eight restores walk back through
    int pen_x = 0, pen_y = 0;
    std::vector<std::uint32_t> text;  // the text window's contents
};

// Creates (or recreates) a 32-bit image filled by `fill`.
void make_image(int index, int width, int height, std::uint32_t (*fill)(int x, int y, std::mt19937& rng),
                std::mt19937& rng);
void random_fill(int index, std::mt19937& rng);

// Puts the stack, the current image and the pen into a known state.
void reset_library_state(int current, int pen_x, int pen_y);

// Reads the state; the selection stack is read by restoring, so it goes.
LibraryState capture_state(int source, int output);

void copy_pixels_from(int index, const std::vector<std::uint32_t>& pixels);
std::vector<std::uint32_t> pixels_of(int index);

}  // namespace lentest

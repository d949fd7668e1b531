// Small images for drawing tests: an image record filled in directly (no
// window), made current for the life of the object, and pixel-set helpers.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

#include "image/drawing_state.h"
#include "image/image_table.h"
#include "mav/drawing.h"
#include "plat/gfx/gfx.h"

namespace drawtest {

using Point = std::pair<int, int>;  // (x, y)
using PointSet = std::set<Point>;

class ScratchImage {
public:
    static constexpr int kSlot = 251;

    ScratchImage(int width, int height, int bits = 32, int slot = kSlot) : slot_(slot) {
        saved_current_ = mav::current_image().load();
        mav::ImageRecord& r = mav::image_record(slot_);
        r.buffer = plat::Surface(width, height, bits == 8 ? plat::PixelFormat::Indexed8 : plat::PixelFormat::Rgb32);
        r.bits = bits;
        r.width = width;
        r.height = height;
        r.stride = r.buffer.stride();
        r.in_use = 1;
        mav::current_image() = slot_;
    }
    ScratchImage(const ScratchImage&) = delete;
    ScratchImage& operator=(const ScratchImage&) = delete;
    ~ScratchImage() {
        mav::ImageRecord& r = mav::image_record(slot_);
        r.in_use = 0;
        r.width = r.height = r.stride = 0;
        r.bits = 0;
        r.buffer = plat::Surface();
        mav::current_image() = saved_current_;
    }

    plat::Surface& surface() { return mav::image_record(slot_).buffer; }
    int width() { return surface().width(); }
    int height() { return surface().height(); }
    int slot() const { return slot_; }

    // The stored value: the word on 32-bit images, the byte on 8-bit ones.
    std::uint32_t at(int x, int y) {
        plat::Surface& s = surface();
        return s.format() == plat::PixelFormat::Rgb32 ? s.row32(y)[x] : s.row8(y)[x];
    }
    void set(int x, int y, std::uint32_t v) {
        plat::Surface& s = surface();
        if (s.format() == plat::PixelFormat::Rgb32)
            s.row32(y)[x] = v;
        else
            s.row8(y)[x] = std::uint8_t(v);
    }
    void fill(std::uint32_t v) {
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x) set(x, y, v);
    }
    // Points holding exactly v.
    PointSet with(std::uint32_t v) {
        PointSet out;
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                if (at(x, y) == v) out.insert({x, y});
        return out;
    }
    // Points that differ from v.
    PointSet not_equal(std::uint32_t v) {
        PointSet out;
        for (int y = 0; y < height(); ++y)
            for (int x = 0; x < width(); ++x)
                if (at(x, y) != v) out.insert({x, y});
        return out;
    }
    // The raw bytes, padding included.
    std::vector<std::uint8_t> bytes() {
        plat::Surface& s = surface();
        return {s.bits(), s.bits() + std::size_t(s.stride()) * std::size_t(s.height())};
    }

private:
    int slot_;
    int saved_current_ = 0;
};

// Every test starts from the library's start-up drawing state.
class DrawingTest : public ::testing::Test {
protected:
    void SetUp() override { mav::init_drawing_state(); }
    void TearDown() override { mav::init_drawing_state(); }

    static Point pen() {
        int x = 0, y = 0;
        MAV_GetPenPosition(&x, &y);
        return {x, y};
    }
};

// Points inside a w x h image.
inline PointSet clipped(const PointSet& points, int w, int h) {
    PointSet out;
    for (const Point& p : points)
        if (p.first >= 0 && p.second >= 0 && p.first < w && p.second < h) out.insert(p);
    return out;
}

}  // namespace drawtest

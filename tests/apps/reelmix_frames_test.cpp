// reelmix's per-frame pixel work against the loops it stands for: the frame
// copied into "Camera" triple by triple, "work" filled with one library pixel
// call per read and per write. Whole images and the library state they leave
// are compared.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "lenticular_fixture.h"
#include "mavlib.h"
#include "export_summary.h"
#include "lenticular/worker_pool.h"
#include "work_images.h"

using reelmix::BgrFrame;
using reelmix::kCamera;
using reelmix::kWork;

namespace {

// A decoded frame held in memory, its rows `stride` bytes apart with random
// bytes in the padding.
struct TestFrame {
    int width, height;
    std::size_t stride;
    std::vector<std::uint8_t> bytes;
    BgrFrame view() const { return {bytes.data(), width, height, stride}; }
};

TestFrame random_frame(int width, int height, std::size_t padding, std::mt19937& rng) {
    TestFrame f{width, height, std::size_t(width) * 3 + padding, {}};
    f.bytes.resize(f.stride * std::size_t(height));
    for (auto& b : f.bytes) b = std::uint8_t(rng());
    return f;
}

// The same picture as consecutive triples without padding.
std::vector<std::uint8_t> packed(const TestFrame& f) {
    std::vector<std::uint8_t> out;
    for (int y = 0; y < f.height; ++y) {
        const auto* row = f.bytes.data() + std::size_t(y) * f.stride;
        out.insert(out.end(), row, row + 3 * f.width);
    }
    return out;
}

// "Camera" is W_f x 3*floor(H_f/3): the first that many triples, row after row.
void literal_copy(const std::vector<std::uint8_t>& triples, int wf) {
    const int n = MAV_GetImageWidth(kCamera) * MAV_GetImageHeight(kCamera);
    auto* px = static_cast<std::uint32_t*>(mav_bits[kCamera]);
    for (int i = 0; i < n; ++i)
        px[(i / wf) * wf + i % wf] = triples[3u * i] | triples[3u * i + 1] << 8 | triples[3u * i + 2] << 16;
}

void literal_resample(double xs, double ys, int rows, long long cols) {
    for (int y = 0; y < rows; ++y) {
        const int sy = int(std::trunc(y * ys));
        for (long long x = 0; x < cols; ++x) {
            MAV_SelectImage(kCamera);
            const int px = MAV_GetPixel(int(std::trunc(double(x) * xs)), sy);
            MAV_SelectImage(kWork);
            MAV_SetPixel(int(x), y, px);
        }
    }
}

struct Case {
    int wf, hf;          // movie frame
    std::size_t padding; // bytes after each decoded row
    int W, H;            // output size
    int rows;            // resampled rows: 3H for a frame, H for a refill
    long long cols;      // 9W for a frame, 3 * pic_num * W for a refill
};

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.wf << "x" << c.hf << " frame (+" << c.padding << " bytes a row) to " << c.W << "x" << c.H << ", "
        << c.rows << " rows of " << c.cols;
}

class FrameSteps : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override { lentest::ensure_library_classes(); }
};

TEST_P(FrameSteps, CopyAndResampleGiveTheLiteralLoopsPixelsAndState) {
    const Case c = GetParam();
    std::mt19937 rng(c.wf * 7919 + c.hf * 31 + int(c.cols));
    const TestFrame frame = random_frame(c.wf, c.hf, c.padding, rng);
    const double xs = double(c.wf / 3) / (3.0 * c.W), ys = double(c.hf / 3) / double(c.H);
    auto fresh_images = [&](std::mt19937& fill_rng) {
        lentest::make_image(kCamera, c.wf, 3 * (c.hf / 3), [](int, int, std::mt19937& r) { return std::uint32_t(r()); },
                            fill_rng);
        lentest::make_image(kWork, 9 * c.W, 3 * c.H, [](int, int, std::mt19937& r) { return std::uint32_t(r()); },
                            fill_rng);
        lentest::reset_library_state(kWork, -5, -7);
    };

    std::mt19937 fill_a(1);
    fresh_images(fill_a);
    literal_copy(packed(frame), c.wf);
    literal_resample(xs, ys, c.rows, c.cols);
    const lentest::LibraryState expected = lentest::capture_state(kCamera, kWork);

    // On one thread, and shared out a row or two at a time among three.
    for (int threads : {1, 3}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        lenticular::set_worker_count(threads);
        lenticular::force_chunk_size(threads == 1 ? 0 : 2);
        std::mt19937 fill_b(1);
        fresh_images(fill_b);
        reelmix::show_frame(frame.view());
        reelmix::GridResampler resampler;
        reelmix::resample_into_work(resampler, xs, ys, c.rows, c.cols);
        const lentest::LibraryState got = lentest::capture_state(kCamera, kWork);
        lenticular::set_worker_count(0);
        lenticular::force_chunk_size(0);

        EXPECT_TRUE(got.source == expected.source) << "Camera differs";
        EXPECT_TRUE(got.output == expected.output) << "work differs";
        EXPECT_EQ(got.current, expected.current);
        EXPECT_EQ(got.restores, expected.restores);
        EXPECT_EQ(got.pen_x, expected.pen_x);
        EXPECT_EQ(got.pen_y, expected.pen_y);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FrameSteps,
    ::testing::Values(Case{96, 54, 0, 40, 24, 72, 360},      // whole frame, cells stretched
                      Case{100, 59, 9, 13, 7, 21, 117},      // height not a multiple of 3, padded rows
                      Case{301, 200, 3, 7, 50, 150, 63},     // cells shrunk horizontally
                      Case{64, 62, 1, 30, 20, 20, 270},      // refill of three tiles of the top row
                      Case{64, 62, 0, 30, 20, 20, 450},      // pic_num 5: columns past "work" are dropped
                      Case{48, 48, 5, 12, 9, 1, 2}));        // fewer pixels than the stack is deep

// A frame of another size than the movie declares fills "Camera" from its
// own cells, never read with the movie's geometry: with plain-coloured cells
// every pixel of a Camera cell has that cell's colour.
TEST(FrameGeometry, FramesOfAnotherSizeFillCameraCellByCell) {
    lentest::ensure_library_classes();
    auto cell_colour = [](int c, int r) { return std::uint32_t(0x302010 * (1 + c + 3 * r)) & 0xFFFFFF; };
    const int wf = 193, hf = 110;  // the movie's size: Camera is 193 x 108
    for (const auto& [w, h] : {std::pair{193, 110}, {96, 55}, {400, 300}, {193, 108}, {61, 229}}) {
        SCOPED_TRACE(std::to_string(w) + "x" + std::to_string(h));
        TestFrame frame{w, h, std::size_t(w) * 3 + 7, {}};
        frame.bytes.assign(frame.stride * std::size_t(h), 0xEE);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const std::uint32_t col = cell_colour(std::min(x / (w / 3), 2), std::min(y / (h / 3), 2));
                std::uint8_t* p = &frame.bytes[std::size_t(y) * frame.stride + 3u * x];
                p[0] = std::uint8_t(col), p[1] = std::uint8_t(col >> 8), p[2] = std::uint8_t(col >> 16);
            }
        MAV_DestroyImage(kCamera);
        ASSERT_EQ(MAV_CreateImageFL(kCamera, "Camera", 0, 0, wf, 3 * (hf / 3), 10), 0);
        reelmix::show_frame(frame.view());
        const auto* camera = static_cast<const std::uint32_t*>(mav_bits[kCamera]);
        long wrong = 0;
        for (int y = 0; y < 3 * (hf / 3); ++y)
            for (int x = 0; x < wf; ++x) wrong += camera[y * wf + x] != cell_colour(std::min(x / (wf / 3), 2), y / (hf / 3));
        EXPECT_EQ(wrong, 0);
    }
}

// How an export ends, said in one line, and its exit code: 0 only when
// every frame of the pass was written.
TEST(ExportReport, TheClosingLineAndCodeTellWhatIsOnDisk) {
    struct Case {
        reelmix::ExportOutcome outcome;
        std::vector<std::string> lines;
        int code;
    };
    auto runs = [](std::vector<int> f) { return reelmix::FrameRuns::of(std::move(f)); };
    const Case cases[] = {
        {{12, 12, {}, false, ""}, {}, 0},
        {{11, 12, runs({6}), false, ""}, {"11 of 12 frames written; frame 6 could not be decoded"}, 3},
        {{7, 12, runs({11, 2, 8, 9, 10}), false, ""}, {"7 of 12 frames written; frames 2, 8 to 11 could not be decoded"}, 3},
        {{40, 150, {}, true, ""}, {"40 of 150 frames written; the export was stopped before the end of the movie"}, 3},
        {{0, 150, {}, true, ""}, {"0 of 150 frames written; the export was stopped before the end of the movie"}, 1},
        {{2, 6, {}, false, "cannot save frame 2 as f: why"},
         {"cannot save frame 2 as f: why", "2 of 6 frames written; the export ended at the frame that could not be saved"}, 1},
        {{0, 0, {}, false, ""}, {"the movie has no frame that can be decoded"}, 1},
    };
    for (const Case& c : cases) {
        const reelmix::ExportReport r = reelmix::report_export(c.outcome);
        EXPECT_EQ(r.lines, c.lines);
        EXPECT_EQ(r.exit_code, c.code) << (c.lines.empty() ? "" : c.lines.back());
    }
}

// Every cell of a 960 x 540 frame becomes a 2400 x 480 tile at the default
// output size: a frame whose cells are plain colours gives plain tiles.
TEST(FrameGeometry, CellsOfA960x540FrameBecome2400x480Tiles) {
    lentest::ensure_library_classes();
    const int wf = 960, hf = 540, W = 800, H = 480;
    TestFrame frame{wf, hf, std::size_t(wf) * 3, std::vector<std::uint8_t>(std::size_t(wf) * 3 * hf)};
    auto cell_colour = [](int c, int r) { return std::uint32_t(0x102040 * (1 + c + 3 * r)) & 0xFFFFFF; };
    for (int y = 0; y < hf; ++y)
        for (int x = 0; x < wf; ++x) {
            const std::uint32_t col = cell_colour(x / 320, y / 180);
            std::uint8_t* p = &frame.bytes[std::size_t(y) * frame.stride + 3u * x];
            p[0] = std::uint8_t(col), p[1] = std::uint8_t(col >> 8), p[2] = std::uint8_t(col >> 16);
        }
    MAV_DestroyImage(kCamera);
    MAV_DestroyImage(kWork);
    ASSERT_EQ(MAV_CreateImageFL(kCamera, "Camera", 0, 0, wf, 3 * (hf / 3), 10), 0);
    ASSERT_EQ(MAV_CreateImageFL(kWork, "work", 0, 0, 9 * W, 3 * H, 10), 0);
    reelmix::show_frame(frame.view());
    reelmix::GridResampler resampler;
    reelmix::resample_into_work(resampler, 320.0 / 2400.0, 180.0 / 480.0, 3 * H, 9LL * W);
    const auto* work = static_cast<const std::uint32_t*>(mav_bits[kWork]);
    long long wrong = 0;
    for (int y = 0; y < 3 * H; ++y)
        for (int x = 0; x < 9 * W; ++x) wrong += work[std::size_t(y) * 9 * W + x] != cell_colour(x / 2400, y / 480);
    EXPECT_EQ(wrong, 0);
}

}  // namespace

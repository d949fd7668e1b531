// Virtual cameras and the conversion of frames into destination blocks.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <array>
#include <atomic>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "plat/capture/capture.h"
#include "plat/base/clock.h"
#include "plat/codecs/codecs.h"
#include "support/temp_folder.h"
#include "support/wait_until.h"

using namespace plat::capture;

namespace {

// A picture as 0x00RRGGBB words, and the same picture as a camera might hand
// it over: in `layout`, with `pad` bytes after every row.
struct Picture {
    int width, height;
    std::vector<std::uint32_t> words;
    std::vector<std::uint8_t> bytes;
    FrameView view;
};

Picture make_picture(int width, int height, PixelLayout layout, int pad, unsigned seed) {
    Picture p{width, height, {}, {}, {}};
    std::mt19937 rng(seed);
    p.words.resize(std::size_t(width) * height);
    for (auto& w : p.words) w = rng() & 0xFFFFFF;
    const int bpp = layout == PixelLayout::Xrgb32 ? 4 : 3;
    const std::size_t stride = std::size_t(width) * bpp + pad;
    p.bytes.assign(stride * height, 0xEE);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t c = p.words[std::size_t(y) * width + x];
            std::uint8_t* d = p.bytes.data() + y * stride + std::size_t(x) * bpp;
            const std::uint8_t r = c >> 16, g = c >> 8, b = c;
            if (layout == PixelLayout::Rgb24) {
                d[0] = r, d[1] = g, d[2] = b;
            } else {
                d[0] = b, d[1] = g, d[2] = r;
                if (bpp == 4) d[3] = 0x7F;  // the unused byte must not leak into the word
            }
        }
    p.view = {p.bytes.data(), p.bytes.size(), width, height, std::ptrdiff_t(stride), layout, 0.0};
    return p;
}

std::vector<std::uint32_t> block() { return std::vector<std::uint32_t>(kFrameBytes / 4, 0xDEADBEEF); }

}  // namespace

TEST(FrameCopy, EveryLayoutLandsAsTheSameWordsWithPaddedRows) {
    for (PixelLayout layout : {PixelLayout::Xrgb32, PixelLayout::Rgb24, PixelLayout::Bgr24}) {
        SCOPED_TRACE(int(layout));
        Picture p = make_picture(kFrameWidth, kFrameHeight, layout, 12, 3);
        auto dest = block();
        EXPECT_EQ(copy_frame(p.view, dest.data(), kFrameBytes), kFrameBytes);
        EXPECT_TRUE(dest == p.words);
    }
}

TEST(FrameCopy, OtherSizesTakeThePixelUnderEachCentre) {
    // Half the size: every pixel becomes a 2 x 2 block.
    Picture small = make_picture(320, 240, PixelLayout::Bgr24, 0, 5);
    auto dest = block();
    ASSERT_EQ(copy_frame(small.view, dest.data(), kFrameBytes), kFrameBytes);
    int wrong = 0;
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x)
            wrong += dest[std::size_t(y) * kFrameWidth + x] != small.words[std::size_t(y / 2) * 320 + x / 2];
    EXPECT_EQ(wrong, 0);
    // Twice the size: the odd pixels of the odd rows (the centres) are taken.
    Picture big = make_picture(1280, 960, PixelLayout::Rgb24, 4, 6);
    ASSERT_EQ(copy_frame(big.view, dest.data(), kFrameBytes), kFrameBytes);
    wrong = 0;
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x)
            wrong += dest[std::size_t(y) * kFrameWidth + x] != big.words[std::size_t(2 * y + 1) * 1280 + 2 * x + 1];
    EXPECT_EQ(wrong, 0);
}

TEST(FrameCopy, ShortFramesAreRefusedAndSmallBlocksGetWholeRows) {
    Picture p = make_picture(kFrameWidth, kFrameHeight, PixelLayout::Bgr24, 0, 7);
    auto dest = block();
    FrameView cut = p.view;
    cut.length -= 1;  // the last row is not all there
    EXPECT_EQ(copy_frame(cut, dest.data(), kFrameBytes), 0u);
    FrameView narrow = p.view;
    narrow.stride = 3 * kFrameWidth - 1;
    EXPECT_EQ(copy_frame(narrow, dest.data(), kFrameBytes), 0u);
    EXPECT_EQ(copy_frame(FrameView{}, dest.data(), kFrameBytes), 0u);
    EXPECT_TRUE(dest == block()) << "a refused frame wrote something";

    // Room for ten rows and a bit: ten rows are written, nothing after them.
    const std::size_t room = 10 * kFrameWidth * 4 + 100;
    EXPECT_EQ(copy_frame(p.view, dest.data(), room), 10u * kFrameWidth * 4);
    EXPECT_EQ(dest[10 * kFrameWidth - 1], p.words[10 * kFrameWidth - 1]);
    EXPECT_EQ(dest[10 * kFrameWidth], 0xDEADBEEFu);
}

class VirtualCameras : public ::testing::Test {
protected:
    void SetUp() override {
        reset_virtual_camera_setups();
        use_virtual_cameras(2);
    }
    void TearDown() override {
        reset_virtual_camera_setups();
        use_system_cameras();
    }

    std::unique_ptr<Camera> open(int i) {
        auto devices = list_devices();
        if (std::size_t(i) >= devices.size()) return nullptr;
        return open_camera(devices[std::size_t(i)]);
    }
};

// Frames a camera delivered: their times, the thread they came on, the last picture.
struct Collector {
    std::mutex mutex;
    std::vector<double> times;
    std::vector<std::thread::id> threads;
    std::vector<std::uint32_t> last = std::vector<std::uint32_t>(kFrameBytes / 4);
    std::atomic<bool> stopped{false};
    std::atomic<int> after_stop{0};

    FrameCallback callback() {
        return [this](const FrameView& f) {
            if (stopped) ++after_stop;
            std::lock_guard lock(mutex);
            copy_frame(f, last.data(), kFrameBytes);
            times.push_back(f.time);
            threads.push_back(std::this_thread::get_id());
        };
    }
    std::size_t count() {
        std::lock_guard lock(mutex);
        return times.size();
    }
};

TEST_F(VirtualCameras, TwoCamerasDeliverOwnPicturesAtTheirRateUntilStopped) {
    auto devices = list_devices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].id, "virtual:0");
    auto cam0 = open(0), cam1 = open(1);
    ASSERT_TRUE(cam0 && cam1);
    Collector c0, c1;
    ASSERT_EQ(cam0->configure(50.0), Status::Ok);
    ASSERT_EQ(cam1->configure(50.0), Status::Ok);
    EXPECT_EQ(cam0->start(c0.callback()), Status::Ok);
    EXPECT_EQ(cam1->start(c1.callback()), Status::Ok);
    EXPECT_EQ(cam0->start(c0.callback()), Status::Running);
    ASSERT_TRUE(testsupport::wait_until([&] { return c0.count() >= 5 && c1.count() >= 5; }, 5000));
    EXPECT_TRUE(cam0->stop(std::chrono::milliseconds(3000)));
    c0.stopped = true;
    EXPECT_TRUE(cam1->stop(std::chrono::milliseconds(3000)));
    c1.stopped = true;
    const std::size_t n0 = c0.count();
    plat::sleep_ms(100);
    EXPECT_EQ(c0.count(), n0);
    EXPECT_EQ(c0.after_stop + c1.after_stop, 0);

    std::lock_guard lock(c0.mutex);
    for (std::size_t i = 1; i < c0.times.size(); ++i) {
        EXPECT_NEAR(c0.times[i] - c0.times[i - 1], 0.02, 1e-9);  // stream time at 50 frames a second
        EXPECT_EQ(c0.threads[i], c0.threads[0]);
    }
    EXPECT_NE(c0.threads[0], std::this_thread::get_id());
    EXPECT_NE(c0.threads[0], c1.threads[0]);
    EXPECT_FALSE(c0.last == c1.last) << "both cameras show the same picture";
}

TEST_F(VirtualCameras, TheSetupDecidesWhatStartsAndWhatIsDelivered) {
    VirtualCameraSetup silent = virtual_camera_setup(0);
    silent.delivers = false;
    set_virtual_camera_setup(0, silent);
    VirtualCameraSetup refusing = virtual_camera_setup(1);
    refusing.refuse_format = true;
    set_virtual_camera_setup(1, refusing);

    auto cam0 = open(0), cam1 = open(1);
    Collector c0;
    EXPECT_EQ(cam0->start(c0.callback()), Status::NotConfigured);
    ASSERT_EQ(cam0->configure(100.0), Status::Ok);
    ASSERT_EQ(cam0->start(c0.callback()), Status::Ok);
    plat::sleep_ms(150);
    EXPECT_TRUE(cam0->stop(std::chrono::milliseconds(1000)));
    EXPECT_EQ(c0.count(), 0u);
    EXPECT_EQ(cam1->configure(15.0), Status::FormatRefused);

    refusing.refuse_format = false;
    refusing.refuse_stream = true;
    set_virtual_camera_setup(1, refusing);
    ASSERT_EQ(cam1->configure(15.0), Status::Ok);
    EXPECT_EQ(cam1->start(c0.callback()), Status::StreamFailed);
    EXPECT_TRUE(cam1->stop(std::chrono::milliseconds(100)));  // nothing to stop
    EXPECT_EQ(open(2), nullptr);
}

TEST_F(VirtualCameras, ControlsKeepTheirValuesWithinTheRangeAndOnlyOfferedAutoModes) {
    auto cam = open(1);
    ControlRange r;
    ASSERT_TRUE(cam->range(Control::Gain, r));
    EXPECT_EQ(r.min, 0);
    EXPECT_EQ(r.max, 255);
    EXPECT_EQ(r.flags, kFlagManual);
    EXPECT_FALSE(cam->set(Control::Gain, {0, kFlagAuto}));
    EXPECT_TRUE(cam->set(Control::Gain, {300, kFlagManual}));
    ControlValue v;
    ASSERT_TRUE(cam->get(Control::Gain, v));
    EXPECT_EQ(v.value, 255);
    EXPECT_TRUE(cam->set(Control::Focus, {0, kFlagAuto}));
    ASSERT_TRUE(cam->get(Control::Focus, v));
    EXPECT_EQ(v.flags, kFlagAuto);
    EXPECT_EQ(v.value, 128);  // the value stays where it was
    EXPECT_EQ(virtual_camera_setup(1).controls[std::size_t(Control::Focus)].value.flags, kFlagAuto);

    VirtualCameraSetup s = virtual_camera_setup(1);
    s.controls[std::size_t(Control::Iris)].present = false;
    s.controls[std::size_t(Control::Zoom)].refuse_get = true;
    s.controls[std::size_t(Control::Pan)].range = {-13, -1, 1, -7, kFlagManual};
    set_virtual_camera_setup(1, s);
    EXPECT_FALSE(cam->range(Control::Iris, r));
    EXPECT_TRUE(cam->range(Control::Zoom, r));
    EXPECT_FALSE(cam->get(Control::Zoom, v));
    EXPECT_TRUE(cam->set(Control::Pan, {5, kFlagManual}));
    ASSERT_TRUE(cam->get(Control::Pan, v));
    EXPECT_EQ(v.value, -1);
}

TEST_F(VirtualCameras, AStereoPairGivesEachCameraItsHalf) {
    testsupport::TempFolder dir("vcam_");
    plat::Surface pair(2 * 320, 240);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 640; ++x) pair.set_pixel(x, y, x < 320 ? 0x100000u * (y % 16) + x : 0x00FF00u + y);
    ASSERT_TRUE(plat::save_png(pair, dir.file("pair.png")).ok);
    use_virtual_cameras(3, dir.file("pair.png"));
    auto cam0 = open(0), cam1 = open(1), cam2 = open(2);
    ASSERT_TRUE(cam0 && cam1 && cam2);
    Collector c[3];
    const std::array<Camera*, 3> cams = {cam0.get(), cam1.get(), cam2.get()};
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(cams[i]->configure(60.0), Status::Ok);
        ASSERT_EQ(cams[i]->start(c[i].callback()), Status::Ok);
    }
    ASSERT_TRUE(testsupport::wait_until([&] { return c[0].count() && c[1].count() && c[2].count(); }, 5000));
    for (Camera* cam : cams) cam->stop(std::chrono::milliseconds(3000));
    int wrong = 0, third_from_pair = 0;
    for (int y = 0; y < kFrameHeight; ++y)
        for (int x = 0; x < kFrameWidth; ++x) {
            const std::size_t i = std::size_t(y) * kFrameWidth + x;
            wrong += c[0].last[i] != pair.pixel(x / 2, y / 2);
            wrong += c[1].last[i] != pair.pixel(320 + x / 2, y / 2);
            third_from_pair += c[2].last[i] == pair.pixel(x / 2, y / 2);
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_LT(third_from_pair, kFrameWidth * kFrameHeight / 10) << "the third camera shows its test picture";

    use_virtual_cameras(2, dir.file("missing.png"));
    EXPECT_EQ(open(0), nullptr);
}

TEST(CameraSource, WhatCannotFeedTheCamerasIsRefusedWithItsReasonAndNoWait) {
    testsupport::TempFolder dir("vcam_");
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_TRUE(plat::save_png(plat::Surface(1, 1), dir.file("dot.png")).ok);
    ASSERT_TRUE(plat::save_png(plat::Surface(2, 1), dir.file("two.png")).ok);
    std::vector<std::uint8_t> pair;
    ASSERT_TRUE(plat::encode_image(plat::Surface(64, 32), plat::ImageFormat::Png, 0, pair).ok);
    std::ofstream(dir.file("cut.png"), std::ios::binary).write(reinterpret_cast<const char*>(pair.data()),
                                                               std::streamsize(pair.size() / 2));
    const std::pair<std::string, std::string> cases[] = {
        {fifo, "\"" + fifo + "\": a FIFO, not a file"},
        {dir.str(), "\"" + dir.str() + "\": a directory, not a file"},
        {"/dev/null", "\"/dev/null\": a device, not a file"},
        {dir.file("dot.png"),
         "\"" + dir.file("dot.png") + "\" is 1 x 1 pixels: a stereo pair needs two halves side by side, at least 2 "
                                      "pixels across"},
        {dir.file("cut.png"), "\"" + dir.file("cut.png") + "\": truncated PNG file"},
        {dir.file("two.png"), ""},
    };
    for (const auto& [source, reason] : cases) {
        std::string why;
        EXPECT_EQ(camera_source_usable(source, why), reason.empty()) << source;
        EXPECT_EQ(why, reason);
    }
}

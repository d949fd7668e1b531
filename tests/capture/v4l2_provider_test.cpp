// The V4L2 provider against recorded device answers: which nodes are cameras,
// what is asked of them, how frames reach the callback, how controls map to
// V4L2 ids, and what happens when streaming stops or the device goes away.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

#include "fake_v4l2.h"
#include "plat/capture/capture.h"
#include "provider.h"
#include "support/wait_until.h"
#include "v4l2_io.h"

namespace plat::capture {
// Readable failures: gtest finds this by argument lookup.
static void PrintTo(Status s, std::ostream* os) { *os << status_text(s); }
}  // namespace plat::capture

namespace {

using namespace plat::capture;
using namespace std::chrono_literals;
using fake_v4l2::FakeV4l2;
using fake_v4l2::Node;

constexpr const char* kCam = "/dev/video0";

struct Rig {
    std::shared_ptr<FakeV4l2> fake = std::make_shared<FakeV4l2>();
    std::unique_ptr<Provider> provider = make_v4l2_provider(fake);

    explicit Rig(Node node = Node{}) { fake->add_node(kCam, std::move(node)); }
    std::unique_ptr<Camera> open(const char* path = kCam) { return provider->open({path, ""}); }
};

// A camera that gives 320 x 240 BGR24 with rows padded to 1000 bytes.
Node small_padded_camera() {
    Node n;
    n.answer_format = V4L2_PIX_FMT_BGR24;
    n.answer_width = 320;
    n.answer_height = 240;
    n.answer_bytesperline = 1000;
    return n;
}

// Frame `k` of a 320 x 240 BGR24 camera with 1000-byte rows: blue = column,
// green = row, red = 10 * (k + 1); the padding is 0xEE.
std::vector<std::uint8_t> small_frame(int k) {
    std::vector<std::uint8_t> f(1000 * 240, 0xEE);
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 320; ++x) {
            std::uint8_t* p = &f[std::size_t(y) * 1000 + std::size_t(x) * 3];
            p[0] = std::uint8_t(x);
            p[1] = std::uint8_t(y);
            p[2] = std::uint8_t(10 * (k + 1));
        }
    return f;
}

// ---- Enumeration -------------------------------------------------------------

TEST(V4l2Enumeration, CaptureNodesByNumberOthersSkippedAtMostEight) {
    auto fake = std::make_shared<FakeV4l2>();
    auto camera = [](std::string card) {
        Node n;
        n.card = std::move(card);
        return n;
    };
    auto with_caps = [](std::uint32_t capabilities, std::uint32_t device_caps) {
        Node n;
        n.capabilities = capabilities;
        n.device_caps = device_caps;
        return n;
    };
    constexpr std::uint32_t kDev = V4L2_CAP_DEVICE_CAPS;
    constexpr std::uint32_t kCapStream = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
    const std::string long_card(32, 'L');  // fills the field without a terminating zero

    fake->add_node("/dev/video10", camera("Ten"));
    fake->add_node("/dev/video2", camera(long_card));
    fake->add_node("/dev/video0", with_caps(kCapStream | V4L2_CAP_META_CAPTURE | kDev,
                                            V4L2_CAP_META_CAPTURE | V4L2_CAP_STREAMING));  // metadata node
    fake->add_node("/dev/video1", with_caps(V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING | kDev,
                                            V4L2_CAP_VIDEO_OUTPUT | V4L2_CAP_STREAMING));
    fake->add_node("/dev/video3", with_caps(V4L2_CAP_VIDEO_M2M | V4L2_CAP_STREAMING | kDev,
                                            V4L2_CAP_VIDEO_M2M | V4L2_CAP_STREAMING));
    fake->add_node("/dev/video4", with_caps(V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE | kDev,
                                            V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_READWRITE));  // no streaming
    Node old_driver = with_caps(kCapStream, 0);  // no device_caps: the device's caps count
    old_driver.card = "Old";
    fake->add_node("/dev/video5", old_driver);
    Node locked = camera("Locked");
    locked.refuse_open = true;
    fake->add_node("/dev/video7", locked);
    for (int n : {16, 15, 14, 13, 12, 11, 20}) fake->add_node("/dev/video" + std::to_string(n), camera("N"));

    auto provider = make_v4l2_provider(fake);
    std::vector<DeviceInfo> list = provider->list();

    std::vector<std::string> ids;
    for (const DeviceInfo& d : list) ids.push_back(d.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"/dev/video2", "/dev/video5", "/dev/video10", "/dev/video11",
                                             "/dev/video12", "/dev/video13", "/dev/video14", "/dev/video15"}));
    ASSERT_EQ(list.size(), 8u);
    EXPECT_EQ(list[0].name, long_card);
    EXPECT_EQ(list[1].name, "Old");
    EXPECT_EQ(list[2].name, "Ten");

    // Listing and refused opens leave no descriptor behind.
    EXPECT_EQ(provider->open({"/dev/video0", ""}), nullptr);
    EXPECT_EQ(provider->open({"/dev/video7", ""}), nullptr);
    for (const char* path : {"/dev/video0", "/dev/video2", "/dev/video7", "/dev/video10"})
        EXPECT_EQ(fake->counts(path).open_fds, 0) << path;

    auto cam = provider->open(list[2]);
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->name(), "Ten");
    EXPECT_EQ(fake->counts("/dev/video10").open_fds, 1);
    cam.reset();
    EXPECT_EQ(fake->counts("/dev/video10").open_fds, 0);
}

// ---- Format negotiation --------------------------------------------------------

TEST(V4l2Format, AsksFor640x480RgbTakesTheSizeGivenAndTheNearestInterval) {
    Node n = small_padded_camera();
    n.intervals = {{1, 30}, {1, 15}, {1, 5}};
    Rig rig(n);
    auto cam = rig.open();
    ASSERT_NE(cam, nullptr);

    ASSERT_EQ(cam->configure(24.0), Status::Ok);
    v4l2_pix_format asked = rig.fake->last_format_request(kCam);
    EXPECT_EQ(asked.width, 640u);
    EXPECT_EQ(asked.height, 480u);
    EXPECT_TRUE(asked.pixelformat == V4L2_PIX_FMT_BGR24 || asked.pixelformat == V4L2_PIX_FMT_RGB24);
    v4l2_fract t = rig.fake->last_timeperframe(kCam);
    EXPECT_EQ(t.numerator, 1u);
    EXPECT_EQ(t.denominator, 30u);

    ASSERT_EQ(cam->configure(12.0), Status::Ok);
    t = rig.fake->last_timeperframe(kCam);
    EXPECT_EQ(t.numerator, 1u);
    EXPECT_EQ(t.denominator, 15u);

    // A device without a choice of rate is not asked.
    Node fixed_rate = small_padded_camera();
    fixed_rate.timeperframe = false;
    Rig fixed(fixed_rate);
    auto fixed_cam = fixed.open();
    ASSERT_EQ(fixed_cam->configure(30.0), Status::Ok);
    EXPECT_EQ(fixed.fake->counts(kCam).s_parms, 0);
}

TEST(V4l2Format, AnswersFrameViewCannotCarryAreRefused) {
    struct Case {
        const char* what;
        std::uint32_t format, width, height, bytesperline;
        Status expected;
    };
    const Case cases[] = {
        {"yuyv", V4L2_PIX_FMT_YUYV, 640, 480, 1280, Status::FormatRefused},
        {"mjpeg", V4L2_PIX_FMT_MJPEG, 640, 480, 0, Status::FormatRefused},
        {"zero size", V4L2_PIX_FMT_BGR24, 0, 0, 0, Status::FormatRefused},
        {"rows shorter than pixels", V4L2_PIX_FMT_RGB24, 640, 480, 1000, Status::FormatRefused},
        {"rgb24", V4L2_PIX_FMT_RGB24, 640, 480, 0, Status::Ok},
        {"xbgr32", V4L2_PIX_FMT_XBGR32, 640, 480, 2560, Status::Ok},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Node n;
        n.answer_format = c.format;
        n.answer_width = c.width;
        n.answer_height = c.height;
        n.answer_bytesperline = c.bytesperline;
        Rig rig(n);
        auto cam = rig.open();
        ASSERT_NE(cam, nullptr);
        EXPECT_EQ(cam->configure(30.0), c.expected);
        if (c.expected != Status::Ok) {
            EXPECT_EQ(cam->start([](const FrameView&) {}), Status::NotConfigured);
        }
    }

    Rig refusing;
    refusing.fake->fail(VIDIOC_S_FMT, EINVAL);
    auto cam = refusing.open();
    EXPECT_EQ(cam->configure(30.0), Status::FormatRefused);
}

// ---- Starting and stopping ---------------------------------------------------------

TEST(V4l2Start, StatusFollowsTheCameraState) {
    Rig rig;
    auto cam = rig.open();
    ASSERT_NE(cam, nullptr);
    EXPECT_EQ(cam->start([](const FrameView&) {}), Status::NotConfigured);
    ASSERT_EQ(cam->configure(30.0), Status::Ok);
    ASSERT_EQ(cam->start([](const FrameView&) {}), Status::Ok);
    EXPECT_EQ(cam->configure(30.0), Status::Running);
    EXPECT_EQ(cam->start([](const FrameView&) {}), Status::Running);
    EXPECT_TRUE(cam->stop(1s));
    EXPECT_TRUE(cam->stop(1s));  // stopping twice is harmless
    EXPECT_EQ(cam->configure(15.0), Status::Ok);
    EXPECT_EQ(cam->start([](const FrameView&) {}), Status::Ok);

    // The destructor stops and closes.
    cam.reset();
    FakeV4l2::Counts c = rig.fake->counts(kCam);
    EXPECT_FALSE(c.streaming);
    EXPECT_EQ(c.mapped, 0);
    EXPECT_EQ(c.reqbufs_release, 2);
    EXPECT_EQ(c.open_fds, 0);
}

TEST(V4l2Start, AFailureOnTheWayReleasesEverythingAndTheNextStartWorks) {
    struct Case {
        const char* what;
        std::function<void(FakeV4l2&)> inject;
        bool buffers_were_allocated;
    };
    const Case cases[] = {
        {"reqbufs", [](FakeV4l2& f) { f.fail(VIDIOC_REQBUFS, ENOMEM); }, false},
        {"second querybuf", [](FakeV4l2& f) { f.fail(VIDIOC_QUERYBUF, EINVAL, 1); }, true},
        {"third mmap", [](FakeV4l2& f) { f.fail_mmap(2); }, true},
        {"last qbuf", [](FakeV4l2& f) { f.fail(VIDIOC_QBUF, EIO, 3); }, true},
        {"streamon", [](FakeV4l2& f) { f.fail(VIDIOC_STREAMON, EIO); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        auto cam = rig.open();
        ASSERT_EQ(cam->configure(30.0), Status::Ok);
        c.inject(*rig.fake);
        std::atomic<int> frames{0};
        EXPECT_EQ(cam->start([&](const FrameView&) { ++frames; }), Status::StreamFailed);
        FakeV4l2::Counts after = rig.fake->counts(kCam);
        EXPECT_EQ(after.mapped, 0);
        EXPECT_EQ(after.mmaps, after.munmaps);
        EXPECT_EQ(after.reqbufs_release, c.buffers_were_allocated ? 1 : 0);
        EXPECT_FALSE(after.streaming);

        // Nothing was left behind that would make the device refuse a new start.
        ASSERT_EQ(cam->start([&](const FrameView&) { ++frames; }), Status::Ok);
        rig.fake->push_frame(kCam, std::vector<std::uint8_t>(640 * 480 * 3), 1.0);
        EXPECT_TRUE(testsupport::wait_until([&] { return frames.load() == 1; }));
        EXPECT_TRUE(cam->stop(1s));
        EXPECT_EQ(rig.fake->counts(kCam).mapped, 0);
    }
}

// ---- Frames ----------------------------------------------------------------------

TEST(V4l2Frames, ArriveOnTheCameraThreadWithStrideHonouredAndTimesRising) {
    Node n = small_padded_camera();
    n.controls[V4L2_CID_BRIGHTNESS] = fake_v4l2::integer_control(V4L2_CID_BRIGHTNESS, 0, 255, 1, 128);
    Rig rig(n);
    auto cam = rig.open();
    ASSERT_EQ(cam->configure(30.0), Status::Ok);

    struct Seen {
        std::thread::id thread;
        int width, height;
        std::ptrdiff_t stride;
        PixelLayout layout;
        double time;
        std::size_t copied;
        int wrong_pixels;
    };
    std::mutex m;
    std::vector<Seen> seen;
    ASSERT_EQ(cam->start([&](const FrameView& f) {
                  std::vector<std::uint8_t> block(kFrameBytes);
                  std::size_t copied = copy_frame(f, block.data(), block.size());
                  int k;
                  {
                      std::lock_guard lock(m);
                      k = int(seen.size());
                  }
                  // 320 x 240 doubled: destination (x, y) shows source (x / 2, y / 2).
                  int wrong = 0;
                  for (int y = 0; y < kFrameHeight; ++y)
                      for (int x = 0; x < kFrameWidth; ++x) {
                          std::uint32_t w;
                          std::memcpy(&w, &block[(std::size_t(y) * kFrameWidth + x) * 4], 4);
                          std::uint32_t want = std::uint32_t(10 * (k + 1)) << 16 | std::uint32_t(y / 2) << 8 |
                                               std::uint32_t(std::uint8_t(x / 2));
                          wrong += w != want;
                      }
                  std::lock_guard lock(m);
                  seen.push_back({std::this_thread::get_id(), f.width, f.height, f.stride, f.layout, f.time,
                                  copied, wrong});
              }),
              Status::Ok);

    rig.fake->push_frame(kCam, small_frame(0), 500.000);
    rig.fake->push_frame(kCam, small_frame(1), 500.040);
    // Controls from this thread while the camera's thread delivers.
    EXPECT_TRUE(cam->set(Control::Brightness, {200, kFlagManual}));
    rig.fake->push_frame(kCam, small_frame(2), 500.080);
    ControlValue v;
    EXPECT_TRUE(cam->get(Control::Brightness, v));
    EXPECT_EQ(v.value, 200);

    ASSERT_TRUE(testsupport::wait_until([&] {
        std::lock_guard lock(m);
        return seen.size() == 3;
    }));
    EXPECT_TRUE(cam->stop(1s));

    const double want_times[] = {0.0, 0.040, 0.080};
    for (std::size_t i = 0; i < seen.size(); ++i) {
        SCOPED_TRACE(i);
        const Seen& s = seen[i];
        EXPECT_NE(s.thread, std::this_thread::get_id());
        EXPECT_EQ(s.thread, seen[0].thread);
        EXPECT_EQ(s.width, 320);
        EXPECT_EQ(s.height, 240);
        EXPECT_EQ(s.stride, 1000);
        EXPECT_EQ(s.layout, PixelLayout::Bgr24);
        EXPECT_NEAR(s.time, want_times[i], 1e-5);
        EXPECT_EQ(s.copied, kFrameBytes);
        EXPECT_EQ(s.wrong_pixels, 0);
    }
}

// ---- Controls ----------------------------------------------------------------------

TEST(V4l2Controls, RangesValuesAndAutoSwitchesMapToV4l2Ids) {
    using namespace fake_v4l2;
    Node n;
    n.controls[V4L2_CID_BRIGHTNESS] = integer_control(V4L2_CID_BRIGHTNESS, -64, 64, 2, 0);
    fake_v4l2::Control zoom = integer_control(V4L2_CID_ZOOM_ABSOLUTE, 100, 500, 1, 100);
    zoom.query.flags = V4L2_CTRL_FLAG_DISABLED;
    n.controls[V4L2_CID_ZOOM_ABSOLUTE] = zoom;
    n.controls[V4L2_CID_WHITE_BALANCE_TEMPERATURE] =
        integer_control(V4L2_CID_WHITE_BALANCE_TEMPERATURE, 2800, 6500, 10, 4600);
    n.controls[V4L2_CID_AUTO_WHITE_BALANCE] = boolean_control(V4L2_CID_AUTO_WHITE_BALANCE, true);
    n.controls[V4L2_CID_HUE] = integer_control(V4L2_CID_HUE, -180, 180, 1, 0);
    fake_v4l2::Control hue_auto = boolean_control(V4L2_CID_HUE_AUTO, false);
    hue_auto.query.flags = V4L2_CTRL_FLAG_DISABLED;
    n.controls[V4L2_CID_HUE_AUTO] = hue_auto;
    n.controls[V4L2_CID_FOCUS_ABSOLUTE] = integer_control(V4L2_CID_FOCUS_ABSOLUTE, 0, 250, 5, 0);
    n.controls[V4L2_CID_FOCUS_AUTO] = boolean_control(V4L2_CID_FOCUS_AUTO, false);
    n.controls[V4L2_CID_GAIN] = integer_control(V4L2_CID_GAIN, 0, 100, 1, 10);
    n.controls[V4L2_CID_AUTOGAIN] = boolean_control(V4L2_CID_AUTOGAIN, false);
    Rig rig(n);
    auto cam = rig.open();
    ASSERT_NE(cam, nullptr);

    ControlRange r;
    ControlValue v;
    // A manual-only control.
    ASSERT_TRUE(cam->range(plat::capture::Control::Brightness, r));
    EXPECT_EQ(r.min, -64);
    EXPECT_EQ(r.max, 64);
    EXPECT_EQ(r.step, 2);
    EXPECT_EQ(r.default_value, 0);
    EXPECT_EQ(r.flags, kFlagManual);
    EXPECT_TRUE(cam->set(plat::capture::Control::Brightness, {10, kFlagManual}));
    EXPECT_FALSE(cam->set(plat::capture::Control::Brightness, {0, kFlagAuto}));
    ASSERT_TRUE(cam->get(plat::capture::Control::Brightness, v));
    EXPECT_EQ(v.value, 10);
    EXPECT_EQ(v.flags, kFlagManual);

    // Absent, disabled and impossible controls are not offered.
    EXPECT_FALSE(cam->range(plat::capture::Control::Contrast, r));
    EXPECT_FALSE(cam->get(plat::capture::Control::Contrast, v));
    EXPECT_FALSE(cam->set(plat::capture::Control::Contrast, {1, kFlagManual}));
    EXPECT_FALSE(cam->range(plat::capture::Control::Zoom, r));
    EXPECT_FALSE(cam->range(plat::capture::Control::Roll, r));
    // A disabled auto control leaves the control manual only.
    ASSERT_TRUE(cam->range(plat::capture::Control::Hue, r));
    EXPECT_EQ(r.flags, kFlagManual);
    EXPECT_FALSE(cam->set(plat::capture::Control::Hue, {0, kFlagAuto}));

    // White balance: temperature with the auto white balance switch.
    ASSERT_TRUE(cam->range(plat::capture::Control::WhiteBalance, r));
    EXPECT_EQ(r.min, 2800);
    EXPECT_EQ(r.max, 6500);
    EXPECT_EQ(r.step, 10);
    EXPECT_EQ(r.flags, kFlagAuto | kFlagManual);
    ASSERT_TRUE(cam->get(plat::capture::Control::WhiteBalance, v));
    EXPECT_EQ(v.flags, kFlagAuto);
    EXPECT_EQ(v.value, 4600);
    EXPECT_TRUE(cam->set(plat::capture::Control::WhiteBalance, {5000, kFlagManual}));
    using Writes = std::vector<std::pair<std::uint32_t, std::int32_t>>;
    EXPECT_EQ(rig.fake->control_writes(kCam),
              (Writes{{V4L2_CID_BRIGHTNESS, 10}, {V4L2_CID_AUTO_WHITE_BALANCE, 0},
                      {V4L2_CID_WHITE_BALANCE_TEMPERATURE, 5000}}));
    ASSERT_TRUE(cam->get(plat::capture::Control::WhiteBalance, v));
    EXPECT_EQ(v.value, 5000);
    EXPECT_EQ(v.flags, kFlagManual);
    EXPECT_TRUE(cam->set(plat::capture::Control::WhiteBalance, {1234, kFlagAuto}));
    EXPECT_EQ(rig.fake->control_value(kCam, V4L2_CID_AUTO_WHITE_BALANCE), 1);
    EXPECT_EQ(rig.fake->control_value(kCam, V4L2_CID_WHITE_BALANCE_TEMPERATURE), 5000);
    ASSERT_TRUE(cam->get(plat::capture::Control::WhiteBalance, v));
    EXPECT_EQ(v.flags, kFlagAuto);
    // Values beyond the range land on its edge rather than being refused.
    EXPECT_TRUE(cam->set(plat::capture::Control::WhiteBalance, {99999, kFlagManual}));
    EXPECT_EQ(rig.fake->control_value(kCam, V4L2_CID_WHITE_BALANCE_TEMPERATURE), 6500);

    // Focus and gain go through their own switches.
    EXPECT_TRUE(cam->set(plat::capture::Control::Focus, {0, kFlagAuto}));
    EXPECT_EQ(rig.fake->control_value(kCam, V4L2_CID_FOCUS_AUTO), 1);
    EXPECT_TRUE(cam->set(plat::capture::Control::Gain, {0, kFlagAuto}));
    EXPECT_EQ(rig.fake->control_value(kCam, V4L2_CID_AUTOGAIN), 1);
    EXPECT_TRUE(cam->set(plat::capture::Control::Gain, {42, kFlagManual}));
    EXPECT_EQ(rig.fake->control_value(kCam, V4L2_CID_AUTOGAIN), 0);
    EXPECT_EQ(rig.fake->control_value(kCam, V4L2_CID_GAIN), 42);
}

TEST(V4l2Controls, ExposureAutoTakesTheModeTheMenuOffers) {
    using namespace fake_v4l2;
    struct Case {
        const char* what;
        std::set<std::uint32_t> menu;
        bool offers_auto;
        std::int32_t automatic;
    };
    const Case cases[] = {
        {"full menu", {V4L2_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL, V4L2_EXPOSURE_SHUTTER_PRIORITY,
                       V4L2_EXPOSURE_APERTURE_PRIORITY}, true, V4L2_EXPOSURE_AUTO},
        {"aperture priority only", {V4L2_EXPOSURE_MANUAL, V4L2_EXPOSURE_APERTURE_PRIORITY}, true,
         V4L2_EXPOSURE_APERTURE_PRIORITY},
        {"manual only", {V4L2_EXPOSURE_MANUAL}, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Node n;
        n.controls[V4L2_CID_EXPOSURE_ABSOLUTE] = integer_control(V4L2_CID_EXPOSURE_ABSOLUTE, 3, 2047, 1, 250);
        n.controls[V4L2_CID_EXPOSURE_AUTO] = menu_control(V4L2_CID_EXPOSURE_AUTO, 0, 3, c.menu, V4L2_EXPOSURE_MANUAL);
        Rig rig(n);
        auto cam = rig.open();
        ControlRange r;
        ControlValue v;
        ASSERT_TRUE(cam->range(plat::capture::Control::Exposure, r));
        EXPECT_EQ(r.flags, c.offers_auto ? (kFlagAuto | kFlagManual) : kFlagManual);
        ASSERT_TRUE(cam->get(plat::capture::Control::Exposure, v));
        EXPECT_EQ(v.flags, kFlagManual);
        EXPECT_EQ(v.value, 250);

        EXPECT_EQ(cam->set(plat::capture::Control::Exposure, {0, kFlagAuto}), c.offers_auto);
        if (!c.offers_auto) continue;
        EXPECT_EQ(rig.fake->control_value(kCam, V4L2_CID_EXPOSURE_AUTO), c.automatic);
        ASSERT_TRUE(cam->get(plat::capture::Control::Exposure, v));
        EXPECT_EQ(v.flags, kFlagAuto);

        EXPECT_TRUE(cam->set(plat::capture::Control::Exposure, {300, kFlagManual}));
        using Writes = std::vector<std::pair<std::uint32_t, std::int32_t>>;
        EXPECT_EQ(rig.fake->control_writes(kCam),
                  (Writes{{V4L2_CID_EXPOSURE_AUTO, c.automatic},
                          {V4L2_CID_EXPOSURE_AUTO, V4L2_EXPOSURE_MANUAL},
                          {V4L2_CID_EXPOSURE_ABSOLUTE, 300}}));
        ASSERT_TRUE(cam->get(plat::capture::Control::Exposure, v));
        EXPECT_EQ(v.flags, kFlagManual);
        EXPECT_EQ(v.value, 300);
    }
}

TEST(V4l2Controls, ColorEnableIsTheColorEffectMenuWhenItOffersBlackAndWhite) {
    using namespace fake_v4l2;
    Node n;
    n.controls[V4L2_CID_COLORFX] = menu_control(V4L2_CID_COLORFX, 0, 15,
                                                {V4L2_COLORFX_NONE, V4L2_COLORFX_BW, V4L2_COLORFX_SEPIA},
                                                V4L2_COLORFX_NONE);
    Rig rig(n);
    auto cam = rig.open();
    ControlRange r;
    ControlValue v;
    ASSERT_TRUE(cam->range(plat::capture::Control::ColorEnable, r));
    EXPECT_EQ(r.min, 0);
    EXPECT_EQ(r.max, 1);
    EXPECT_EQ(r.default_value, 1);
    EXPECT_EQ(r.flags, kFlagManual);
    EXPECT_TRUE(cam->set(plat::capture::Control::ColorEnable, {0, kFlagManual}));
    EXPECT_EQ(rig.fake->control_value(kCam, V4L2_CID_COLORFX), V4L2_COLORFX_BW);
    ASSERT_TRUE(cam->get(plat::capture::Control::ColorEnable, v));
    EXPECT_EQ(v.value, 0);
    EXPECT_TRUE(cam->set(plat::capture::Control::ColorEnable, {1, kFlagManual}));
    EXPECT_EQ(rig.fake->control_value(kCam, V4L2_CID_COLORFX), V4L2_COLORFX_NONE);
    ASSERT_TRUE(cam->get(plat::capture::Control::ColorEnable, v));
    EXPECT_EQ(v.value, 1);
    EXPECT_FALSE(cam->set(plat::capture::Control::ColorEnable, {1, kFlagAuto}));

    Node sepia_only;
    sepia_only.controls[V4L2_CID_COLORFX] =
        menu_control(V4L2_CID_COLORFX, 0, 15, {V4L2_COLORFX_NONE, V4L2_COLORFX_SEPIA}, V4L2_COLORFX_NONE);
    Rig other(sepia_only);
    auto other_cam = other.open();
    EXPECT_FALSE(other_cam->range(plat::capture::Control::ColorEnable, r));
    EXPECT_FALSE(other_cam->set(plat::capture::Control::ColorEnable, {0, kFlagManual}));
    EXPECT_TRUE(other.fake->control_writes(kCam).empty());
}

// ---- Unplugging and stopping ------------------------------------------------------

TEST(V4l2Unplug, StreamingEndsQuietlyAndStopStillReleases) {
    Rig rig;
    auto cam = rig.open();
    ASSERT_EQ(cam->configure(30.0), Status::Ok);
    std::atomic<int> frames{0};
    ASSERT_EQ(cam->start([&](const FrameView&) { ++frames; }), Status::Ok);
    rig.fake->push_frame(kCam, std::vector<std::uint8_t>(640 * 480 * 3), 1.0);
    ASSERT_TRUE(testsupport::wait_until([&] { return frames.load() == 1; }));

    rig.fake->unplug(kCam);
    rig.fake->push_frame(kCam, std::vector<std::uint8_t>(640 * 480 * 3), 1.1);
    // The thread gives up instead of polling a dead device forever.
    std::this_thread::sleep_for(150ms);
    const int waits = rig.fake->counts(kCam).waits;
    std::this_thread::sleep_for(250ms);
    EXPECT_EQ(rig.fake->counts(kCam).waits, waits);
    EXPECT_EQ(frames.load(), 1);

    EXPECT_TRUE(cam->stop(1s));
    EXPECT_EQ(rig.fake->counts(kCam).mapped, 0);
    ControlValue v;
    EXPECT_FALSE(cam->get(plat::capture::Control::Brightness, v));
    cam.reset();
    EXPECT_EQ(rig.fake->counts(kCam).open_fds, 0);
}

TEST(V4l2Stop, NoCallbackRunsAfterStopReturns) {
    Rig rig;
    auto cam = rig.open();
    ASSERT_EQ(cam->configure(30.0), Status::Ok);
    std::atomic<int> frames{0};
    std::atomic<bool> stopped{false};
    std::atomic<int> late{0};
    ASSERT_EQ(cam->start([&](const FrameView&) {
                  if (stopped.load()) ++late;
                  ++frames;
                  std::this_thread::sleep_for(1ms);
              }),
              Status::Ok);
    std::atomic<bool> pushing{true};
    std::thread pusher([&] {
        for (int k = 0; pushing.load(); ++k) {
            rig.fake->push_frame(kCam, std::vector<std::uint8_t>(640 * 480 * 3), 1.0 + k * 0.01);
            std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(testsupport::wait_until([&] { return frames.load() >= 5; }));
    EXPECT_TRUE(cam->stop(1s));
    stopped.store(true);
    const int at_stop = frames.load();
    std::this_thread::sleep_for(100ms);
    pushing.store(false);
    pusher.join();
    EXPECT_EQ(frames.load(), at_stop);
    EXPECT_EQ(late.load(), 0);
    FakeV4l2::Counts c = rig.fake->counts(kCam);
    EXPECT_FALSE(c.streaming);
    EXPECT_EQ(c.streamoffs, 1);
    EXPECT_EQ(c.mapped, 0);
    EXPECT_EQ(c.reqbufs_release, 1);
}

TEST(V4l2Stop, ASlowCallbackMakesStopFailButNothingFollowsIt) {
    Rig rig;
    auto cam = rig.open();
    ASSERT_EQ(cam->configure(30.0), Status::Ok);
    std::mutex m;
    std::condition_variable cv;
    bool inside = false, release = false;
    std::atomic<int> frames{0};
    ASSERT_EQ(cam->start([&](const FrameView&) {
                  ++frames;
                  std::unique_lock lock(m);
                  inside = true;
                  cv.notify_all();
                  cv.wait(lock, [&] { return release; });
              }),
              Status::Ok);
    rig.fake->push_frame(kCam, std::vector<std::uint8_t>(640 * 480 * 3), 1.0);
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, 2s, [&] { return inside; }));
    }
    rig.fake->push_frame(kCam, std::vector<std::uint8_t>(640 * 480 * 3), 1.1);
    EXPECT_FALSE(cam->stop(50ms));
    // The camera can go while its thread is still stuck; the thread then
    // releases the buffers and the device itself.
    cam.reset();
    EXPECT_EQ(rig.fake->counts(kCam).open_fds, 1);
    {
        std::lock_guard lock(m);
        release = true;
        cv.notify_all();
    }
    EXPECT_TRUE(testsupport::wait_until([&] { return rig.fake->counts(kCam).open_fds == 0; }));
    FakeV4l2::Counts c = rig.fake->counts(kCam);
    EXPECT_EQ(c.mapped, 0);
    EXPECT_EQ(c.reqbufs_release, 1);
    EXPECT_EQ(frames.load(), 1);
}

}  // namespace

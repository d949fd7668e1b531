#include "v4l2_format.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <optional>

namespace plat::capture {
namespace {

// BGR24 is the byte order of the destination words, so the conversion after
// it is the cheapest.
constexpr std::uint32_t kRequestedFormat = V4L2_PIX_FMT_BGR24;

std::optional<PixelLayout> layout_of(std::uint32_t fourcc) {
    switch (fourcc) {
        case V4L2_PIX_FMT_BGR24: return PixelLayout::Bgr24;
        case V4L2_PIX_FMT_RGB24: return PixelLayout::Rgb24;
        // Both are B, G, R, unused byte in memory.
        case V4L2_PIX_FMT_XBGR32:
        case V4L2_PIX_FMT_BGR32: return PixelLayout::Xrgb32;
        default: return std::nullopt;
    }
}

int bytes_per_pixel(PixelLayout l) { return l == PixelLayout::Xrgb32 ? 4 : 3; }

// The discrete interval nearest to 1/fps, or 1/fps itself when the device
// lists none (stepwise ranges: the driver rounds to its nearest).
v4l2_fract interval_for(const V4l2Device& device, const v4l2_pix_format& pix, double fps) {
    const double wanted = 1.0 / fps;
    std::optional<v4l2_fract> best;
    double best_diff = 0.0;
    for (std::uint32_t i = 0; i < 64; ++i) {
        v4l2_frmivalenum e{};
        e.index = i;
        e.pixel_format = pix.pixelformat;
        e.width = pix.width;
        e.height = pix.height;
        if (device.ioctl(VIDIOC_ENUM_FRAMEINTERVALS, &e) < 0) break;
        if (e.type != V4L2_FRMIVAL_TYPE_DISCRETE) break;
        if (e.discrete.numerator == 0 || e.discrete.denominator == 0) continue;
        double seconds = double(e.discrete.numerator) / e.discrete.denominator;
        double diff = std::fabs(seconds - wanted);
        if (!best || diff < best_diff) {
            best = e.discrete;
            best_diff = diff;
        }
    }
    if (best) return *best;
    double rounded = std::round(fps);
    if (std::fabs(fps - rounded) < 1e-6) return {1, std::uint32_t(rounded)};
    return {1000, std::uint32_t(std::lround(fps * 1000.0))};
}

void set_frame_rate(const V4l2Device& device, const v4l2_pix_format& pix, double fps) {
    if (!(fps >= 0.01) || fps > 1000.0) return;
    v4l2_streamparm parm{};
    parm.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (device.ioctl(VIDIOC_G_PARM, &parm) < 0) return;
    if (!(parm.parm.capture.capability & V4L2_CAP_TIMEPERFRAME)) return;
    parm.parm.capture.timeperframe = interval_for(device, pix, fps);
    // The rate is a wish: a device that refuses it still streams.
    (void)device.ioctl(VIDIOC_S_PARM, &parm);
}

}  // namespace

Status negotiate_format(const V4l2Device& device, double fps, V4l2FrameFormat& out) {
    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = kFrameWidth;
    fmt.fmt.pix.height = kFrameHeight;
    fmt.fmt.pix.pixelformat = kRequestedFormat;
    fmt.fmt.pix.field = V4L2_FIELD_ANY;
    int r = device.ioctl(VIDIOC_S_FMT, &fmt);
    if (r == -ENODEV) return Status::NoDevice;
    if (r < 0) return Status::FormatRefused;

    const v4l2_pix_format& pix = fmt.fmt.pix;
    std::optional<PixelLayout> layout = layout_of(pix.pixelformat);
    if (!layout || pix.width == 0 || pix.height == 0 || pix.width > 16384 || pix.height > 16384)
        return Status::FormatRefused;
    const std::ptrdiff_t row = std::ptrdiff_t(pix.width) * bytes_per_pixel(*layout);
    const std::ptrdiff_t stride = pix.bytesperline ? std::ptrdiff_t(pix.bytesperline) : row;
    if (stride < row) return Status::FormatRefused;

    set_frame_rate(device, pix, fps);

    out.width = int(pix.width);
    out.height = int(pix.height);
    out.stride = stride;
    out.layout = *layout;
    return Status::Ok;
}

}  // namespace plat::capture

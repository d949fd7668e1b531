// Format and frame rate negotiation with a V4L2 capture node.
#pragma once

#include <cstddef>

#include "plat/capture/capture.h"
#include "v4l2_device.h"

namespace plat::capture {

struct V4l2FrameFormat {
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;
    PixelLayout layout = PixelLayout::Bgr24;
};

// Asks for kFrameWidth x kFrameHeight in a 24-bit RGB layout (which libv4l2
// converts to from whatever the camera sends) and accepts the size the device
// gives; then asks for the frame interval nearest to 1/fps where the device
// lets us choose. FormatRefused when the answer is not something FrameView can
// carry.
Status negotiate_format(const V4l2Device& device, double fps, V4l2FrameFormat& out);

}  // namespace plat::capture

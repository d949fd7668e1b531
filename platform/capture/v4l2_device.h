// One open device node, shared by a camera and its streaming thread so the
// descriptor outlives a thread that is still ending after its camera is gone.
#pragma once

#include <linux/videodev2.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "v4l2_io.h"

namespace plat::capture {

class V4l2Device {
public:
    V4l2Device(std::shared_ptr<V4l2Io> io, int fd) : io_(std::move(io)), fd_(fd) {}
    ~V4l2Device() { io_->close(fd_); }
    V4l2Device(const V4l2Device&) = delete;
    V4l2Device& operator=(const V4l2Device&) = delete;

    // >= 0 on success, or -errno.
    int ioctl(unsigned long request, void* arg) const { return io_->ioctl(fd_, request, arg); }
    V4l2Io& io() const { return *io_; }
    int fd() const { return fd_; }

private:
    std::shared_ptr<V4l2Io> io_;
    int fd_;
};

// The capabilities of the node itself: device_caps when the driver fills
// it, otherwise those of the whole device.
inline std::uint32_t node_caps(const v4l2_capability& cap) {
    return (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
}

inline bool can_stream_video(const v4l2_capability& cap) {
    std::uint32_t caps = node_caps(cap);
    return (caps & V4L2_CAP_VIDEO_CAPTURE) && (caps & V4L2_CAP_STREAMING);
}

// The card name; the kernel does not promise a terminating zero.
inline std::string card_name(const v4l2_capability& cap) {
    const char* card = reinterpret_cast<const char*>(cap.card);
    return std::string(card, strnlen(card, sizeof cap.card));
}

}  // namespace plat::capture

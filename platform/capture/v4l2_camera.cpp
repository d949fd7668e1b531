#include "v4l2_camera.h"

#include <utility>

#include "v4l2_controls.h"

namespace plat::capture {

namespace {
// What the destructor gives a thread that is inside a slow callback.
constexpr std::chrono::milliseconds kCloseTimeout{2000};
}  // namespace

V4l2Camera::V4l2Camera(std::shared_ptr<V4l2Device> device, std::string name)
    : device_(std::move(device)), name_(std::move(name)) {}

V4l2Camera::~V4l2Camera() {
    // A thread that does not end in time keeps the device open until it does.
    stop(kCloseTimeout);
}

Status V4l2Camera::configure(double fps) {
    std::lock_guard lock(mutex_);
    if (stream_) return Status::Running;
    V4l2FrameFormat f;
    Status s = negotiate_format(*device_, fps, f);
    if (s == Status::Ok) {
        format_ = f;
    } else {
        format_.reset();
    }
    return s;
}

Status V4l2Camera::start(FrameCallback on_frame) {
    std::lock_guard lock(mutex_);
    if (stream_) return Status::Running;
    if (!format_) return Status::NotConfigured;
    Status s = Status::Ok;
    std::shared_ptr<V4l2Stream> stream = V4l2Stream::start(device_, *format_, std::move(on_frame), s);
    if (!stream) return s;
    stream_ = stream;
    thread_ = std::thread([stream = std::move(stream)] { stream->run(); });
    return Status::Ok;
}

bool V4l2Camera::stop(std::chrono::milliseconds timeout) {
    std::lock_guard lock(mutex_);
    if (!stream_) return true;
    const bool ended = stream_->stop(std::chrono::steady_clock::now() + timeout);
    if (ended) {
        thread_.join();
    } else {
        // It calls nothing more and releases the buffers when it ends.
        thread_.detach();
    }
    // The last owner releases the buffers: here when the thread has ended.
    stream_.reset();
    return ended;
}

bool V4l2Camera::range(Control c, ControlRange& out) { return v4l2_control_range(*device_, c, out); }
bool V4l2Camera::get(Control c, ControlValue& out) { return v4l2_control_get(*device_, c, out); }
bool V4l2Camera::set(Control c, ControlValue v) { return v4l2_control_set(*device_, c, v); }

}  // namespace plat::capture

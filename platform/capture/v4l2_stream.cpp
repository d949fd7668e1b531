#include "v4l2_stream.h"

#include <cerrno>
#include <utility>

namespace plat::capture {
namespace {

constexpr std::uint32_t kBufferCount = 4;
// How long the loop sleeps in poll before looking at the stop flag again.
constexpr int kWaitMs = 100;

v4l2_buffer mmap_buffer(std::uint32_t index) {
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    b.index = index;
    return b;
}

// Worth another try; any other error means the device is gone (ENODEV,
// EIO, ...) or broken, and the loop ends.
bool is_transient(int err) { return err == -EAGAIN || err == -EINTR; }

}  // namespace

V4l2Stream::V4l2Stream(std::shared_ptr<V4l2Device> device, const V4l2FrameFormat& format,
                       FrameCallback on_frame)
    : device_(std::move(device)), format_(format), on_frame_(std::move(on_frame)) {}

std::shared_ptr<V4l2Stream> V4l2Stream::start(std::shared_ptr<V4l2Device> device,
                                              const V4l2FrameFormat& format, FrameCallback on_frame,
                                              Status& status) {
    std::shared_ptr<V4l2Stream> s(new V4l2Stream(std::move(device), format, std::move(on_frame)));
    status = s->setup();
    if (status != Status::Ok) return nullptr;  // the destructor releases what setup got
    return s;
}

Status V4l2Stream::setup() {
    auto fail = [](int r) { return r == -ENODEV ? Status::NoDevice : Status::StreamFailed; };

    v4l2_requestbuffers req{};
    req.count = kBufferCount;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    if (int r = device_->ioctl(VIDIOC_REQBUFS, &req); r < 0) return fail(r);
    requested_ = true;
    if (req.count == 0) return Status::StreamFailed;

    for (std::uint32_t i = 0; i < req.count; ++i) {
        v4l2_buffer b = mmap_buffer(i);
        if (int r = device_->ioctl(VIDIOC_QUERYBUF, &b); r < 0) return fail(r);
        void* p = device_->io().mmap(device_->fd(), b.length, b.m.offset);
        if (!p) return Status::StreamFailed;
        buffers_.push_back({p, b.length});
    }
    for (std::uint32_t i = 0; i < buffers_.size(); ++i) {
        v4l2_buffer b = mmap_buffer(i);
        if (int r = device_->ioctl(VIDIOC_QBUF, &b); r < 0) return fail(r);
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (int r = device_->ioctl(VIDIOC_STREAMON, &type); r < 0) return fail(r);
    streaming_ = true;
    stream_on_time_ = std::chrono::steady_clock::now();
    return Status::Ok;
}

V4l2Stream::~V4l2Stream() { release(); }

void V4l2Stream::release() {
    // Failures here mean the device is gone; the mappings still need undoing.
    if (streaming_) {
        int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        (void)device_->ioctl(VIDIOC_STREAMOFF, &type);
        streaming_ = false;
    }
    for (const Buffer& b : buffers_) device_->io().munmap(b.data, b.length);
    buffers_.clear();
    if (requested_) {
        // After the munmaps: drivers refuse to free buffers that are still mapped.
        v4l2_requestbuffers req{};
        req.count = 0;
        req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        req.memory = V4L2_MEMORY_MMAP;
        (void)device_->ioctl(VIDIOC_REQBUFS, &req);
        requested_ = false;
    }
}

void V4l2Stream::run() {
    while (!stop_requested_.load()) {
        int r = device_->io().wait_readable(device_->fd(), kWaitMs);
        if (r == 0) continue;
        if (r < 0) break;  // unplugged or broken: end quietly

        v4l2_buffer b = mmap_buffer(0);
        r = device_->ioctl(VIDIOC_DQBUF, &b);
        if (is_transient(r)) continue;
        if (r < 0) break;
        if (b.index >= buffers_.size()) break;  // a driver we cannot trust

        if (!(b.flags & V4L2_BUF_FLAG_ERROR)) deliver(b);
        if (device_->ioctl(VIDIOC_QBUF, &b) < 0) break;
    }
    std::lock_guard lock(state_mutex_);
    finished_ = true;
    finished_cv_.notify_all();
}

double V4l2Stream::frame_time(const v4l2_buffer& buf) {
    const double stamp = double(buf.timestamp.tv_sec) + double(buf.timestamp.tv_usec) * 1e-6;
    if (!have_first_) {
        have_first_ = true;
        // Some drivers leave the timestamp empty; then our own clock is all we have.
        use_buffer_clock_ = stamp > 0.0;
        first_buffer_time_ = stamp;
    }
    double t = use_buffer_clock_
                   ? stamp - first_buffer_time_
                   : std::chrono::duration<double>(std::chrono::steady_clock::now() - stream_on_time_).count();
    // Callers pace and order frames by this; never let it run backwards.
    if (t < last_time_) t = last_time_;
    last_time_ = t;
    return t;
}

void V4l2Stream::deliver(const v4l2_buffer& buf) {
    const Buffer& mapped = buffers_[buf.index];
    FrameView view;
    view.data = static_cast<const std::uint8_t*>(mapped.data);
    view.length = (buf.bytesused && buf.bytesused <= mapped.length) ? buf.bytesused : mapped.length;
    view.width = format_.width;
    view.height = format_.height;
    view.stride = format_.stride;
    view.layout = format_.layout;
    view.time = frame_time(buf);

    // Checked right before the call: once stop() has set the flag, no new
    // callback begins.
    if (stop_requested_.load()) return;
    if (on_frame_) on_frame_(view);
}

bool V4l2Stream::stop(std::chrono::steady_clock::time_point deadline) {
    stop_requested_.store(true);
    // A callback begun before the flag was set may still be running at the
    // deadline; it is the last one.
    std::unique_lock lock(state_mutex_);
    return finished_cv_.wait_until(lock, deadline, [this] { return finished_; });
}

}  // namespace plat::capture

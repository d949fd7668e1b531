// The mapped buffers of one streaming session and the loop that runs on the
// camera's thread: wait, dequeue, hand the frame over, queue it again.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "plat/capture/capture.h"
#include "v4l2_device.h"
#include "v4l2_format.h"

namespace plat::capture {

class V4l2Stream {
public:
    // Requests, maps and queues the buffers and starts streaming. Null (and
    // `status` StreamFailed or NoDevice) when any step fails, with whatever
    // was set up released again.
    static std::shared_ptr<V4l2Stream> start(std::shared_ptr<V4l2Device> device,
                                             const V4l2FrameFormat& format, FrameCallback on_frame,
                                             Status& status);

    // Stops streaming and releases the buffers; runs when the camera and the
    // thread have both let go, so never under a callback.
    ~V4l2Stream();
    V4l2Stream(const V4l2Stream&) = delete;
    V4l2Stream& operator=(const V4l2Stream&) = delete;

    // The thread's body: returns when asked to stop or when the device fails.
    void run();

    // Asks the loop to end and waits for it until `deadline`. True when it has
    // ended; false leaves at most the callback already running, after which
    // the loop ends by itself.
    bool stop(std::chrono::steady_clock::time_point deadline);

private:
    struct Buffer {
        void* data = nullptr;
        std::size_t length = 0;
    };

    V4l2Stream(std::shared_ptr<V4l2Device> device, const V4l2FrameFormat& format, FrameCallback on_frame);
    Status setup();
    void release();
    void deliver(const v4l2_buffer& buf);
    double frame_time(const v4l2_buffer& buf);

    std::shared_ptr<V4l2Device> device_;
    V4l2FrameFormat format_;
    FrameCallback on_frame_;
    std::vector<Buffer> buffers_;
    bool requested_ = false;
    bool streaming_ = false;

    // Looked at before every wait and every callback.
    std::atomic<bool> stop_requested_{false};
    std::mutex state_mutex_;  // guards finished_
    std::condition_variable finished_cv_;
    bool finished_ = false;

    // Touched by the loop's thread only.
    std::chrono::steady_clock::time_point stream_on_time_;
    bool have_first_ = false;
    bool use_buffer_clock_ = false;
    double first_buffer_time_ = 0.0;
    double last_time_ = 0.0;
};

}  // namespace plat::capture

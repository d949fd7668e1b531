// A camera on one V4L2 capture node.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "plat/capture/capture.h"
#include "v4l2_device.h"
#include "v4l2_format.h"
#include "v4l2_stream.h"

namespace plat::capture {

class V4l2Camera final : public Camera {
public:
    V4l2Camera(std::shared_ptr<V4l2Device> device, std::string name);
    ~V4l2Camera() override;

    std::string name() const override { return name_; }
    Status configure(double fps) override;
    Status start(FrameCallback on_frame) override;
    bool stop(std::chrono::milliseconds timeout) override;
    bool range(Control c, ControlRange& out) override;
    bool get(Control c, ControlValue& out) override;
    bool set(Control c, ControlValue v) override;

private:
    const std::shared_ptr<V4l2Device> device_;
    const std::string name_;

    // Guards the streaming state; the controls need none of it.
    std::mutex mutex_;
    std::optional<V4l2FrameFormat> format_;
    std::shared_ptr<V4l2Stream> stream_;
    std::thread thread_;
};

}  // namespace plat::capture

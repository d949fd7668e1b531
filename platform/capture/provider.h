// Where cameras come from: the system's V4L2 devices or virtual cameras.
// The service asks the provider chosen last.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "plat/capture/capture.h"

namespace plat::capture {

class Provider {
public:
    virtual ~Provider() = default;
    // The devices that can capture, in a stable order, at most kMaxCameras.
    virtual std::vector<DeviceInfo> list() = 0;
    // Null when the device cannot be opened.
    virtual std::unique_ptr<Camera> open(const DeviceInfo& device) = 0;
};

// The system's video devices through libv4l2.
std::unique_ptr<Provider> make_v4l2_provider();

// `count` virtual cameras, with pictures from `source` when it is not empty.
std::unique_ptr<Provider> make_virtual_provider(int count, const std::string& source);

}  // namespace plat::capture

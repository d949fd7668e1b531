// The service's entry points: the provider chosen last answers them.
#include <algorithm>
#include <mutex>

#include "plat/capture/capture.h"
#include "provider.h"

namespace plat::capture {

namespace {

std::mutex g_mutex;
std::shared_ptr<Provider> g_provider;  // null: the system's devices, made on first use

std::shared_ptr<Provider> provider() {
    std::lock_guard lock(g_mutex);
    if (!g_provider) g_provider = make_v4l2_provider();
    return g_provider;
}

}  // namespace

std::vector<DeviceInfo> list_devices() {
    auto p = provider();
    std::vector<DeviceInfo> devices = p->list();
    if (devices.size() > std::size_t(kMaxCameras)) devices.resize(std::size_t(kMaxCameras));
    return devices;
}

std::unique_ptr<Camera> open_camera(const DeviceInfo& device) { return provider()->open(device); }

void use_virtual_cameras(int count, std::string source) {
    auto p = make_virtual_provider(std::clamp(count, 0, kMaxCameras), source);
    std::lock_guard lock(g_mutex);
    g_provider = std::move(p);
}

void use_system_cameras() {
    std::lock_guard lock(g_mutex);
    g_provider.reset();
}

}  // namespace plat::capture

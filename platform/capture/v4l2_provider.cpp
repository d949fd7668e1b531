// The system's V4L2 capture nodes as cameras.
#include <algorithm>
#include <cstdlib>
#include <optional>
#include <utility>

#include "provider.h"
#include "v4l2_camera.h"
#include "v4l2_device.h"
#include "v4l2_io.h"

namespace plat::capture {
namespace {

// The N of ".../videoN", or -1 for any other name.
long node_number(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    constexpr std::string_view prefix = "video";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 9 || !std::all_of(digits.begin(), digits.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
        return -1;
    return std::strtol(digits.c_str(), nullptr, 10);
}

// The node's card name when it can stream video, opened only for the question.
std::optional<std::string> capture_node_name(V4l2Io& io, const std::string& path) {
    int fd = io.open(path);
    if (fd < 0) return std::nullopt;
    v4l2_capability cap{};
    const bool ok = io.ioctl(fd, VIDIOC_QUERYCAP, &cap) >= 0 && can_stream_video(cap);
    io.close(fd);
    if (!ok) return std::nullopt;
    return card_name(cap);
}

class V4l2Provider final : public Provider {
public:
    explicit V4l2Provider(std::shared_ptr<V4l2Io> io) : io_(std::move(io)) {}

    std::vector<DeviceInfo> list() override {
        std::vector<std::pair<long, std::string>> nodes;
        for (std::string& path : io_->nodes())
            if (long n = node_number(path); n >= 0) nodes.emplace_back(n, std::move(path));
        // By number, not by name: video2 before video10.
        std::sort(nodes.begin(), nodes.end());

        std::vector<DeviceInfo> out;
        for (const auto& [number, path] : nodes) {
            if (out.size() >= std::size_t(kMaxCameras)) break;
            if (std::optional<std::string> name = capture_node_name(*io_, path))
                out.push_back({path, std::move(*name)});
        }
        return out;
    }

    std::unique_ptr<Camera> open(const DeviceInfo& device) override {
        int fd = io_->open(device.id);
        if (fd < 0) return nullptr;
        auto node = std::make_shared<V4l2Device>(io_, fd);  // closes fd on every path out
        v4l2_capability cap{};
        if (node->ioctl(VIDIOC_QUERYCAP, &cap) < 0 || !can_stream_video(cap)) return nullptr;
        return std::make_unique<V4l2Camera>(std::move(node), card_name(cap));
    }

private:
    std::shared_ptr<V4l2Io> io_;
};

}  // namespace

std::unique_ptr<Provider> make_v4l2_provider(std::shared_ptr<V4l2Io> io) {
    return std::make_unique<V4l2Provider>(std::move(io));
}

std::unique_ptr<Provider> make_v4l2_provider() { return make_v4l2_provider(make_libv4l2_io()); }

}  // namespace plat::capture

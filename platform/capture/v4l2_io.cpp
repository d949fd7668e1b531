// V4l2Io over libv4l2 and poll(2).
#include "v4l2_io.h"

#include <fcntl.h>
#include <libv4l2.h>
#include <poll.h>
#include <sys/mman.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace plat::capture {
namespace {

bool is_video_node_name(const std::string& name) {
    constexpr std::string_view prefix = "video";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return false;
    for (std::size_t i = prefix.size(); i < name.size(); ++i)
        if (name[i] < '0' || name[i] > '9') return false;
    return true;
}

class LibV4l2Io final : public V4l2Io {
public:
    std::vector<std::string> nodes() override {
        std::vector<std::string> out;
        std::error_code ec;
        for (std::filesystem::directory_iterator it("/dev", ec), end; !ec && it != end; it.increment(ec)) {
            std::string name = it->path().filename().string();
            if (is_video_node_name(name)) out.push_back("/dev/" + name);
        }
        return out;
    }

    int open(const std::string& path) override {
        int fd = v4l2_open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        return fd < 0 ? -errno : fd;
    }

    void close(int fd) override { v4l2_close(fd); }

    int ioctl(int fd, unsigned long request, void* arg) override {
        int r;
        do {
            r = v4l2_ioctl(fd, request, arg);
        } while (r < 0 && errno == EINTR);
        return r < 0 ? -errno : r;
    }

    void* mmap(int fd, std::size_t length, std::int64_t offset) override {
        void* p = v4l2_mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
        return p == MAP_FAILED ? nullptr : p;
    }

    void munmap(void* address, std::size_t length) override { v4l2_munmap(address, length); }

    int wait_readable(int fd, int timeout_ms) override {
        pollfd p{fd, POLLIN, 0};
        int r = ::poll(&p, 1, timeout_ms);
        if (r < 0) return errno == EINTR ? 0 : -errno;
        if (r == 0) return 0;
        // A vanished camera answers POLLERR/POLLHUP; with buffers always
        // queued while streaming, that is the only reason we see one.
        if (p.revents & POLLNVAL) return -EBADF;
        if (p.revents & (POLLERR | POLLHUP)) return -ENODEV;
        return (p.revents & POLLIN) ? 1 : 0;
    }
};

}  // namespace

std::shared_ptr<V4l2Io> make_libv4l2_io() { return std::make_shared<LibV4l2Io>(); }

}  // namespace plat::capture

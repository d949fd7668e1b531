// The few system calls the V4L2 provider makes, behind one interface so that
// tests can replay recorded device answers instead of touching /dev.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "provider.h"

namespace plat::capture {

// Every call reports failure as a negative errno value, never through the
// global errno, so a fake can answer from any thread without touching it.
class V4l2Io {
public:
    virtual ~V4l2Io() = default;

    // The device nodes that may be cameras ("/dev/video0", ...), any order.
    virtual std::vector<std::string> nodes() = 0;
    // A non-blocking descriptor, or -errno.
    virtual int open(const std::string& path) = 0;
    virtual void close(int fd) = 0;
    // >= 0 on success, or -errno.
    virtual int ioctl(int fd, unsigned long request, void* arg) = 0;
    // A shared read/write mapping of a driver buffer; null on failure.
    virtual void* mmap(int fd, std::size_t length, std::int64_t offset) = 0;
    virtual void munmap(void* address, std::size_t length) = 0;
    // 1 when a frame can be dequeued, 0 after `timeout_ms` without one, or
    // -errno when the device reports an error (unplugged, not streaming).
    virtual int wait_readable(int fd, int timeout_ms) = 0;
};

// The system's devices through libv4l2, which converts YUYV, MJPEG and the
// rest to RGB24/BGR24 when those are asked for.
std::shared_ptr<V4l2Io> make_libv4l2_io();

// The provider over any I/O, for tests.
std::unique_ptr<Provider> make_v4l2_provider(std::shared_ptr<V4l2Io> io);

}  // namespace plat::capture

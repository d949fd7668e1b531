#include "plat/base/instance.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

namespace {

std::string env_or_empty(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

// mkdir -p; components that already exist are fine.
void make_dirs(const std::string& path, mode_t mode) {
    for (std::size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            std::string prefix = path.substr(0, pos);
            if (prefix.empty() || prefix.back() == '/') continue;
            mkdir(prefix.c_str(), mode);  // EEXIST is the common case
        }
    }
}

void close_fd(int fd) {
    // The lock goes with the last descriptor; no unlink, since removing the
    // file would let a later claimant lock a fresh inode while we still hold
    // the old one.
    if (fd >= 0) close(fd);
}

}  // namespace

std::string runtime_dir() {
    std::string dir = env_or_empty("PLAT_RUNTIME_DIR");
    if (dir.empty()) {
        std::string xdg = env_or_empty("XDG_RUNTIME_DIR");
        dir = xdg.empty() ? "/tmp/plat-" + std::to_string(getuid()) : xdg + "/plat";
    }
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    make_dirs(dir, 0700);
    return dir;
}

InstanceSlot::InstanceSlot(InstanceSlot&& other) noexcept
    : index_(other.index_), fd_(other.fd_) {
    other.index_ = -1;
    other.fd_ = -1;
}

InstanceSlot& InstanceSlot::operator=(InstanceSlot&& other) noexcept {
    if (this != &other) {
        release();
        index_ = other.index_;
        fd_ = other.fd_;
        other.index_ = -1;
        other.fd_ = -1;
    }
    return *this;
}

InstanceSlot::~InstanceSlot() { release(); }

void InstanceSlot::release() {
    close_fd(fd_);
    fd_ = -1;
    index_ = -1;
}

std::optional<InstanceSlot> claim_instance_slot(std::string_view family, int count) {
    if (family.empty() || family.find('/') != std::string_view::npos ||
        family.find('\0') != std::string_view::npos)
        return std::nullopt;
    const std::string dir = runtime_dir();
    for (int i = 0; i < count; ++i) {
        std::string path = dir + "/" + std::string(family) + std::to_string(i) + ".lock";
        int fd;
        do {
            fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) continue;
        int rc;
        do {
            rc = flock(fd, LOCK_EX | LOCK_NB);
        } while (rc != 0 && errno == EINTR);
        if (rc == 0) return InstanceSlot(i, fd);
        close_fd(fd);
    }
    return std::nullopt;
}

}  // namespace plat

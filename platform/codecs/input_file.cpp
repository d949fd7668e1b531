#include "plat/codecs/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace plat {

namespace {

IoResult from_errno(int err) {
    if (err == ENOENT || err == ENOTDIR) return IoResult::failure("no such file");
    return IoResult::failure(std::strerror(err));
}

// Why a file of this mode is no input file, or null for a regular file.
const char* not_regular(mode_t mode) {
    if (S_ISREG(mode)) return nullptr;
    if (S_ISDIR(mode)) return "a directory, not a file";
    if (S_ISFIFO(mode)) return "a FIFO, not a file";
    if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device, not a file";
    return "not a regular file";
}

std::string size_text(std::size_t bytes) {
    constexpr std::size_t kMiB = std::size_t(1) << 20;
    if (bytes >= kMiB && bytes % kMiB == 0) return std::to_string(bytes / kMiB) + " MiB";
    return std::to_string(bytes) + " bytes";
}

}  // namespace

IoResult open_input_file(const std::string& path, int& fd) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return from_errno(errno);
    if (const char* why = not_regular(st.st_mode)) return IoResult::failure(why);
    // Non-blocking, in case the name was swapped for a FIFO since: the open
    // returns at once and the check below refuses it.
    const int opened = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (opened < 0) return from_errno(errno);
    const char* why = ::fstat(opened, &st) != 0 ? "cannot read file" : not_regular(st.st_mode);
    if (why) {
        ::close(opened);
        return IoResult::failure(why);
    }
    fd = opened;
    return IoResult::success();
}

IoResult check_input_file(const std::string& path) {
    int fd = -1;
    IoResult r = open_input_file(path, fd);
    if (r) ::close(fd);
    return r;
}

IoResult read_input_file(const std::string& path, std::size_t max_bytes, std::string& out) {
    int fd = -1;
    if (IoResult r = open_input_file(path, fd); !r) return r;
    const IoResult too_large = IoResult::failure("larger than " + size_text(max_bytes));
    struct stat st {};
    if (::fstat(fd, &st) == 0 && std::uint64_t(st.st_size) > max_bytes) {
        ::close(fd);
        return too_large;
    }
    std::string text;
    char chunk[65536];
    IoResult result = IoResult::success();
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            result = from_errno(errno);
            break;
        }
        if (got == 0) break;
        // Counted as it is read: the file may grow after its size was seen.
        if (text.size() + std::size_t(got) > max_bytes) {
            result = too_large;
            break;
        }
        text.append(chunk, std::size_t(got));
    }
    ::close(fd);
    if (result) out = std::move(text);
    return result;
}

}  // namespace plat

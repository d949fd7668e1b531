#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "movie_module_loader.h"
#include "plat/capture/movie.h"

namespace plat {

namespace {

std::string folder_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A new empty file beside `path` whose name still ends in .avi, which is how
// the writer picks its container; empty when none can be made (errno says why).
std::string create_temp_beside(const std::string& path) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = folder_of(path) + ".movie-save-" + std::to_string(::getpid()) + "-" +
                                 std::to_string(counter.fetch_add(1, std::memory_order_relaxed)) + ".avi";
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            return temp;
        }
        if (errno != EEXIST) return {};
    }
    return {};
}

// Flushes the finished file to disk; the writer gives no word of a write
// that failed, so an empty file is taken as one.
int settle(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno;
    struct stat st {};
    int error = ::fsync(fd) != 0 ? errno : 0;
    if (!error && (::fstat(fd, &st) != 0 || st.st_size == 0)) error = EIO;
    ::close(fd);
    return error;
}

// The number of frames the finished file declares, as a reader sees it; -1
// when it cannot be read at all.
int frames_in(const std::string& path) {
    const PlatMovieApi* reader = movie_module().reader;
    void* movie = reader ? reader->open(path.c_str()) : nullptr;
    if (!movie) return -1;
    const double n = reader->property(movie, kPlatMovieFrameCount);
    reader->close(movie);
    return int(n);
}

}  // namespace

struct MovieWriter::Impl {
    void* movie = nullptr;
    int frames = 0;  // written into the movie
    std::string path, temp;
    std::string error_text;

    bool fail(std::string text) {
        error_text = std::move(text);
        drop();
        return false;
    }
    void drop() {
        if (movie) movie_module().writer->close(movie);
        movie = nullptr;
        if (!temp.empty()) ::unlink(temp.c_str());
        temp.clear();
    }
};

MovieWriter::MovieWriter() : impl_(std::make_unique<Impl>()) {}
MovieWriter::~MovieWriter() { impl_->drop(); }

bool MovieWriter::open(const std::string& path, double fps, int width, int height) {
    Impl& m = *impl_;
    m.drop();
    m.error_text.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return m.fail("not a regular file");
    const MovieModule& module = movie_module();
    if (!module.writer)
        return m.fail(module.error.empty() ? "no movie encoder (the movie module does not fit)" : module.error);
    m.temp = create_temp_beside(path);
    if (m.temp.empty()) return m.fail(std::string("cannot create a file there: ") + std::strerror(errno));
    m.movie = module.writer->open(m.temp.c_str(), fps, width, height);
    if (!m.movie) return m.fail("no Motion JPEG encoder takes " + std::to_string(width) + "x" + std::to_string(height));
    m.path = path;
    m.frames = 0;
    return true;
}

bool MovieWriter::is_open() const { return impl_->movie != nullptr; }
const std::string& MovieWriter::error_text() const { return impl_->error_text; }

bool MovieWriter::write(const std::uint32_t* pixels, std::size_t stride) {
    Impl& m = *impl_;
    if (!m.movie) return false;
    if (!movie_module().writer->write(m.movie, reinterpret_cast<const unsigned char*>(pixels), stride))
        return m.fail("the encoder refused a frame");
    ++m.frames;
    return true;
}

bool MovieWriter::finish() {
    Impl& m = *impl_;
    if (!m.movie) return false;
    movie_module().writer->close(m.movie);
    m.movie = nullptr;
    if (const int error = settle(m.temp)) return m.fail(std::string("cannot write file: ") + std::strerror(error));
    // The encoder gives no word of a write that failed (a full disk): the
    // file must hold every frame it was given.
    if (const int n = frames_in(m.temp); n != m.frames)
        return m.fail("cannot write file: it came out with " + std::to_string(std::max(n, 0)) + " of " +
                      std::to_string(m.frames) + " frames");
    if (std::rename(m.temp.c_str(), m.path.c_str()) != 0)
        return m.fail(std::string("cannot write file: ") + std::strerror(errno));
    m.temp.clear();
    return true;
}

void MovieWriter::discard() { impl_->drop(); }

}  // namespace plat

#include "plat/capture/movie.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "movie_module_loader.h"
#include "plat/codecs/codecs.h"
#include "plat/gfx/gfx.h"

namespace plat {

namespace {

// A run of this many frames in a row that cannot be read is taken as the
// end of the data: a movie cut short still declares all its frames, and each
// of them would otherwise be tried and refused in turn.
constexpr int kFailuresInARowAtMost = 250;

// Whether a stored JPEG picture is whole: the codecs refuse a picture that
// is cut or damaged.
bool jpeg_whole(const PlatMovieFrame& stored) {
    return stored.jpeg && check_jpeg(stored.jpeg, stored.jpeg_size).ok;
}

void to_bgr(const Surface& picture, std::vector<std::uint8_t>& bgr) {
    const int w = picture.width(), h = picture.height();
    bgr.resize(std::size_t(w) * std::size_t(h) * 3);
    std::uint8_t* d = bgr.data();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x, d += 3) {
            const Color c = picture.format() == PixelFormat::Rgb32 ? picture.row32(y)[x] : picture.pixel(x, y);
            d[0] = std::uint8_t(c), d[1] = std::uint8_t(c >> 8), d[2] = std::uint8_t(c >> 16);
        }
}

}  // namespace

struct MovieReader::Impl {
    void* movie = nullptr;
    std::string path;
    Surface picture;  // a stored JPEG frame, decoded
    std::vector<std::uint8_t> bgr;
    MovieError error = MovieError::None;
    std::string error_text;
    int next_index = 0;
    int failures_in_a_row = 0;

    bool fail(MovieError e, std::string text) {
        error = e;
        error_text = std::move(text);
        return false;
    }
    void close() {
        if (movie) movie_module().reader->close(movie);
        movie = nullptr;
    }
    double property(int which) const { return movie ? movie_module().reader->property(movie, which) : 0.0; }
};

MovieReader::MovieReader() : impl_(std::make_unique<Impl>()) {}
MovieReader::~MovieReader() { impl_->close(); }

bool MovieReader::open(const std::string& path) {
    Impl& m = *impl_;
    m.close();
    m.path.clear();
    m.next_index = 0;
    m.failures_in_a_row = 0;
    m.error = MovieError::None;
    m.error_text.clear();
    if (path.empty()) return m.fail(MovieError::NoSuchFile, "no such file");
    // Only a regular file is handed to the decoders: opening a pipe waits for
    // a writer, and a device or a folder never ends.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return m.fail(MovieError::NoSuchFile, "no such file");
        return m.fail(MovieError::CannotRead, std::strerror(errno));
    }
    if (S_ISDIR(st.st_mode)) return m.fail(MovieError::NotAFile, "a folder, not a movie file");
    if (!S_ISREG(st.st_mode)) return m.fail(MovieError::NotAFile, "not a regular file (a device, pipe or socket)");
    if (::access(path.c_str(), R_OK) != 0) return m.fail(MovieError::CannotRead, std::strerror(errno));
    const MovieModule& module = movie_module();
    if (!module.reader) return m.fail(MovieError::NotAMovie, module.error);
    m.movie = module.reader->open(path.c_str());
    if (!m.movie) return m.fail(MovieError::NotAMovie, "not a movie file, or no decoder for it");
    if (frame_width() <= 0 || frame_height() <= 0) {
        m.close();
        return m.fail(MovieError::NotAMovie, "it holds no video");
    }
    m.path = path;
    return true;
}

bool MovieReader::is_open() const { return impl_->movie != nullptr; }
MovieError MovieReader::error() const { return impl_->error; }
const std::string& MovieReader::error_text() const { return impl_->error_text; }

int MovieReader::frame_width() const { return int(impl_->property(kPlatMovieWidth)); }
int MovieReader::frame_height() const { return int(impl_->property(kPlatMovieHeight)); }

double MovieReader::frame_rate() const {
    const double fps = impl_->property(kPlatMovieFrameRate);
    return fps > 0 && fps < 1e6 ? fps : 0.0;
}

int MovieReader::frame_count() const {
    const double n = impl_->property(kPlatMovieFrameCount);
    return n > 0 && n < 2e9 ? int(n) : 0;
}

FrameRead MovieReader::read_frame(BgrFrame& out, int& index) {
    Impl& m = *impl_;
    if (!is_open()) return FrameRead::End;
    // Each read takes one frame of the file, decoded or not, so the count of
    // reads numbers the frames.
    PlatMovieFrame f{};
    const int got = movie_module().reader->read(m.movie, &f);
    bool decoded = false;
    if (got == kPlatMovieJpeg) {
        // Whole or not is the stored picture's to say; the pixels are the
        // movie decoder's, as for every other kind of movie, unless it gave
        // none for a picture the codecs read whole.
        const bool whole = jpeg_whole(f);
        if (whole && f.data) {
            decoded = true;
            out = {f.data, f.width, f.height, f.stride};
        } else if (whole && decode_image(f.jpeg, f.jpeg_size, m.picture).ok) {
            decoded = true;
            to_bgr(m.picture, m.bgr);
            out = {m.bgr.data(), m.picture.width(), m.picture.height(), std::size_t(m.picture.width()) * 3};
        }
    } else if (got == kPlatMovieBgr) {
        decoded = true;
        out = {f.data, f.width, f.height, f.stride};
    }
    if (decoded) {
        index = m.next_index++;
        m.failures_in_a_row = 0;
        return FrameRead::Decoded;
    }
    // Nothing read: the end, unless the movie declares more frames.
    if (got == kPlatMovieNothing && (m.next_index >= frame_count() || m.failures_in_a_row >= kFailuresInARowAtMost))
        return FrameRead::End;
    index = m.next_index++;
    ++m.failures_in_a_row;
    return FrameRead::Undecodable;
}

bool MovieReader::next_frame(BgrFrame& out) {
    int index = 0;
    for (;;) {
        switch (read_frame(out, index)) {
        case FrameRead::Decoded: return true;
        case FrameRead::Undecodable: continue;
        case FrameRead::End: return false;
        }
    }
}

void MovieReader::rewind() {
    Impl& m = *impl_;
    if (!is_open()) return;
    // A container that cannot seek starts again from the file.
    if (!movie_module().reader->rewind(m.movie)) {
        std::string path = m.path;
        open(path);
    }
    m.next_index = 0;
    m.failures_in_a_row = 0;
}

}  // namespace plat

#include "plat/capture/movie.h"

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "movie_module.h"
#include "plat/codecs/codecs.h"
#include "plat/gfx/gfx.h"

namespace plat {

namespace {

// A run of this many frames in a row that cannot be read is taken as the
// end of the data: a movie cut short still declares all its frames, and each
// of them would otherwise be tried and refused in turn.
constexpr int kFailuresInARowAtMost = 250;

// FFmpeg writes a line to stderr for every frame it cannot decode; the
// caller names such frames itself. OpenCV takes FFmpeg's log level from the
// environment when it first opens a movie; set here, before main, while the
// process has one thread (a user's own setting is kept).
const bool kFfmpegQuiet = [] { return ::setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0) == 0; }();

struct Module {
    const PlatMovieApi* api = nullptr;
    std::string error;  // why it could not be loaded
};

// The folder of a file, or "" for a bare name.
std::string folder_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The folders the dynamic loader searches for the dependencies of the object
// this code is in, its run path first. dlopen() of a bare name searches them
// as well, but under a sanitizer the sanitizer's runtime is the caller there.
std::vector<std::string> loader_search_folders() {
    std::vector<std::string> folders;
    Dl_info info{};
    link_map* self = nullptr;
    if (!::dladdr1(reinterpret_cast<void*>(&folder_of), &info, reinterpret_cast<void**>(&self), RTLD_DL_LINKMAP) ||
        !self)
        return folders;
    Dl_serinfo size{};
    if (::dlinfo(self, RTLD_DI_SERINFOSIZE, &size) != 0 || size.dls_size < sizeof(Dl_serinfo)) return folders;
    auto* paths = static_cast<Dl_serinfo*>(std::malloc(size.dls_size));
    if (!paths) return folders;
    if (::dlinfo(self, RTLD_DI_SERINFOSIZE, paths) == 0 && ::dlinfo(self, RTLD_DI_SERINFO, paths) == 0)
        for (unsigned i = 0; i < paths->dls_cnt; ++i)
            if (paths->dls_serpath[i].dls_name) folders.push_back(paths->dls_serpath[i].dls_name);
    std::free(paths);
    return folders;
}

// Where the movie module may be, most specific first. Installed, it lies at
// a fixed place relative to the program (when this code is linked into it)
// or to the shared library (when this code is in one), so an installed tree
// can be moved. In the build tree it is on the run path; last, the folder it
// was installed to, for programs linked with the static library.
std::vector<std::string> movie_module_candidates() {
    std::vector<std::string> found;
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n > 0) found.push_back(folder_of(std::string(exe, std::size_t(n))) + PLAT_MOVIE_FROM_PROGRAM "/" +
                               PLAT_MOVIE_MODULE_NAME);
    Dl_info self{};
    if (::dladdr(reinterpret_cast<void*>(&folder_of), &self) && self.dli_fname) {
        // For code in the program itself this is argv[0]; only a library's own path is of use.
        const std::string object = self.dli_fname;
        const std::string program = n > 0 ? std::string(exe, std::size_t(n)) : std::string();
        char* real = ::realpath(object.c_str(), nullptr);
        if (real && program != real && !folder_of(real).empty())
            found.push_back(folder_of(real) + PLAT_MOVIE_FROM_LIBRARY "/" + PLAT_MOVIE_MODULE_NAME);
        std::free(real);
    }
    for (const std::string& folder : loader_search_folders()) found.push_back(folder + "/" + PLAT_MOVIE_MODULE_NAME);
    found.push_back(PLAT_MOVIE_MODULE_NAME);
    found.push_back(PLAT_MOVIE_INSTALLED_DIR "/" PLAT_MOVIE_MODULE_NAME);
    return found;
}

// The movie module, loaded once, on first use.
const Module& movie_module() {
    static const Module module = [] {
        Module m;
        (void)kFfmpegQuiet;
        void* handle = nullptr;
        // Why the first module that is there did not load (an OpenCV library
        // missing, say) says more than a later place where there is none.
        std::string why, why_present;
        for (const std::string& name : movie_module_candidates()) {
            if ((handle = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL))) break;
            const char* error = ::dlerror();
            why = error ? error : "the movie module is missing";
            if (why_present.empty() && name.find('/') != std::string::npos && ::access(name.c_str(), F_OK) == 0)
                why_present = why;
        }
        if (!handle) {
            m.error = "no movie decoder (" + (why_present.empty() ? why : why_present) + ")";
            return m;
        }
        auto get = reinterpret_cast<PlatMovieApiGetter>(::dlsym(handle, PLAT_MOVIE_API_SYMBOL));
        m.api = get ? get() : nullptr;
        if (!m.api) m.error = "no movie decoder (the movie module does not fit)";
        return m;
    }();
    return module;
}

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
        if (movie) movie_module().api->close(movie);
        movie = nullptr;
    }
    double property(int which) const { return movie ? movie_module().api->property(movie, which) : 0.0; }
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
    const Module& module = movie_module();
    if (!module.api) return m.fail(MovieError::NotAMovie, module.error);
    m.movie = module.api->open(path.c_str());
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
    const int got = movie_module().api->read(m.movie, &f);
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
    if (!movie_module().api->rewind(m.movie)) {
        std::string path = m.path;
        open(path);
    }
    m.next_index = 0;
    m.failures_in_a_row = 0;
}

}  // namespace plat

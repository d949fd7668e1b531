#include "movie_module_loader.h"

#include <dlfcn.h>

#include <cstdlib>

namespace plat {

namespace {

// FFmpeg writes a line to stderr for every frame it cannot decode; the
// caller names such frames itself. OpenCV takes FFmpeg's log level from the
// environment when it first opens a movie; set here, before main, while the
// process has one thread (a user's own setting is kept).
const bool kFfmpegQuiet = [] { return ::setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0) == 0; }();

}  // namespace

// Where the build put it, or by name from the library path.
const MovieModule& movie_module() {
    static const MovieModule module = [] {
        MovieModule m;
        (void)kFfmpegQuiet;
        void* handle = nullptr;
        for (const char* name : {PLAT_MOVIE_MODULE, "libplat_movie_opencv.so"})
            if ((handle = ::dlopen(name, RTLD_NOW | RTLD_LOCAL))) break;
        if (!handle) {
            const char* why = ::dlerror();
            m.error = std::string("no movie decoder (") + (why ? why : "the movie module is missing") + ")";
            return m;
        }
        auto get = reinterpret_cast<PlatMovieApiGetter>(::dlsym(handle, PLAT_MOVIE_API_SYMBOL));
        m.reader = get ? get() : nullptr;
        auto get_writer = reinterpret_cast<PlatMovieWriterApiGetter>(::dlsym(handle, PLAT_MOVIE_WRITER_API_SYMBOL));
        m.writer = get_writer ? get_writer() : nullptr;
        if (!m.reader) m.error = "no movie decoder (the movie module does not fit)";
        return m;
    }();
    return module;
}

}  // namespace plat

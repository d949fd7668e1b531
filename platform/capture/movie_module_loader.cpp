#include "movie_module_loader.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace plat {

namespace {

// FFmpeg writes a line to stderr for every frame it cannot decode; the
// caller names such frames itself. OpenCV takes FFmpeg's log level from the
// environment when it first opens a movie; set here, before main, while the
// process has one thread (a user's own setting is kept).
const bool kFfmpegQuiet = [] { return ::setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0) == 0; }();

}  // namespace

namespace {

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

}  // namespace


const MovieModule& movie_module() {
    static const MovieModule module = [] {
        MovieModule m;
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
        m.reader = get ? get() : nullptr;
        auto get_writer = reinterpret_cast<PlatMovieWriterApiGetter>(::dlsym(handle, PLAT_MOVIE_WRITER_API_SYMBOL));
        m.writer = get_writer ? get_writer() : nullptr;
        if (!m.reader) m.error = "no movie decoder (the movie module does not fit)";
        return m;
    }();
    return module;
}

}  // namespace plat

// The C interface between the movie reader and the module that reads movies
// with OpenCV (capture/opencv/), which the reader loads when it opens its
// first movie: OpenCV's video library brings some 240 shared libraries, and
// loading them at start-up would keep every program from its main() for a
// tenth of a second or more.
#pragma once

#include <cstddef>

extern "C" {

struct PlatMovieFrame {
    const unsigned char* data;  // the decoded frame, or null when the decoder gave none
    int width, height;
    std::size_t stride;         // bytes from one row to the next
    const unsigned char* jpeg;  // Motion JPEG: the picture as the file stores it
    std::size_t jpeg_size;
};

// What a read gave: nothing (no frame could be read), a frame read but of a
// kind that cannot be used, a decoded frame, or a Motion JPEG frame as stored
// together with the decoder's picture of it (when it gave one).
enum PlatMovieRead { kPlatMovieNothing = 0, kPlatMovieUnusable = 1, kPlatMovieBgr = 2, kPlatMovieJpeg = 3 };
// What property() tells.
enum PlatMovieProperty { kPlatMovieWidth = 0, kPlatMovieHeight = 1, kPlatMovieFrameCount = 2, kPlatMovieFrameRate = 3 };

struct PlatMovieApi {
    // A movie file opened (a native path), or null.
    void* (*open)(const char* path);
    void (*close)(void* movie);
    double (*property)(void* movie, int which);
    // The next frame: decoded as rows of blue, green, red, and for Motion
    // JPEG also the JPEG picture as the file stores it; nothing when no
    // frame could be read. Valid until the next call for this movie.
    int (*read)(void* movie, PlatMovieFrame* out);
    // Back to the first frame; 0 when the movie cannot seek.
    int (*rewind)(void* movie);
};

#define PLAT_MOVIE_API_SYMBOL "plat_movie_api_v2"
typedef const PlatMovieApi* (*PlatMovieApiGetter)(void);

// Writing Motion JPEG movies.
struct PlatMovieWriterApi {
    // A new Motion JPEG AVI at `path` (a native path ending in .avi) of
    // frames width x height at `fps` frames a second, or null.
    void* (*open)(const char* path, double fps, int width, int height);
    // Appends a frame of rows of 0x00RRGGBB words, `stride` bytes apart, of
    // the size the movie was opened with; 0 when it could not be written.
    int (*write)(void* movie, const unsigned char* pixels, std::size_t stride);
    // Completes the file and frees the writer.
    void (*close)(void* movie);
};

#define PLAT_MOVIE_WRITER_API_SYMBOL "plat_movie_writer_api_v1"
typedef const PlatMovieWriterApi* (*PlatMovieWriterApiGetter)(void);

}

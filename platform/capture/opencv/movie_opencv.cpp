// The movie module: movies read through OpenCV's videoio, behind the C
// interface of movie_module.h.
#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <string>

#include "movie_module.h"

namespace {

struct Movie {
    cv::VideoCapture capture;
    bool jpeg_packets = false;  // Motion JPEG handed over as stored
    cv::Mat decoded;
    cv::Mat converted;
};

// OpenCV reports a file it cannot open with several lines from each backend
// it tries; the reader says it in one line of its own instead.
void quiet_opencv_logs() {
    static const bool once = [] {
        cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
        return true;
    }();
    (void)once;
}

// FFmpeg reads nearly every movie; OpenCV's own Motion JPEG reader is the
// fallback. Backends for cameras and image sequences are not asked: a file
// name is never a camera, and a name such as "file_%05d" is not a pattern.
bool open_capture(cv::VideoCapture& capture, const std::string& path) {
    for (int backend : {int(cv::CAP_FFMPEG), int(cv::CAP_OPENCV_MJPEG)}) {
        try {
            if (capture.open(path, backend) && capture.isOpened()) return true;
        } catch (const cv::Exception&) {
        }
        capture.release();
    }
    return false;
}

// Motion JPEG is handed over as the JPEG pictures it stores, for the codecs
// to decode: they refuse a picture that is cut or damaged, where the movie
// decoder would hide the damage and pass the frame off as whole.
bool take_jpeg_packets(cv::VideoCapture& capture) {
    const int fourcc = int(capture.get(cv::CAP_PROP_FOURCC));
    bool jpeg = false;
    for (const char* tag : {"MJPG", "mjpg", "JPEG", "jpeg"})
        jpeg = jpeg || fourcc == cv::VideoWriter::fourcc(tag[0], tag[1], tag[2], tag[3]);
    if (!jpeg || capture.getBackendName() != "FFMPEG") return false;
    try {
        return capture.set(cv::CAP_PROP_FORMAT, -1.0);  // the stored bytes of each frame
    } catch (const cv::Exception&) {
        return false;
    }
}

// Frames as 8-bit blue, green, red. Decoders give that unless told
// otherwise; grey and four-channel 8-bit frames are converted, anything else
// is refused.
const cv::Mat* as_bgr(const cv::Mat& frame, cv::Mat& converted) {
    if (frame.depth() != CV_8U || frame.dims != 2) return nullptr;
    switch (frame.channels()) {
    case 3: return &frame;
    case 1: cv::cvtColor(frame, converted, cv::COLOR_GRAY2BGR); return &converted;
    case 4: cv::cvtColor(frame, converted, cv::COLOR_BGRA2BGR); return &converted;
    default: return nullptr;
    }
}

void* open_movie(const char* path) {
    quiet_opencv_logs();
    auto* m = new Movie;
    if (!path || !open_capture(m->capture, path)) {
        delete m;
        return nullptr;
    }
    m->jpeg_packets = take_jpeg_packets(m->capture);
    return m;
}

void close_movie(void* movie) { delete static_cast<Movie*>(movie); }

double property(void* movie, int which) {
    auto* m = static_cast<Movie*>(movie);
    const int id = which == kPlatMovieWidth    ? cv::CAP_PROP_FRAME_WIDTH
                   : which == kPlatMovieHeight ? cv::CAP_PROP_FRAME_HEIGHT
                                               : cv::CAP_PROP_FRAME_COUNT;
    try {
        return m->capture.get(id);
    } catch (const cv::Exception&) {
        return 0;
    }
}

int read_frame(void* movie, PlatMovieFrame* out) {
    auto* m = static_cast<Movie*>(movie);
    try {
        if (!m->capture.read(m->decoded) || m->decoded.empty()) return kPlatMovieNothing;
        if (m->jpeg_packets) {
            if (m->decoded.depth() != CV_8U || !m->decoded.isContinuous()) return kPlatMovieUnusable;
            *out = {m->decoded.data, 0, 0, 0, m->decoded.total() * m->decoded.elemSize()};
            return kPlatMovieJpeg;
        }
        const cv::Mat* bgr = as_bgr(m->decoded, m->converted);
        if (!bgr) return kPlatMovieUnusable;
        *out = {bgr->data, bgr->cols, bgr->rows, bgr->step[0], 0};
        return kPlatMovieBgr;
    } catch (const cv::Exception&) {
        return kPlatMovieNothing;
    }
}

int rewind_movie(void* movie) {
    try {
        return static_cast<Movie*>(movie)->capture.set(cv::CAP_PROP_POS_FRAMES, 0.0) ? 1 : 0;
    } catch (const cv::Exception&) {
        return 0;
    }
}

const PlatMovieApi kApi = {open_movie, close_movie, property, read_frame, rewind_movie};

}  // namespace

extern "C" __attribute__((visibility("default"))) const PlatMovieApi* plat_movie_api_v1(void) { return &kApi; }

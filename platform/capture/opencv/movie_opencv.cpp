// The movie module: movies read through OpenCV's videoio, behind the C
// interface of movie_module.h.
#include <cmath>

#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <string>

#include "movie_module.h"

namespace {

struct Movie {
    cv::VideoCapture capture;  // the frames as FFmpeg decodes them
    // Motion JPEG: the same frames as the file stores them, read in step
    // with `capture` (one stored picture to each decoded frame or failure).
    cv::VideoCapture packets;
    bool jpeg_packets = false;
    int next = 0;              // the number of the next stored picture
    double frame_ms = 0;       // 1000 / the frame rate, when the movie says
    bool time_known = false;   // the decoder's time of picture 0, once seen
    double time_offset = 0;
    cv::Mat decoded;
    cv::Mat converted;
    cv::Mat packet;
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

// Motion JPEG is also handed over as the JPEG pictures it stores, for the
// codecs to check: they refuse a picture that is cut or damaged, where the
// movie decoder hides the damage and passes the frame off as whole. The
// pixels stay the movie decoder's.
bool open_jpeg_packets(const cv::VideoCapture& capture, cv::VideoCapture& packets, const std::string& path) {
    const int fourcc = int(capture.get(cv::CAP_PROP_FOURCC));
    bool jpeg = false;
    for (const char* tag : {"MJPG", "mjpg", "JPEG", "jpeg"})
        jpeg = jpeg || fourcc == cv::VideoWriter::fourcc(tag[0], tag[1], tag[2], tag[3]);
    if (!jpeg || capture.getBackendName() != "FFMPEG") return false;
    try {
        if (packets.open(path, cv::CAP_FFMPEG) && packets.set(cv::CAP_PROP_FORMAT, -1.0)) return true;
    } catch (const cv::Exception&) {
    }
    packets.release();
    return false;
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
    m->jpeg_packets = open_jpeg_packets(m->capture, m->packets, path);
    const double fps = m->capture.get(cv::CAP_PROP_FPS);
    m->frame_ms = fps > 0 && fps < 1e6 ? 1000.0 / fps : 0;
    return m;
}

void close_movie(void* movie) { delete static_cast<Movie*>(movie); }

double property(void* movie, int which) {
    auto* m = static_cast<Movie*>(movie);
    const int id = which == kPlatMovieWidth       ? cv::CAP_PROP_FRAME_WIDTH
                   : which == kPlatMovieHeight    ? cv::CAP_PROP_FRAME_HEIGHT
                   : which == kPlatMovieFrameRate ? cv::CAP_PROP_FPS
                                                  : cv::CAP_PROP_FRAME_COUNT;
    try {
        return m->capture.get(id);
    } catch (const cv::Exception&) {
        return 0;
    }
}

// The decoder's picture of the stored picture just read (number next - 1).
// A picture the decoder cannot decode at all costs it that picture and
// nothing more, so the two stay in step. Its frames' times tell where it is:
// should it ever be off the stored picture's time (it passed one over
// without a word), it is put back in step and gives no picture this time.
void decode_in_step(Movie& m, PlatMovieFrame& out) {
    if (!m.capture.read(m.decoded) || m.decoded.empty()) return;
    if (m.frame_ms > 0) {
        const double at = m.capture.get(cv::CAP_PROP_POS_MSEC) - (m.next - 1) * m.frame_ms;
        if (!m.time_known) m.time_offset = at, m.time_known = true;
        if (std::abs(at - m.time_offset) > m.frame_ms / 2) {
            m.capture.set(cv::CAP_PROP_POS_FRAMES, double(m.next));
            return;
        }
    }
    if (const cv::Mat* bgr = as_bgr(m.decoded, m.converted))
        out.data = bgr->data, out.width = bgr->cols, out.height = bgr->rows, out.stride = bgr->step[0];
}

int read_frame(void* movie, PlatMovieFrame* out) {
    auto* m = static_cast<Movie*>(movie);
    *out = {};
    try {
        if (!m->jpeg_packets) {
            if (!m->capture.read(m->decoded) || m->decoded.empty()) return kPlatMovieNothing;
            const cv::Mat* bgr = as_bgr(m->decoded, m->converted);
            if (!bgr) return kPlatMovieUnusable;
            out->data = bgr->data, out->width = bgr->cols, out->height = bgr->rows, out->stride = bgr->step[0];
            return kPlatMovieBgr;
        }
        if (!m->packets.read(m->packet) || m->packet.empty()) return kPlatMovieNothing;
        ++m->next;
        decode_in_step(*m, *out);
        if (m->packet.depth() != CV_8U || !m->packet.isContinuous()) return kPlatMovieUnusable;
        out->jpeg = m->packet.data;
        out->jpeg_size = m->packet.total() * m->packet.elemSize();
        return kPlatMovieJpeg;
    } catch (const cv::Exception&) {
        return kPlatMovieNothing;
    }
}

int rewind_movie(void* movie) {
    auto* m = static_cast<Movie*>(movie);
    try {
        if (!m->capture.set(cv::CAP_PROP_POS_FRAMES, 0.0)) return 0;
        if (m->jpeg_packets && !m->packets.set(cv::CAP_PROP_POS_FRAMES, 0.0)) return 0;
        m->next = 0;
        m->time_known = false;
        return 1;
    } catch (const cv::Exception&) {
        return 0;
    }
}

const PlatMovieApi kApi = {open_movie, close_movie, property, read_frame, rewind_movie};

// ---- writing ----

struct NewMovie {
    cv::VideoWriter writer;
    cv::Size size;
    cv::Mat bgr;
};

// OpenCV's own Motion JPEG writer encodes the stripes of a frame on all
// cores, but it keeps only whole frame rates: a rate such as 29.97 goes to
// FFmpeg's writer, which is also the fallback.
void* open_new_movie(const char* path, double fps, int width, int height) {
    quiet_opencv_logs();
    if (!path || width <= 0 || height <= 0 || !(fps > 0)) return nullptr;
    auto* m = new NewMovie;
    m->size = cv::Size(width, height);
    const int mjpg = cv::VideoWriter::fourcc('M', 'J', 'P', 'G');
    const bool whole_rate = fps == std::round(fps);
    const int first = whole_rate ? cv::CAP_OPENCV_MJPEG : cv::CAP_FFMPEG;
    const int second = whole_rate ? cv::CAP_FFMPEG : cv::CAP_OPENCV_MJPEG;
    for (int backend : {first, second}) {
        try {
            if (m->writer.open(path, backend, mjpg, fps, m->size, true) && m->writer.isOpened()) return m;
        } catch (const cv::Exception&) {
        }
        m->writer.release();
    }
    delete m;
    return nullptr;
}

int write_new_frame(void* movie, const unsigned char* pixels, std::size_t stride) {
    auto* m = static_cast<NewMovie*>(movie);
    try {
        // 0x00RRGGBB words are blue, green, red and a spare byte in memory.
        const cv::Mat words(m->size, CV_8UC4, const_cast<unsigned char*>(pixels), stride);
        cv::cvtColor(words, m->bgr, cv::COLOR_BGRA2BGR);
        m->writer.write(m->bgr);
        return 1;
    } catch (const cv::Exception&) {
        return 0;
    }
}

void close_new_movie(void* movie) {
    auto* m = static_cast<NewMovie*>(movie);
    try {
        m->writer.release();
    } catch (const cv::Exception&) {
    }
    delete m;
}

const PlatMovieWriterApi kWriterApi = {open_new_movie, write_new_frame, close_new_movie};

}  // namespace

extern "C" __attribute__((visibility("default"))) const PlatMovieApi* plat_movie_api_v2(void) { return &kApi; }
extern "C" __attribute__((visibility("default"))) const PlatMovieWriterApi* plat_movie_writer_api_v1(void) {
    return &kWriterApi;
}

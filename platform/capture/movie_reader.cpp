#include "plat/movie.h"

#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace plat {

struct MovieReader::Impl {
    cv::VideoCapture capture;
    std::string path;
    cv::Mat decoded;
    cv::Mat converted;
};

namespace {

// OpenCV reports a file it cannot open with several lines from each backend
// it tries; the caller says it in one line of its own instead.
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

// Frames as 8-bit blue, green, red. Decoders give that unless told
// otherwise; grey and four-channel 8-bit frames are converted, anything else
// is refused.
const cv::Mat* as_bgr(const cv::Mat& frame, cv::Mat& converted) {
    if (frame.depth() != CV_8U) return nullptr;
    switch (frame.channels()) {
    case 3: return &frame;
    case 1: cv::cvtColor(frame, converted, cv::COLOR_GRAY2BGR); return &converted;
    case 4: cv::cvtColor(frame, converted, cv::COLOR_BGRA2BGR); return &converted;
    default: return nullptr;
    }
}

}  // namespace

MovieReader::MovieReader() : impl_(std::make_unique<Impl>()) { quiet_opencv_logs(); }
MovieReader::~MovieReader() = default;

bool MovieReader::open(const std::string& path) {
    impl_->capture.release();
    impl_->path.clear();
    if (path.empty() || !open_capture(impl_->capture, path)) return false;
    if (frame_width() <= 0 || frame_height() <= 0) {
        impl_->capture.release();
        return false;
    }
    impl_->path = path;
    return true;
}

bool MovieReader::is_open() const { return impl_->capture.isOpened(); }

int MovieReader::frame_width() const {
    return is_open() ? int(impl_->capture.get(cv::CAP_PROP_FRAME_WIDTH)) : 0;
}

int MovieReader::frame_height() const {
    return is_open() ? int(impl_->capture.get(cv::CAP_PROP_FRAME_HEIGHT)) : 0;
}

int MovieReader::frame_count() const {
    if (!is_open()) return 0;
    double n = impl_->capture.get(cv::CAP_PROP_FRAME_COUNT);
    return n > 0 && n < 2e9 ? int(n) : 0;
}

bool MovieReader::next_frame(BgrFrame& out) {
    if (!is_open()) return false;
    try {
        if (!impl_->capture.read(impl_->decoded) || impl_->decoded.empty()) return false;
        const cv::Mat* bgr = as_bgr(impl_->decoded, impl_->converted);
        if (!bgr || bgr->dims != 2) return false;
        out.data = bgr->data;
        out.width = bgr->cols;
        out.height = bgr->rows;
        out.stride = bgr->step[0];
        return true;
    } catch (const cv::Exception&) {
        return false;
    }
}

void MovieReader::rewind() {
    if (!is_open()) return;
    bool ok = false;
    try {
        ok = impl_->capture.set(cv::CAP_PROP_POS_FRAMES, 0.0);
    } catch (const cv::Exception&) {
    }
    // A container that cannot seek starts again from the file.
    if (!ok) {
        std::string path = impl_->path;
        open(path);
    }
}

}  // namespace plat

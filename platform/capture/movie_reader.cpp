#include "plat/movie.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/core/utils/logger.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <vector>

#include "plat/codecs.h"
#include "plat/gfx.h"

namespace plat {

namespace {

// A run of this many frames in a row that cannot be decoded is taken as the
// end of the data: a movie cut short still declares all its frames, and each
// of them would otherwise be read and refused in turn.
constexpr int kFailuresInARowAtMost = 250;

// FFmpeg writes a line to stderr for every frame it cannot decode; the
// caller names such frames itself. OpenCV takes FFmpeg's log level from the
// environment when it first opens a movie; set here, before main, while the
// process has one thread (a user's own setting is kept).
const bool kFfmpegQuiet = [] { return ::setenv("OPENCV_FFMPEG_LOGLEVEL", "-8", 0) == 0; }();

}  // namespace

struct MovieReader::Impl {
    cv::VideoCapture capture;
    std::string path;
    cv::Mat decoded;
    cv::Mat converted;
    bool jpeg_packets = false;  // Motion JPEG read as stored and decoded here
    Surface picture;
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
};

namespace {

// OpenCV reports a file it cannot open with several lines from each backend
// it tries; the caller says it in one line of its own instead.
void quiet_opencv_logs() {
    static const bool once = [] {
        cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_SILENT);
        return kFfmpegQuiet;
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
    if (frame.depth() != CV_8U || frame.dims != 2) return nullptr;
    switch (frame.channels()) {
    case 3: return &frame;
    case 1: cv::cvtColor(frame, converted, cv::COLOR_GRAY2BGR); return &converted;
    case 4: cv::cvtColor(frame, converted, cv::COLOR_BGRA2BGR); return &converted;
    default: return nullptr;
    }
}

// Motion JPEG is read as the JPEG pictures it stores and decoded by the
// codecs, which refuse a picture that is cut or damaged: the movie decoder
// would hide the damage and pass the frame off as whole.
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

// One stored JPEG picture into `bgr` as rows of blue, green, red.
bool decode_jpeg(const cv::Mat& packet, Surface& picture, std::vector<std::uint8_t>& bgr) {
    if (packet.depth() != CV_8U || !packet.isContinuous()) return false;
    if (!decode_image(packet.ptr<std::uint8_t>(), packet.total() * packet.elemSize(), picture).ok) return false;
    const int w = picture.width(), h = picture.height();
    bgr.resize(std::size_t(w) * std::size_t(h) * 3);
    std::uint8_t* d = bgr.data();
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x, d += 3) {
            const Color c = picture.format() == PixelFormat::Rgb32 ? picture.row32(y)[x] : picture.pixel(x, y);
            d[0] = std::uint8_t(c), d[1] = std::uint8_t(c >> 8), d[2] = std::uint8_t(c >> 16);
        }
    return w > 0 && h > 0;
}

}  // namespace

MovieReader::MovieReader() : impl_(std::make_unique<Impl>()) { quiet_opencv_logs(); }
MovieReader::~MovieReader() = default;

bool MovieReader::open(const std::string& path) {
    Impl& m = *impl_;
    m.capture.release();
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
    if (!open_capture(m.capture, path)) return m.fail(MovieError::NotAMovie, "not a movie file, or no decoder for it");
    if (frame_width() <= 0 || frame_height() <= 0) {
        m.capture.release();
        return m.fail(MovieError::NotAMovie, "it holds no video");
    }
    m.jpeg_packets = take_jpeg_packets(m.capture);
    m.path = path;
    return true;
}

bool MovieReader::is_open() const { return impl_->capture.isOpened(); }
MovieError MovieReader::error() const { return impl_->error; }
const std::string& MovieReader::error_text() const { return impl_->error_text; }

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

FrameRead MovieReader::read_frame(BgrFrame& out, int& index) {
    Impl& m = *impl_;
    if (!is_open()) return FrameRead::End;
    // Each read takes one frame of the file, decoded or not, so the count of
    // reads numbers the frames.
    bool got = false;
    bool decoded = false;
    try {
        got = m.capture.read(m.decoded) && !m.decoded.empty();
        if (got && m.jpeg_packets) {
            decoded = decode_jpeg(m.decoded, m.picture, m.bgr);
            if (decoded) out = {m.bgr.data(), m.picture.width(), m.picture.height(), std::size_t(m.picture.width()) * 3};
        } else if (got) {
            const cv::Mat* bgr = as_bgr(m.decoded, m.converted);
            decoded = bgr != nullptr;
            if (decoded) out = {bgr->data, bgr->cols, bgr->rows, bgr->step[0]};
        }
    } catch (const cv::Exception&) {
    }
    if (decoded) {
        index = m.next_index++;
        m.failures_in_a_row = 0;
        return FrameRead::Decoded;
    }
    // Nothing read: the end, unless the movie declares more frames.
    if (!got && (m.next_index >= frame_count() || m.failures_in_a_row >= kFailuresInARowAtMost)) return FrameRead::End;
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
    impl_->next_index = 0;
    impl_->failures_in_a_row = 0;
}

}  // namespace plat

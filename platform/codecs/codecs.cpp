// The image file service's front: tells formats apart by content, reads whole
// files for the decoders, hands size questions to header readers, and saves
// through a temporary file renamed over the target.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "codec_common.h"
#include "plat/codecs/codecs.h"
#include "plat/codecs/input_file.h"

namespace plat {

namespace codec {

bool MemorySource::read(std::uint64_t offset, void* buffer, std::size_t n) const {
    if (offset > size_ || n > size_ - offset) return false;
    if (n) std::memcpy(buffer, data_ + offset, n);
    return true;
}

FileSource::FileSource(int fd) : fd_(fd) {
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) size_ = std::uint64_t(st.st_size);
}

bool FileSource::read(std::uint64_t offset, void* buffer, std::size_t n) const {
    if (offset > size_ || n > size_ - offset) return false;
    auto* p = static_cast<char*>(buffer);
    while (n > 0) {
        const ssize_t got = ::pread(fd_, p, n, off_t(offset));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= std::size_t(got);
        offset += std::uint64_t(got);
    }
    return true;
}

std::size_t SourceReader::read(void* out, std::size_t n) {
    auto* p = static_cast<std::uint8_t*>(out);
    std::size_t done = 0;
    while (done < n) {
        if (used_ == buffer_.size() && !refill()) {
            hit_end_ = true;
            break;
        }
        const std::size_t k = std::min(n - done, buffer_.size() - used_);
        std::memcpy(p + done, buffer_.data() + used_, k);
        used_ += k;
        done += k;
    }
    return done;
}

void SourceReader::skip(std::uint64_t n) {
    const std::uint64_t in_buffer = buffer_.size() - used_;
    if (n <= in_buffer) {
        used_ += std::size_t(n);
        return;
    }
    pos_ += buffer_.size() + (n - in_buffer);
    buffer_.clear();
    used_ = 0;
    if (pos_ > src_.size()) {
        pos_ = src_.size();
        hit_end_ = true;
    }
}

bool SourceReader::refill() {
    pos_ += buffer_.size();
    const std::uint64_t left = pos_ < src_.size() ? src_.size() - pos_ : 0;
    const std::size_t k = std::size_t(std::min<std::uint64_t>(left, kChunk));
    buffer_.resize(k);
    used_ = 0;
    if (k == 0 || !src_.read(pos_, buffer_.data(), k)) {
        buffer_.clear();
        return false;
    }
    return true;
}

namespace {

std::string directory_of(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// A new file beside `path`. Mode 0666 so the umask applies as it would to
// the file itself.
int create_temp_beside(const std::string& path, std::string& temp) {
    static std::atomic<unsigned> counter{0};
    const std::string dir = directory_of(path);
    for (int attempt = 0; attempt < 100; ++attempt) {
        temp = dir + ".image-save-" + std::to_string(::getpid()) + "-" +
               std::to_string(counter.fetch_add(1, std::memory_order_relaxed)) + ".tmp";
        const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// False with errno set when a write fails (EIO when one takes nothing).
bool write_all(int fd, const std::uint8_t* p, std::size_t n) {
    while (n > 0) {
        const ssize_t put = ::write(fd, p, n);
        if (put < 0 && errno == EINTR) continue;
        if (put == 0) errno = EIO;
        if (put <= 0) return false;
        p += put;
        n -= std::size_t(put);
    }
    return true;
}

// "<what>: <the system's reason>", e.g. "cannot write file: No space left on device".
IoResult failure_because(const char* what, int error) {
    return IoResult::failure(std::string(what) + ": " + std::strerror(error));
}

// A name that is a device or a pipe is written into as it stands: a new
// file renamed over it would take the device's place.
IoResult write_into(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    // Not blocking on the open: a pipe nobody reads is refused, not waited for.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return failure_because("cannot open file for writing", errno);
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    bool ok = write_all(fd, bytes.data(), bytes.size());
    int error = ok ? 0 : errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    return ok ? IoResult::success() : failure_because("cannot write file", error);
}

}  // namespace

IoResult write_file_replacing(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode)) return write_into(path, bytes);
    std::string temp;
    const int fd = create_temp_beside(path, temp);
    if (fd < 0) return failure_because("cannot open file for writing", errno);
    int error = 0;
    if (!write_all(fd, bytes.data(), bytes.size()) || ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (!error && std::rename(temp.c_str(), path.c_str()) != 0) error = errno;
    if (error) {
        ::unlink(temp.c_str());
        return failure_because("cannot write file", error);
    }
    return IoResult::success();
}

}  // namespace codec

using namespace codec;

namespace {

// Files larger than this are refused before reading: no picture within the
// decoders' limits needs more.
constexpr std::uint64_t kMaxFileBytes = std::uint64_t(1) << 31;

struct Fd {
    int fd = -1;
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
};

IoResult read_whole_file(int fd, std::vector<std::uint8_t>& out) {
    // Regular files only: a device or a pipe could feed us without end.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return IoResult::failure("cannot read file");
    if (std::uint64_t(st.st_size) > kMaxFileBytes) return IoResult::failure("file too large");
    std::vector<std::uint8_t> data;
    data.reserve(std::size_t(st.st_size));
    std::uint8_t chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return IoResult::failure("cannot read file");
        if (got == 0) break;
        if (data.size() + std::size_t(got) > kMaxFileBytes) return IoResult::failure("file too large");
        data.insert(data.end(), chunk, chunk + got);
    }
    out = std::move(data);
    return IoResult::success();
}

bool starts_with(const std::uint8_t* p, std::size_t n, const char* magic, std::size_t m) {
    return n >= m && std::memcmp(p, magic, m) == 0;
}

}  // namespace

const char* image_format_extension(ImageFormat format) {
    switch (format) {
    case ImageFormat::Bmp: return ".bmp";
    case ImageFormat::Jpeg: return ".jpg";
    case ImageFormat::Gif: return ".gif";
    case ImageFormat::Png: return ".png";
    case ImageFormat::Tiff: return ".tif";
    }
    return "";
}

ImageFileType sniff_image_type(const std::uint8_t* p, std::size_t n) {
    if (!p) return ImageFileType::Unknown;
    if (starts_with(p, n, "\x89PNG\r\n\x1a\n", 8)) return ImageFileType::Png;
    if (starts_with(p, n, "\xFF\xD8\xFF", 3)) return ImageFileType::Jpeg;
    if (starts_with(p, n, "GIF87a", 6) || starts_with(p, n, "GIF89a", 6)) return ImageFileType::Gif;
    if (starts_with(p, n, "II*\0", 4) || starts_with(p, n, "MM\0*", 4) || starts_with(p, n, "II+\0", 4) ||
        starts_with(p, n, "MM\0+", 4))
        return ImageFileType::Tiff;
    if (starts_with(p, n, "BM", 2) && n >= 18) return ImageFileType::Bmp;
    // Icons (type 1) and cursors (type 2) share the layout; at least one image.
    if (n >= 6 && p[0] == 0 && p[1] == 0 && (p[2] == 1 || p[2] == 2) && p[3] == 0 && le16(p + 4) > 0)
        return ImageFileType::Ico;
    // Metafiles: a placeable WMF's key, a plain WMF header (in memory or on
    // disk, nine words long), or an EMF header record with its signature.
    if (starts_with(p, n, "\xD7\xCD\xC6\x9A", 4)) return ImageFileType::Wmf;
    if (n >= 4 && (p[0] == 1 || p[0] == 2) && p[1] == 0 && p[2] == 9 && p[3] == 0) return ImageFileType::Wmf;
    if (n >= 44 && le32(p) == 1 && std::memcmp(p + 40, " EMF", 4) == 0) return ImageFileType::Emf;
    return ImageFileType::Unknown;
}

namespace {

// The formats whose decoders read their source as they go.
bool streamed(ImageFileType type) {
    return type == ImageFileType::Jpeg || type == ImageFileType::Gif || type == ImageFileType::Png ||
           type == ImageFileType::Tiff;
}

IoResult decode_streamed(ImageFileType type, const ByteSource& src, Decoded& d) {
    switch (type) {
    case ImageFileType::Jpeg: return decode_jpeg(src, d);
    case ImageFileType::Gif: return decode_gif(src, d);
    case ImageFileType::Png: return decode_png_keep_palette(src, d);
    case ImageFileType::Tiff: return decode_tiff(src, d);
    default: return IoResult::failure("not an image file");
    }
}

IoResult decode_in_memory(ImageFileType type, const std::uint8_t* data, std::size_t size, Decoded& d) {
    switch (type) {
    case ImageFileType::Bmp: return decode_bmp(data, size, d);
    case ImageFileType::Ico: return decode_ico(data, size, d);
    case ImageFileType::Wmf: return decode_wmf(data, size, d);
    case ImageFileType::Emf: return decode_emf(data, size, d);
    default: return IoResult::failure("not an image file");
    }
}

IoResult hand_out(ImageFileType type, Decoded& d, Surface& out, ImageFileInfo* info) {
    if (d.surface.format() != PixelFormat::Indexed8) d.palette_entries = 0;
    if (info) *info = {type, d.palette_entries};
    out = std::move(d.surface);
    return IoResult::success();
}

}  // namespace

IoResult check_jpeg(const std::uint8_t* data, std::size_t size) {
    if (sniff_image_type(data, size) != ImageFileType::Jpeg) return IoResult::failure("not a JPEG picture");
    return codec::check_jpeg(MemorySource(data, size));
}

IoResult decode_image(const std::uint8_t* data, std::size_t size, Surface& out, ImageFileInfo* info) {
    const ImageFileType type = sniff_image_type(data, size);
    Decoded d;
    const IoResult r = streamed(type) ? decode_streamed(type, MemorySource(data, size), d)
                                      : decode_in_memory(type, data, size, d);
    if (!r) return r;
    return hand_out(type, d, out, info);
}

namespace {

// What the source's first bytes say it holds.
ImageFileType sniff_source(const ByteSource& src) {
    std::uint8_t head[64] = {};
    const std::size_t n = std::size_t(std::min<std::uint64_t>(src.size(), sizeof head));
    return src.read(0, head, n) ? sniff_image_type(head, n) : ImageFileType::Unknown;
}

IoResult size_from_headers(ImageFileType type, const ByteSource& src, Size& size) {
    switch (type) {
    case ImageFileType::Bmp: return bmp_size(src, size);
    case ImageFileType::Jpeg: return jpeg_size(src, size);
    case ImageFileType::Gif: return gif_size(src, size);
    case ImageFileType::Png: return png_size(src, size);
    case ImageFileType::Tiff: return tiff_size(src, size);
    case ImageFileType::Ico: return ico_size(src, size);
    case ImageFileType::Wmf: return wmf_size(src, size);
    case ImageFileType::Emf: return emf_size(src, size);
    case ImageFileType::Unknown: break;
    }
    return IoResult::failure("not an image file");
}

}  // namespace

ImageFileType sniff_image_file(const std::string& path) {
    Fd f;
    if (!open_input_file(path, f.fd)) return ImageFileType::Unknown;
    return sniff_source(FileSource(f.fd));
}

IoResult load_image(const std::string& path, Surface& out, ImageFileInfo* info) {
    Fd f;
    if (IoResult r = open_input_file(path, f.fd); !r) return r;
    // The first bytes tell the format, so a file that is no picture costs
    // no more than them, however large it is.
    const FileSource src(f.fd);
    const ImageFileType type = sniff_source(src);
    if (type == ImageFileType::Unknown) return IoResult::failure("not an image file");
    Decoded d;
    if (streamed(type)) {
        if (IoResult r = decode_streamed(type, src, d); !r) return r;
    } else {
        // Read whole only once the headers make sense.
        Size size;
        if (IoResult r = size_from_headers(type, src, size); !r) return r;
        std::vector<std::uint8_t> data;
        if (IoResult r = read_whole_file(f.fd, data); !r) return r;
        if (IoResult r = decode_in_memory(type, data.data(), data.size(), d); !r) return r;
    }
    return hand_out(type, d, out, info);
}

IoResult read_image_size(const std::string& path, Size& out) {
    Fd f;
    if (IoResult r = open_input_file(path, f.fd); !r) return r;
    const FileSource src(f.fd);
    Size size;
    if (IoResult r = size_from_headers(sniff_source(src), src, size); !r) return r;
    out = size;
    return IoResult::success();
}

IoResult encode_image(const Surface& surface, ImageFormat format, int jpeg_quality,
                      std::vector<std::uint8_t>& out, PngEffort png_effort, int dpi) {
    if (surface.is_null()) return IoResult::failure("empty image");
    std::vector<std::uint8_t> bytes;
    IoResult r = IoResult::failure("unknown image format");
    switch (format) {
    case ImageFormat::Bmp: r = encode_bmp(surface, bytes); break;
    case ImageFormat::Jpeg: r = encode_jpeg(surface, std::clamp(jpeg_quality, 1, 100), bytes); break;
    case ImageFormat::Gif: r = encode_gif(surface, bytes); break;
    case ImageFormat::Png: r = encode_png(surface, bytes, png_effort, dpi); break;
    case ImageFormat::Tiff: r = encode_tiff(surface, bytes, dpi); break;
    }
    if (!r) return r;
    out = std::move(bytes);
    return IoResult::success();
}

IoResult save_image(const Surface& surface, const std::string& path, ImageFormat format, int jpeg_quality,
                    PngEffort png_effort, int dpi) {
    std::vector<std::uint8_t> bytes;
    if (IoResult r = encode_image(surface, format, jpeg_quality, bytes, png_effort, dpi); !r) return r;
    return write_file_replacing(path, bytes);
}

}  // namespace plat

#include "picture_source.h"

#include "plat/codecs/codecs.h"
#include "plat/codecs/input_file.h"
#include "plat/capture/movie.h"

namespace plat::capture {

namespace {

FrameView half_of(const std::uint8_t* data, int width, int height, std::size_t stride, int bytes_per_pixel,
                  PixelLayout layout, int side) {
    FrameView v;
    const int half = width / 2;
    v.data = data + std::size_t(side) * std::size_t(half) * std::size_t(bytes_per_pixel);
    v.width = half;
    v.height = height;
    v.stride = std::ptrdiff_t(stride);
    v.layout = layout;
    v.length = stride * std::size_t(height - 1) + std::size_t(half) * std::size_t(bytes_per_pixel);
    return v;
}

class StillHalf final : public HalfPictureSource {
public:
    StillHalf(Surface picture, int side) : picture_(std::move(picture)), side_(side) {}
    bool next(FrameView& out) override {
        out = half_of(picture_.bits(), picture_.width(), picture_.height(), std::size_t(picture_.stride()), 4,
                      PixelLayout::Xrgb32, side_);
        return true;
    }

private:
    Surface picture_;
    int side_;
};

class MovieHalf final : public HalfPictureSource {
public:
    MovieHalf(std::unique_ptr<MovieReader> movie, int side) : movie_(std::move(movie)), side_(side) {}
    bool next(FrameView& out) override {
        BgrFrame f;
        if (!movie_->next_frame(f)) {
            movie_->rewind();
            if (!movie_->next_frame(f)) return false;
        }
        if (f.width < 2 || f.height < 1) return false;
        out = half_of(f.data, f.width, f.height, f.stride, 3, PixelLayout::Bgr24, side_);
        return true;
    }

private:
    std::unique_ptr<MovieReader> movie_;
    int side_;
};

std::string size_text(int width, int height) { return std::to_string(width) + " x " + std::to_string(height); }

}  // namespace

std::unique_ptr<HalfPictureSource> open_half_picture_source(const std::string& path, int side, std::string& why) {
    const std::string named = "\"" + path + "\"";
    // Checked before the movie reader sees the name: a FIFO or a device would keep it waiting.
    if (IoResult r = check_input_file(path); !r) {
        why = named + ": " + r.message;
        return nullptr;
    }
    // A picture is told by its first bytes; only what is none goes to the movie reader.
    if (sniff_image_file(path) != ImageFileType::Unknown) {
        Surface picture;
        if (IoResult r = load_image(path, picture); !r) {
            why = named + ": " + r.message;
            return nullptr;
        }
        if (picture.width() < 2) {
            why = named + " is " + size_text(picture.width(), picture.height()) +
                  " pixels: a stereo pair needs two halves side by side, at least 2 pixels across";
            return nullptr;
        }
        if (picture.format() != PixelFormat::Rgb32) {
            Surface rgb(picture.width(), picture.height());
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x) rgb.set_pixel(x, y, picture.pixel(x, y));
            picture = std::move(rgb);
        }
        return std::make_unique<StillHalf>(std::move(picture), side);
    }
    auto movie = std::make_unique<MovieReader>();
    if (!movie->open(path)) {
        why = named + ": neither a picture nor a movie that can be read";
        return nullptr;
    }
    if (movie->frame_width() < 2) {
        why = named + ": the movie's frames are " + size_text(movie->frame_width(), movie->frame_height()) +
              " pixels: a side-by-side movie needs frames at least 2 pixels across";
        return nullptr;
    }
    return std::make_unique<MovieHalf>(std::move(movie), side);
}

bool camera_source_usable(const std::string& source, std::string& why) {
    return open_half_picture_source(source, 0, why) != nullptr;
}

}  // namespace plat::capture

// A movie file read frame by frame through OpenCV's videoio: what the
// programs and the virtual cameras need of it and nothing more. No OpenCV
// type crosses this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace plat {

// One decoded frame: rows of blue, green, red bytes, `stride` bytes apart
// (at least 3 x width; decoders may pad rows).
struct BgrFrame {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
};

class MovieReader {
public:
    MovieReader();
    ~MovieReader();
    MovieReader(const MovieReader&) = delete;
    MovieReader& operator=(const MovieReader&) = delete;

    // Opens a movie (a native UTF-8 path); false when it cannot be opened
    // or holds no video. A source that is open already is closed first.
    bool open(const std::string& path);
    bool is_open() const;

    // Frame size as the movie declares it; 0 without a movie.
    int frame_width() const;
    int frame_height() const;
    // Number of frames as the container declares it; 0 when it does not say.
    int frame_count() const;

    // Decodes the next frame; `out` stays valid until the next call of
    // next_frame, rewind or open. False after the last frame or without a movie.
    bool next_frame(BgrFrame& out);
    // Back to the first frame.
    void rewind();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace plat

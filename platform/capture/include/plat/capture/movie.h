// Movie files read frame by frame, and Motion JPEG movies written, through
// OpenCV's videoio: what the programs and the virtual cameras need of it and
// nothing more. No OpenCV type crosses this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace plat {

// One decoded frame: rows of blue, green, red bytes, `stride` bytes apart
// (at least 3 x width; decoders may pad rows). A frame may differ in size
// from the size the movie declares.
struct BgrFrame {
    const std::uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    std::size_t stride = 0;
};

// What reading the next frame gave.
enum class FrameRead {
    Decoded,      // the frame is in `out`
    Undecodable,  // the movie has a frame here that cannot be decoded; reading goes on after it
    End,          // past the last frame (or no movie)
};

// Why a movie could not be opened.
enum class MovieError {
    None,
    NoSuchFile,
    NotAFile,    // a folder, a device, a pipe: never opened, so nothing can hang on it
    CannotRead,  // the system refused (permissions, ...)
    NotAMovie,   // no decoder reads it, or it holds no video
};

class MovieReader {
public:
    MovieReader();
    ~MovieReader();
    MovieReader(const MovieReader&) = delete;
    MovieReader& operator=(const MovieReader&) = delete;

    // Opens a movie (a native UTF-8 path); false when it cannot be opened
    // or holds no video, with the reason in error() and error_text(). A
    // source that is open already is closed first. Only regular files are
    // opened.
    bool open(const std::string& path);
    bool is_open() const;
    MovieError error() const;
    // The reason as a short phrase for messages: "no such file", ...
    const std::string& error_text() const;

    // Frame size as the movie declares it; 0 without a movie.
    int frame_width() const;
    int frame_height() const;
    // Number of frames as the container declares it; 0 when it does not say.
    int frame_count() const;
    // Frames a second as the movie declares it; 0 when it does not say.
    double frame_rate() const;

    // Reads the next frame; `index` is its number in the movie, from 0 at
    // the first frame. A frame that cannot be decoded is Undecodable only
    // while the movie declares more frames than have been read: after the
    // declared count, or after a long run of frames that all fail (a movie
    // cut short), reading ends. `out` stays valid until the next read,
    // rewind or open.
    FrameRead read_frame(BgrFrame& out, int& index);
    // The next frame that can be decoded, passing over those that cannot;
    // false after the last frame or without a movie.
    bool next_frame(BgrFrame& out);
    // Back to the first frame.
    void rewind();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// A Motion JPEG AVI written whole or not at all: frames go into a new file
// beside the name given, which takes that name when finish() completes it.
// A movie not finished (an error, a stop, the writer destroyed first) leaves
// nothing behind and whatever had the name before untouched.
class MovieWriter {
public:
    MovieWriter();
    ~MovieWriter();  // discards a movie not finished
    MovieWriter(const MovieWriter&) = delete;
    MovieWriter& operator=(const MovieWriter&) = delete;

    // Starts a movie of width x height frames at `fps` frames a second that
    // is to become `path` (a native UTF-8 path ending in .avi); false with
    // the reason in error_text() when it cannot be started.
    bool open(const std::string& path, double fps, int width, int height);
    bool is_open() const;
    // Appends a frame: rows of 0x00RRGGBB words, `stride` bytes apart, of
    // the size given to open().
    bool write(const std::uint32_t* pixels, std::size_t stride);
    // Completes the file and gives it its name; false (and nothing left
    // behind) when that fails.
    bool finish();
    // Drops the movie begun: its file is removed.
    void discard();
    const std::string& error_text() const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace plat

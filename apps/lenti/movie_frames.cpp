#include "movie_frames.h"

#include <algorithm>

#include "lenticular/worker_pool.h"

namespace lenti {

plat::Surface picture_of(const plat::BgrFrame& frame, plat::Surface reuse) {
    const bool fits = reuse.width() == frame.width && reuse.height() == frame.height &&
                      reuse.format() == plat::PixelFormat::Rgb32;
    plat::Surface picture = fits ? std::move(reuse) : plat::Surface(frame.width, frame.height);
    if (picture.is_null()) return picture;
    const int w = frame.width;
    lenticular::parallel_for(frame.height, std::max(1, 65536 / std::max(w, 1)), [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            const std::uint8_t* s = frame.data + std::size_t(y) * frame.stride;
            std::uint32_t* d = picture.row32(y);
            for (int x = 0; x < w; ++x, s += 3) d[x] = std::uint32_t(s[2]) << 16 | std::uint32_t(s[1]) << 8 | s[0];
        }
    });
    return picture;
}

FrameDecoder::FrameDecoder(plat::MovieReader& movie, int ahead)
    : movie_(movie), frames_(std::size_t(std::max(ahead, 1))), thread_([this] { run(); }) {}

FrameDecoder::~FrameDecoder() {
    frames_.close();
    thread_.join();
}

void FrameDecoder::run() {
    for (;;) {
        MovieFrame f;
        plat::BgrFrame bgr;
        switch (movie_.read_frame(bgr, f.index)) {
        case plat::FrameRead::Decoded:
            f.picture = picture_of(bgr, spares_.take());
            f.kind = f.picture.is_null() ? MovieFrame::Kind::NoMemory : MovieFrame::Kind::Picture;
            break;
        case plat::FrameRead::Undecodable: f.kind = MovieFrame::Kind::Undecodable; break;
        case plat::FrameRead::End: f.kind = MovieFrame::Kind::End; break;
        }
        const bool last = f.kind == MovieFrame::Kind::End || f.kind == MovieFrame::Kind::NoMemory;
        if (!frames_.push(std::move(f))) return;
        if (last) return frames_.close();  // next() gives End from now on
    }
}

MovieFrame FrameDecoder::next() {
    std::optional<MovieFrame> f = frames_.pop();
    return f ? std::move(*f) : MovieFrame{};
}

}  // namespace lenti

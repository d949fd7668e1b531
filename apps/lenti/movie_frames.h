// A movie's frames decoded ahead on a thread of their own, as 0x00RRGGBB
// pictures, while the last one is interleaved and written.
#pragma once

#include <atomic>
#include <thread>

#include "bounded_queue.h"
#include "plat/capture/movie.h"
#include "plat/gfx/gfx.h"
#include "spare_surfaces.h"

namespace lenti {

struct MovieFrame {
    enum class Kind { Picture, Undecodable, End, NoMemory };
    Kind kind = Kind::End;
    int index = 0;           // the frame's number in the movie, from 0
    plat::Surface picture;   // Picture: the decoded frame
};

// The frame's blue, green, red rows as a 0x00RRGGBB picture, the rows shared
// among the worker pool, written over `reuse` when it has the frame's size;
// a null picture when there is no memory for it.
plat::Surface picture_of(const plat::BgrFrame& frame, plat::Surface reuse = {});

class FrameDecoder {
public:
    // Reads `movie` (open, not touched by anyone else until this ends) from
    // where it stands, at most `ahead` frames ahead of next().
    explicit FrameDecoder(plat::MovieReader& movie, int ahead = 2);
    ~FrameDecoder();  // stops reading
    FrameDecoder(const FrameDecoder&) = delete;
    FrameDecoder& operator=(const FrameDecoder&) = delete;

    // The next frame in order; End after the last one (and from then on).
    MovieFrame next();
    // A picture next() gave, done with: the decoder may write a later frame into it.
    void give_back(plat::Surface picture) { spares_.give(std::move(picture)); }

private:
    void run();

    plat::MovieReader& movie_;
    BoundedQueue<MovieFrame> frames_;
    SpareSurfaces spares_{1};
    std::thread thread_;
};

}  // namespace lenti

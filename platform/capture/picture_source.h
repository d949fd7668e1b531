// Pictures for a virtual camera from a file: one half of a stereo pair
// picture (the same every time), or of each frame of a side-by-side movie
// (the movie starts again after its last frame).
#pragma once

#include <memory>
#include <string>

#include "plat/capture/capture.h"

namespace plat::capture {

class HalfPictureSource {
public:
    virtual ~HalfPictureSource() = default;
    // The next picture, valid until the next call; false when there is none.
    virtual bool next(FrameView& out) = 0;
};

// `side` 0 is the left half, 1 the right one. Null, with the reason in
// `why`, when the file is neither a picture nor a movie.
std::unique_ptr<HalfPictureSource> open_half_picture_source(const std::string& path, int side, std::string& why);

}  // namespace plat::capture

// Pictures a movie render is done with, handed back for the next frame of
// the same size: a fresh 4K picture is 33 MB the system must clear and map
// page by page, every frame.
#pragma once

#include <cstddef>
#include <mutex>
#include <vector>

#include "plat/gfx/gfx.h"

namespace lenti {

class SpareSurfaces {
public:
    explicit SpareSurfaces(std::size_t keep) : keep_(keep) {}

    // Keeps the picture for take() unless enough are kept already.
    void give(plat::Surface picture) {
        std::lock_guard lock(mutex_);
        if (!picture.is_null() && spares_.size() < keep_) spares_.push_back(std::move(picture));
    }

    // A picture given back, or a null one.
    plat::Surface take() {
        std::lock_guard lock(mutex_);
        if (spares_.empty()) return {};
        plat::Surface picture = std::move(spares_.back());
        spares_.pop_back();
        return picture;
    }

private:
    const std::size_t keep_;
    std::mutex mutex_;
    std::vector<plat::Surface> spares_;
};

}  // namespace lenti

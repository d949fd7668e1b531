#include "plat/core/metrics.h"

#include "backend_interface.h"

namespace plat {

const Metrics& metrics() {
    static const Metrics m;
    return m;
}

Size screen_size() { return detail::backend().screen_size(); }

Rect work_area() { return detail::backend().work_area(); }

Size full_screen_client() {
    Rect w = work_area();
    return {w.width(), w.height() - metrics().caption_height};
}

int screen_depth() { return detail::backend().screen_depth(); }

}  // namespace plat

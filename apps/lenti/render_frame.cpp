#include "render_frame.h"

#include <string>

#include "lenticular/interleave.h"
#include "view_pictures.h"

namespace lenti {

std::optional<Failure> render_frame(const RenderOptions& o, const std::vector<plat::Surface>& pictures, int W, int H,
                                    plat::Surface& out) {
    StretchedViews views;
    if (auto f = stretch_views(o, pictures, W, H, views)) return f;

    LenticularParams p;
    p.pitch = o.pitch;
    p.view_num = o.views_used ? o.views_used : o.view_count();
    p.pic_num = views.pic_num;
    p.gap = o.gap;
    p.pos = o.pos;
    p.AA = o.aa ? 1 : 0;
    p.lenticular = o.normal_mode ? 1 : 0;
    InterleaveTarget t;
    t.start_column = 0;
    t.row_base = 0;
    t.width = W;
    t.height = H;
    t.layout = views.layout;
    t.grid_columns = views.grid_columns;

    out = plat::Surface(W, H);
    if (out.is_null())
        return input_error("not enough memory for a " + std::to_string(W) + "x" + std::to_string(H) + " picture");
    out.fill(0);
    if (int bad = InterleaveBuffers(p, t, views.pixels.data(), views.width, views.height, out.row32(0), W, H))
        return input_error("the pass refused these parameters (code " + std::to_string(bad) + ")");
    return std::nullopt;
}

}  // namespace lenti

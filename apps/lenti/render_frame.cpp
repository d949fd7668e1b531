#include "render_frame.h"

#include <string>

#include "lenticular/interleave.h"
#include "view_pictures.h"

namespace lenti {

std::optional<Failure> render_frame(const RenderOptions& o, const std::vector<plat::Surface>& pictures, int W, int H,
                                    plat::Surface& out) {
    ViewCanvas views;
    if (auto f = map_views(o, pictures, W, H, views)) return f;

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

    const bool kept = out.width() == W && out.height() == H && out.format() == plat::PixelFormat::Rgb32;
    if (!kept) out = plat::Surface(W, H);
    if (out.is_null())
        return input_error("not enough memory for a " + std::to_string(W) + "x" + std::to_string(H) + " picture");
    // A new picture starts black. A kept one is not cleared: with the same
    // options and size the pass writes the same subpixels every frame, so
    // those it leaves are still black.
    if (int bad = InterleaveResampled(p, t, views.source(), out.row32(0), W, H))
        return input_error("the pass refused these parameters (code " + std::to_string(bad) + ")");
    return std::nullopt;
}

}  // namespace lenti

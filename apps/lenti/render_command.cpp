#include "render_command.h"

#include <cstdio>

#include "cli_args.h"
#include "lenticular/interleave.h"
#include "picture_output.h"
#include "render_options.h"
#include "view_pictures.h"

namespace lenti {

namespace {

int fail(const Failure& f) { return report("render", f); }

}  // namespace

int run_render(const std::vector<std::string>& args) {
    if (asks_for_help(args)) {
        std::fputs(render_usage(), stdout);
        return kExitDone;
    }
    RenderOptions o;
    if (auto f = parse_render_options(args, o)) return fail({f->exit_code, f->message + " (see lenti render --help)"});
    std::vector<plat::Surface> pictures;
    if (auto f = load_pictures(o, pictures)) return fail(*f);
    const int W = o.width ? o.width : pictures.front().width();
    const int H = o.height ? o.height : pictures.front().height();
    StretchedViews views;
    if (auto f = stretch_views(o, pictures, W, H, views)) return fail(*f);
    pictures.clear();  // the stretched views are all the pass needs

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

    plat::Surface picture(W, H);
    if (picture.is_null()) return fail(input_error("not enough memory for a " + std::to_string(W) + "x" + std::to_string(H) + " picture"));
    picture.fill(0);
    if (int bad = InterleaveBuffers(p, t, views.pixels.data(), views.width, views.height, picture.row32(0), W, H))
        return fail(input_error("the pass refused these parameters (code " + std::to_string(bad) + ")"));

    if (auto f = write_picture(picture, o.out, o.format, o.dpi)) return fail(*f);
    return kExitDone;
}

}  // namespace lenti

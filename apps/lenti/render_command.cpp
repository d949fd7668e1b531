#include "render_command.h"

#include <cstdio>

#include "lenticular/interleave.h"
#include "plat/codecs/codecs.h"
#include "render_options.h"
#include "view_pictures.h"

namespace lenti {

namespace {

int fail(const Failure& f) {
    std::fprintf(stderr, "lenti render: %s\n", f.message.c_str());
    return f.exit_code;
}

bool wants_help(const std::vector<std::string>& args) {
    for (const std::string& a : args)
        if (a == "--help" || a == "-h") return true;
    return false;
}

}  // namespace

int run_render(const std::vector<std::string>& args) {
    if (wants_help(args)) {
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

    // The codecs write beside the file and rename it over its name when the
    // file is whole, so a failure leaves nothing half-written under it.
    const plat::ImageFormat format = o.format == OutputFormat::Png ? plat::ImageFormat::Png : plat::ImageFormat::Tiff;
    if (plat::IoResult r = plat::save_image(picture, o.out, format, plat::kDefaultJpegQuality, plat::PngEffort::Fast, o.dpi);
        !r)
        return fail(input_error("cannot write " + o.out + ": " + r.message));
    return kExitDone;
}

}  // namespace lenti

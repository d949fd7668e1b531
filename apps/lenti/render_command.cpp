#include "render_command.h"

#include <cstdio>

#include "cli_args.h"
#include "movie_render.h"
#include "picture_output.h"
#include "render_frame.h"
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
    if (!o.movie.empty()) return run_movie_render(o);
    std::vector<plat::Surface> pictures;
    if (auto f = load_pictures(o, pictures)) return fail(*f);
    const int W = o.width ? o.width : pictures.front().width();
    const int H = o.height ? o.height : pictures.front().height();
    plat::Surface picture;
    if (auto f = render_frame(o, pictures, W, H, picture)) return fail(*f);
    if (auto f = write_picture(picture, o.out, o.format, o.dpi)) return fail(*f);
    return kExitDone;
}

}  // namespace lenti

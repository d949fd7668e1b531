#include "simulate_command.h"

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli_args.h"
#include "lens_sheet.h"
#include "picture_output.h"
#include "plat/codecs/codecs.h"
#include "simulate_options.h"
#include "view_light.h"
#include "view_pictures.h"

namespace lenti {

namespace {

int fail(const Failure& f) { return report("simulate", f); }

std::optional<Failure> load(const std::string& file, plat::Surface& out) {
    if (plat::IoResult r = plat::load_image(file, out); !r) return input_error("cannot read " + file + ": " + r.message);
    out = as_rgb32(std::move(out));
    if (out.is_null()) return input_error("cannot read " + file + ": not enough memory");
    return std::nullopt;
}

std::string size_text(const plat::Surface& s) { return std::to_string(s.width()) + "x" + std::to_string(s.height()); }

}  // namespace

int run_simulate(const std::vector<std::string>& args) {
    if (asks_for_help(args)) {
        std::fputs(simulate_usage(), stdout);
        return kExitDone;
    }
    SimulateOptions o;
    if (auto f = parse_simulate_options(args, o))
        return fail({f->exit_code, f->message + " (see lenti simulate --help)"});
    plat::Surface picture;
    if (auto f = load(o.picture, picture)) return fail(*f);
    std::vector<plat::Surface> views(o.views.size());
    for (std::size_t v = 0; v < views.size(); ++v) {
        if (auto f = load(o.views[v], views[v])) return fail(*f);
        if (views[v].size() != views[0].size())
            return fail(input_error("the views differ in size: " + o.views[0] + " is " + size_text(views[0]) + ", " +
                                    o.views[v] + " is " + size_text(views[v])));
    }
    namespace fs = std::filesystem;
    if (!o.out_dir.empty()) {
        std::error_code ec;
        fs::create_directories(o.out_dir, ec);
        if (ec || !fs::is_directory(o.out_dir)) return fail(input_error("cannot make the folder " + o.out_dir));
    }
    const bool progress = isatty(STDERR_FILENO) != 0;
    std::optional<ResampledViews> resampled;
    if (!views.empty()) resampled.emplace(views, picture.width(), picture.height());
    for (int eye = 1; eye <= o.eyes; ++eye) {
        if (progress) std::fprintf(stderr, "\rlenti simulate: eye %d of %d", eye, o.eyes);
        const EyeWindow window(o.pitch, eye, o.eyes, o.window());
        if (!o.out_dir.empty()) {
            const std::string file = (fs::path(o.out_dir) / ("eye_" + std::to_string(eye) + ".png")).string();
            if (auto f = write_picture(eye_picture(picture, window), file, OutputFormat::Png, plat::kDefaultDpi))
                return fail(*f);
        }
        if (resampled) {
            const EyeLight light = light_by_view(picture, *resampled, window);
            if (progress) std::fputs("\r\033[K", stderr);
            if (light.total <= 0.0)
                std::printf("eye %d: sees none of the picture\n", eye);
            else
                std::printf("eye %d: view %d, crosstalk %.1f%%\n", eye, light.most_seen() + 1,
                            light.crosstalk_percent());
            std::fflush(stdout);
        }
    }
    if (progress) std::fputs("\r\033[K", stderr);
    return kExitDone;
}

}  // namespace lenti

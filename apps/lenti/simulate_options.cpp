#include "simulate_options.h"

#include "cli_args.h"
#include "render_options.h"

namespace lenti {

namespace {

constexpr double kMaxPitch = 100000.0;

bool is_option(const std::string& a) { return a.size() > 2 && a[0] == '-' && a[1] == '-'; }

}  // namespace

const char* simulate_usage() {
    return "usage: lenti simulate --picture FILE --pitch P --eyes N [--views F1 .. Fn] [--aperture A] [--out DIR]\n"
           "What an eye sees through an ideal lens sheet laid on an interleaved picture (as lenti render\n"
           "writes them). The lenses run along the interleaving diagonal, one subpixel to the right per\n"
           "row, the first one starting at the picture's top left subpixel. Eye K (1..N) looks through\n"
           "the window of every lens centred at (K - 1/2) / N of its width from the lens's left edge,\n"
           "where the pass puts view 1 (a lens shows an eye the far side of its axis: in space eye 1\n"
           "is the rightmost position, eye N the leftmost).\n"
           "  --picture FILE     the interleaved picture\n"
           "  --pitch P          lens width in subpixel columns, 1 to 100000\n"
           "  --eyes N           eye positions across one lens, 1 to 64\n"
           "  --views F1 .. Fn   the 2 to 9 views the picture was made from, in render's order; prints\n"
           "                     'eye K: view V, crosstalk P%' per eye: V the view that eye sees most,\n"
           "                     P the share of its light from other views. The light of a subpixel is\n"
           "                     the part of its width inside the eye's window, whatever its colour; it\n"
           "                     goes to the view whose value there is closest (views equally close\n"
           "                     share it, so views should differ in every channel)\n"
           "  --aperture A       window width as a fraction of the lens, above 0 and at most 1\n"
           "                     (default 1/(2N): half of each eye's share, so neighbouring eyes'\n"
           "                     windows stay apart, as the narrow line an ideal lens shows an eye)\n"
           "  --out DIR          writes eye_1.png .. eye_N.png there (made if missing): what each eye\n"
           "                     sees, each pixel the window-weighted mean of the subpixels of each\n"
           "                     colour its lens shows in its own row and the rows above and below\n";
}

std::optional<Failure> parse_simulate_options(const std::vector<std::string>& args, SimulateOptions& o) {
    bool have_pitch = false, have_views = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--views") {
            if (have_views) return usage_error("give --views once");
            have_views = true;
            while (i + 1 < args.size() && !is_option(args[i + 1])) o.views.push_back(args[++i]);
            if (o.views.size() < std::size_t(kMinViews) || o.views.size() > std::size_t(kMaxViews))
                return usage_error("--views takes 2 to 9 files, not " + std::to_string(o.views.size()));
            continue;
        }
        if (!is_option(a)) return usage_error("unexpected argument '" + a + "'");
        if (i + 1 >= args.size()) return usage_error(a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--picture") {
            o.picture = v;
        } else if (a == "--pitch") {
            // A lens narrower than a subpixel cannot hold views apart.
            if (!parse_double(v, o.pitch) || o.pitch < 1.0 || o.pitch > kMaxPitch)
                return usage_error("--pitch must be a number from 1 to 100000, not '" + v + "'");
            have_pitch = true;
        } else if (a == "--eyes") {
            if (!parse_int(v, 1, kMaxEyes, o.eyes))
                return usage_error("--eyes must be a whole number from 1 to 64, not '" + v + "'");
        } else if (a == "--aperture") {
            if (!parse_double(v, o.aperture) || o.aperture <= 0.0 || o.aperture > 1.0)
                return usage_error("--aperture must be a number above 0 and at most 1, not '" + v + "'");
        } else if (a == "--out") {
            if (v.empty()) return usage_error("--out needs a folder");
            o.out_dir = v;
        } else {
            return usage_error("unknown option " + a);
        }
    }
    if (o.picture.empty()) return usage_error("no --picture");
    if (!have_pitch) return usage_error("no --pitch");
    if (o.eyes == 0) return usage_error("no --eyes");
    if (o.views.empty() && o.out_dir.empty()) return usage_error("nothing to do: give --views, --out or both");
    return std::nullopt;
}

}  // namespace lenti

#include "render_options.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "cli_args.h"

namespace lenti {

namespace {

constexpr int kMaxShift = 1000000;  // gap and pos, in subpixel columns
constexpr double kMaxPitch = 100000.0;

bool is_option(const std::string& a) { return a.size() > 2 && a[0] == '-' && a[1] == '-'; }

}  // namespace

std::optional<OutputFormat> output_format_of(const std::string& path) {
    std::error_code ec;
    if (!path.empty() && (path.back() == '/' || std::filesystem::is_directory(path, ec))) return OutputFormat::Folder;
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return std::nullopt;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == "png") return OutputFormat::Png;
    if (ext == "tif" || ext == "tiff") return OutputFormat::Tiff;
    if (ext == "avi") return OutputFormat::Avi;
    return std::nullopt;
}

int RenderOptions::view_count() const {
    switch (input) {
    case ViewInput::Pair: return 2;
    case ViewInput::Views: return int(files.size());
    case ViewInput::Grid: return grid_columns * grid_rows;
    }
    return 0;
}

const char* render_usage() {
    return "usage: lenti render (--pair FILE | --views F1 .. Fn | --grid CxR FILE) --pitch P --out FILE\n"
           "       lenti render --movie FILE --grid CxR --pitch P --out (DIR/ | FILE.avi)\n"
           "                    [--views-used N] [--gap G] [--pos S] [--aa on|off] [--mode reverse|normal]\n"
           "                    [--size WxH] [--dpi D]\n"
           "Interleaves views into one picture for a lens sheet, or every frame of a movie.\n"
           "  --pair FILE        two views side by side in one picture\n"
           "  --views F1 .. Fn   2 to 9 pictures of one size, one view each\n"
           "  --grid CxR FILE    C x R views in one picture, view v in cell (v mod C, v div C)\n"
           "  --movie FILE       a movie whose frames each hold C x R views as --grid CxR reads them\n"
           "  --pitch P          lens period in subpixel columns (above 0)\n"
           "  --views-used N     views per lens, the first N views (default: all)\n"
           "  --gap G            leading columns of every strip written black (default 0)\n"
           "  --pos S            shift of the strips of views 2.. in subpixel columns (default 0)\n"
           "  --aa on|off        blend the first column of each strip with the one before (default on)\n"
           "  --mode reverse|normal  how each strip samples its view (default reverse)\n"
           "  --size WxH         output size in pixels (default: the size of the first picture or frame)\n"
           "  --out FILE         .png, .tif or .tiff; written whole or not at all\n"
           "                     a movie: DIR/ for numbered PNGs (file_00000.png, ...), or a Motion JPEG .avi\n"
           "                     (written whole or not at all)\n"
           "  --dpi D            resolution written into the file (default 72)\n";
}

std::optional<Failure> parse_render_options(const std::vector<std::string>& args, RenderOptions& o) {
    bool have_input = false, have_pitch = false;
    auto value = [&](std::size_t& i, std::string& out) {
        if (i + 1 >= args.size()) return false;
        out = args[++i];
        return true;
    };
    auto set_input = [&](ViewInput input) -> std::optional<Failure> {
        if (have_input) return usage_error("give the views once: one of --pair, --views or --grid");
        have_input = true;
        o.input = input;
        return std::nullopt;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        std::string v;
        if (a == "--views") {
            if (auto f = set_input(ViewInput::Views)) return f;
            while (i + 1 < args.size() && !is_option(args[i + 1])) o.files.push_back(args[++i]);
            if (o.files.size() < std::size_t(kMinViews) || o.files.size() > std::size_t(kMaxViews))
                return usage_error("--views takes 2 to 9 files, not " + std::to_string(o.files.size()));
            continue;
        }
        if (!is_option(a)) return usage_error("unexpected argument '" + a + "'");
        if (!value(i, v)) return usage_error(a + " needs a value");
        if (a == "--pair") {
            if (auto f = set_input(ViewInput::Pair)) return f;
            o.files = {v};
        } else if (a == "--grid") {
            if (auto f = set_input(ViewInput::Grid)) return f;
            if (!parse_int_pair(v, 1, kMaxViews, o.grid_columns, o.grid_rows))
                return usage_error("--grid takes CxR, such as 3x3, not '" + v + "'");
            const int n = o.grid_columns * o.grid_rows;
            if (n < kMinViews || n > kMaxViews)
                return usage_error("--grid must hold 2 to 9 views, not " + std::to_string(n));
            // A movie gives the grid's pictures: then no file follows.
            if (i + 1 < args.size() && !is_option(args[i + 1])) o.files = {args[++i]};
        } else if (a == "--movie") {
            if (!o.movie.empty()) return usage_error("give --movie once");
            o.movie = v;
        } else if (a == "--pitch") {
            if (!parse_double(v, o.pitch) || o.pitch <= 0.0 || o.pitch > kMaxPitch)
                return usage_error("--pitch must be a number above 0 and at most 100000, not '" + v + "'");
            have_pitch = true;
        } else if (a == "--views-used") {
            if (!parse_int(v, 1, kMaxViews, o.views_used))
                return usage_error("--views-used must be a whole number from 1 to 9, not '" + v + "'");
        } else if (a == "--gap") {
            if (!parse_int(v, 0, kMaxShift, o.gap))
                return usage_error("--gap must be a whole number from 0 to 1000000, not '" + v + "'");
        } else if (a == "--pos") {
            if (!parse_int(v, -kMaxShift, kMaxShift, o.pos))
                return usage_error("--pos must be a whole number from -1000000 to 1000000, not '" + v + "'");
        } else if (a == "--aa") {
            if (v != "on" && v != "off") return usage_error("--aa takes on or off, not '" + v + "'");
            o.aa = v == "on";
        } else if (a == "--mode") {
            if (v != "reverse" && v != "normal") return usage_error("--mode takes reverse or normal, not '" + v + "'");
            o.normal_mode = v == "normal";
        } else if (a == "--size") {
            if (!parse_int_pair(v, 1, kMaxSide, o.width, o.height))
                return usage_error("--size takes WxH, each from 1 to 16384, not '" + v + "'");
        } else if (a == "--out") {
            const std::optional<OutputFormat> format = output_format_of(v);
            if (!format)
                return usage_error("--out must end in .png, .tif or .tiff (or, for a movie, be DIR/ or end in .avi): '" +
                                   v + "'");
            o.out = v;
            o.format = *format;
        } else if (a == "--dpi") {
            if (!parse_int(v, 1, 100000, o.dpi))
                return usage_error("--dpi must be a whole number from 1 to 100000, not '" + v + "'");
        } else {
            return usage_error("unknown option " + a);
        }
    }
    if (!o.movie.empty()) {
        if (!have_input) return usage_error("--movie needs --grid CxR: how the views lie in each frame");
        if (o.input != ViewInput::Grid) return usage_error("--movie takes its views from --grid CxR, not --pair or --views");
        if (!o.files.empty()) return usage_error("give the views once: --movie or a picture after --grid");
    }
    if (!have_input) return usage_error("no views: give --pair, --views or --grid");
    if (o.input == ViewInput::Grid && o.movie.empty() && o.files.empty())
        return usage_error("--grid needs a file after " + std::to_string(o.grid_columns) + "x" + std::to_string(o.grid_rows));
    if (!have_pitch) return usage_error("no --pitch");
    if (o.out.empty()) return usage_error("no --out");
    const bool movie_output = o.format == OutputFormat::Folder || o.format == OutputFormat::Avi;
    if (!o.movie.empty() && !movie_output)
        return usage_error("a movie's frames go to a folder (--out DIR/) or a movie (--out FILE.avi), not " + o.out);
    if (o.movie.empty() && movie_output) return usage_error("--out " + o.out + " is for a movie (--movie FILE)");
    if (o.views_used > o.view_count())
        return usage_error("--views-used " + std::to_string(o.views_used) + " but only " +
                           std::to_string(o.view_count()) + " views are given");
    return std::nullopt;
}

}  // namespace lenti

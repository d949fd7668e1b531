#include "chart_command.h"

#include <cstdio>

#include "cli_args.h"
#include "lenticular/interleave.h"
#include "picture_output.h"
#include "plat/gfx/bitmap_font.h"
#include "render_options.h"
#include "view_pictures.h"

namespace lenti {

namespace {

constexpr int kLabelColumns = 168;  // subpixel columns at the left of a strip that hold only its label
constexpr int kLabelBaseline = 20;  // below a strip's top
constexpr int kLineHeight = 16;     // a label too long for the chart goes on below
constexpr plat::Color kLabelColour = 0xFFFFFF;
constexpr int kMaxStrips = 1000;

const char kUsage[] =
    "usage: lenti chart --pair FILE --out FILE [--from P] [--step S] [--count N] [--size WxH] [--dpi D]\n"
    "A chart for finding the pitch of a lens sheet: N strips of the pair interleaved at pitches\n"
    "P, P + S, ..., each labelled with its pitch, then two blank strips.\n"
    "  --pair FILE   two views side by side in one picture\n"
    "  --from P      pitch of the first strip (default 8)\n"
    "  --step S      pitch added from one strip to the next (default 1)\n"
    "  --count N     number of strips, 1 to 1000 (default 20)\n"
    "  --size WxH    chart width and strip height in pixels (default 640x42)\n"
    "  --out FILE    .png, .tif or .tiff; written whole or not at all\n"
    "  --dpi D       resolution written into the file (default 72)\n";

struct ChartOptions {
    std::string pair, out;
    OutputFormat format = OutputFormat::Png;
    double from = 8.0, step = 1.0;
    int count = 20;
    int width = 640, strip_height = 42;
    int dpi = 72;
};

std::optional<Failure> parse(const std::vector<std::string>& args, ChartOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.rfind("--", 0) != 0) return usage_error("unexpected argument '" + a + "'");
        if (i + 1 >= args.size()) return usage_error(a + " needs a value");
        const std::string& v = args[++i];
        if (a == "--pair") {
            o.pair = v;
        } else if (a == "--out") {
            const std::optional<OutputFormat> format = output_format_of(v);
            if (!format) return usage_error("--out must end in .png, .tif or .tiff: '" + v + "'");
            o.out = v;
            o.format = *format;
        } else if (a == "--from") {
            if (!parse_double(v, o.from)) return usage_error("--from must be a number, not '" + v + "'");
        } else if (a == "--step") {
            if (!parse_double(v, o.step)) return usage_error("--step must be a number, not '" + v + "'");
        } else if (a == "--count") {
            if (!parse_int(v, 1, kMaxStrips, o.count))
                return usage_error("--count must be a whole number from 1 to 1000, not '" + v + "'");
        } else if (a == "--size") {
            if (!parse_int_pair(v, 1, kMaxSide, o.width, o.strip_height))
                return usage_error("--size takes WxH, each from 1 to 16384, not '" + v + "'");
        } else if (a == "--dpi") {
            if (!parse_int(v, 1, 100000, o.dpi))
                return usage_error("--dpi must be a whole number from 1 to 100000, not '" + v + "'");
        } else {
            return usage_error("unknown option " + a);
        }
    }
    if (o.pair.empty()) return usage_error("no --pair");
    if (o.out.empty()) return usage_error("no --out");
    if ((long long)(o.count + 2) * o.strip_height > kMaxSide)
        return usage_error("the chart would be more than 16384 rows high");
    // Every strip's pitch, added up as the chart adds them, must be one the pass takes.
    double pitch = o.from;
    for (int i = 0; i < o.count; ++i, pitch += o.step)
        if (!(pitch > 0.0 && pitch <= 100000.0))
            return usage_error("strip " + std::to_string(i + 1) + " would have pitch " + std::to_string(pitch) +
                               "; every pitch must be above 0 and at most 100000");
    return std::nullopt;
}

// Text in the bitmap font with its baseline at row `baseline`, from x = 0;
// a line that reaches the right edge goes on 16 rows further down.
void draw_label(plat::Surface& chart, int baseline, const char* text) {
    int x = 0, y = baseline;
    for (const char* c = text; *c; ++c) {
        const std::uint8_t* glyph = plat::bitmap_font::glyph(static_cast<unsigned char>(*c));
        if (!glyph) continue;
        for (int i = 0; i < plat::bitmap_font::kRows; ++i)
            for (int j = 0; j < 8; ++j)
                if (glyph[i] & (0x80 >> j)) chart.set_pixel(x + j, y + i - plat::bitmap_font::kRows, kLabelColour);
        x += plat::bitmap_font::kAdvance;
        if (x > chart.width() - plat::bitmap_font::kAdvance) {
            x = 0;
            y += kLineHeight;
        }
    }
}

int fail(const Failure& f) { return report("chart", f); }

}  // namespace

int run_chart(const std::vector<std::string>& args) {
    if (asks_for_help(args)) {
        std::fputs(kUsage, stdout);
        return kExitDone;
    }
    ChartOptions o;
    if (auto f = parse(args, o)) return fail({f->exit_code, f->message + " (see lenti chart --help)"});
    RenderOptions pair;
    pair.input = ViewInput::Pair;
    pair.files = {o.pair};
    std::vector<plat::Surface> pictures;
    if (auto f = load_pictures(pair, pictures)) return fail(*f);
    ViewCanvas views;
    if (auto f = map_views(pair, pictures, o.width, o.strip_height, views)) return fail(*f);

    plat::Surface chart(o.width, (o.count + 2) * o.strip_height);
    if (chart.is_null()) return fail(input_error("not enough memory for the chart"));
    chart.fill(0);
    LenticularParams p;
    p.view_num = 2;
    p.pic_num = 2;
    p.AA = 1;
    InterleaveTarget t;
    t.start_column = kLabelColumns;
    t.width = o.width;
    t.height = o.strip_height;
    t.layout = ViewLayout::SideBySide;
    // The pitch goes up by repeated addition, strip after strip: the labels
    // and the patterns show the sums, not multiples of the step.
    double pitch = o.from;
    for (int i = 0; i < o.count; ++i, pitch += o.step) {
        char label[64];
        std::snprintf(label, sizeof label, "%.3f", pitch);
        draw_label(chart, o.strip_height * i + kLabelBaseline, label);
        p.pitch = pitch;
        t.row_base = o.strip_height * i / 3;
        if (int bad = InterleaveResampled(p, t, views.source(), chart.row32(0), chart.width(), chart.height()))
            return fail(input_error("the pass refused strip " + std::to_string(i + 1) + " (code " + std::to_string(bad) + ")"));
    }
    if (auto f = write_picture(chart, o.out, o.format, o.dpi)) return fail(*f);
    return kExitDone;
}

}  // namespace lenti

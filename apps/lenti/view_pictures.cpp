#include "view_pictures.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "lenticular/worker_pool.h"
#include "plat/codecs/codecs.h"

namespace lenti {

namespace {

// The stretched views of a 4K grid take about 900 MB; beyond this a render
// is refused rather than left to the memory allocator.
constexpr long long kMaxStretchedPixels = 1LL << 28;

std::string size_text(const plat::Surface& s) { return std::to_string(s.width()) + "x" + std::to_string(s.height()); }

// dst(x, y) = picture(trunc(x * xs), trunc(y * ys)) for x < cols, y < rows,
// black where that falls outside the picture; dst rows are `stride` pixels apart.
void stretch(const plat::Surface& picture, double xs, double ys, std::uint32_t* dst, int stride, int cols, int rows) {
    std::vector<int> column(static_cast<std::size_t>(cols));
    for (int x = 0; x < cols; ++x) {
        const double c = std::trunc(x * xs);
        column[std::size_t(x)] = c >= 0 && c < picture.width() ? int(c) : -1;
    }
    auto part = [&](int first, int end) {
        for (int y = first; y < end; ++y) {
            std::uint32_t* d = dst + std::size_t(y) * std::size_t(stride);
            const double t = std::trunc(y * ys);
            if (t < 0 || t >= picture.height()) {
                std::fill(d, d + cols, 0u);
                continue;
            }
            const std::uint32_t* s = picture.row32(int(t));
            for (int x = 0; x < cols; ++x) d[x] = column[std::size_t(x)] >= 0 ? s[column[std::size_t(x)]] & 0xFFFFFFu : 0u;
        }
    };
    lenticular::parallel_for(rows, std::max(1, 65536 / std::max(cols, 1)), part);
}

}  // namespace

plat::Surface as_rgb32(plat::Surface picture) {
    if (picture.format() == plat::PixelFormat::Rgb32) return picture;
    plat::Surface rgb(picture.width(), picture.height());
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) rgb.row32(y)[x] = picture.pixel(x, y) & 0xFFFFFFu;
    return rgb;
}

std::optional<Failure> load_pictures(const RenderOptions& o, std::vector<plat::Surface>& pictures) {
    pictures.clear();
    for (const std::string& file : o.files) {
        plat::Surface s;
        if (plat::IoResult r = plat::load_image(file, s); !r) return input_error("cannot read " + file + ": " + r.message);
        pictures.push_back(as_rgb32(std::move(s)));
        if (pictures.back().is_null()) return input_error("cannot read " + file + ": not enough memory");
    }
    return check_view_shapes(o, pictures, o.files[0]);
}

std::optional<Failure> check_view_shapes(const RenderOptions& o, const std::vector<plat::Surface>& pictures,
                                         const std::string& name) {
    const plat::Surface& first = pictures.front();
    switch (o.input) {
    case ViewInput::Pair:
        if (first.width() < 2) return input_error(name + " is too narrow to hold a pair");
        break;
    case ViewInput::Views:
        for (std::size_t i = 1; i < pictures.size(); ++i)
            if (pictures[i].size() != first.size())
                return input_error("the views differ in size: " + name + " is " + size_text(first) + ", " +
                                   o.files[i] + " is " + size_text(pictures[i]));
        break;
    case ViewInput::Grid:
        if (first.width() % o.grid_columns != 0 || first.height() % o.grid_rows != 0)
            return input_error("a " + std::to_string(o.grid_columns) + "x" + std::to_string(o.grid_rows) +
                               " grid does not divide " + name + " (" + size_text(first) + ")");
        break;
    }
    return std::nullopt;
}

std::optional<Failure> stretch_views(const RenderOptions& o, const std::vector<plat::Surface>& pictures, int W,
                                     int H, StretchedViews& out) {
    const int across = o.input == ViewInput::Grid ? o.grid_columns : o.view_count();
    const int down = o.input == ViewInput::Grid ? o.grid_rows : 1;
    const long long width = 3LL * W * across, height = (long long)H * down;
    if (width * height > kMaxStretchedPixels)
        return input_error("a " + std::to_string(W) + "x" + std::to_string(H) + " output of these views needs more memory than lenti takes");
    out.width = int(width);
    out.height = int(height);
    out.pixels.assign(std::size_t(width * height), 0u);
    const plat::Surface& first = pictures.front();
    switch (o.input) {
    case ViewInput::Pair:
        out.layout = ViewLayout::SideBySide;
        out.pic_num = 2;
        stretch(first, double(first.width() / 2) / (3.0 * W), double(first.height()) / H, out.pixels.data(),
                out.width, out.width, out.height);
        break;
    case ViewInput::Views:
        out.layout = ViewLayout::SideBySide;
        out.pic_num = across;
        for (int v = 0; v < across; ++v) {
            const plat::Surface& p = pictures[std::size_t(v)];
            stretch(p, double(p.width()) / (3.0 * W), double(p.height()) / H, out.pixels.data() + std::size_t(v) * 3 * W,
                    out.width, 3 * W, H);
        }
        break;
    case ViewInput::Grid:
        out.layout = ViewLayout::Grid;
        out.grid_columns = across;
        stretch(first, double(first.width() / across) / (3.0 * W), double(first.height() / down) / H,
                out.pixels.data(), out.width, out.width, out.height);
        break;
    }
    return std::nullopt;
}

}  // namespace lenti

#include "view_pictures.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "plat/codecs/codecs.h"

namespace lenti {

namespace {

// The canvas is at most 3 x 16384 x 9 columns by 16384 x 9 rows, far inside
// int; its maps take a few hundred kilobytes.
std::string size_text(const plat::Surface& s) { return std::to_string(s.width()) + "x" + std::to_string(s.height()); }

// trunc(i * scale) for i < count, offset by `base`; false if one falls outside [0, limit).
bool truncating_map(int count, double scale, int limit, std::ptrdiff_t base, std::ptrdiff_t step,
                    std::ptrdiff_t* out) {
    for (int i = 0; i < count; ++i) {
        const double t = std::trunc(i * scale);
        if (!(t >= 0 && t < limit)) return false;
        out[i] = base + std::ptrdiff_t(t) * step;
    }
    return true;
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

std::optional<Failure> map_views(const RenderOptions& o, const std::vector<plat::Surface>& pictures, int W, int H,
                                 ViewCanvas& out) {
    const int across = o.input == ViewInput::Grid ? o.grid_columns : o.view_count();
    const int down = o.input == ViewInput::Grid ? o.grid_rows : 1;
    out.width = 3 * W * across;
    out.height = H * down;
    out.column_offset.assign(std::size_t(out.width), 0);
    out.row_offset.assign(std::size_t(out.height), 0);
    const plat::Surface* picture = &pictures.front();
    double xs = 0.0, ys = 0.0;
    bool inside = true;
    switch (o.input) {
    case ViewInput::Pair:
        out.layout = ViewLayout::SideBySide;
        out.pic_num = 2;
        xs = double(picture->width() / 2) / (3.0 * W);
        ys = double(picture->height()) / H;
        inside = truncating_map(out.width, xs, picture->width(), 0, 1, out.column_offset.data());
        break;
    case ViewInput::Views: {
        out.layout = ViewLayout::SideBySide;
        out.pic_num = across;
        const int vw = picture->width(), vh = picture->height();
        out.packed = plat::Surface(vw * across, vh);
        if (out.packed.is_null()) return input_error("not enough memory for the views side by side");
        for (int v = 0; v < across; ++v) {
            const plat::Surface& p = pictures[std::size_t(v)];
            for (int y = 0; y < vh; ++y) std::copy(p.row32(y), p.row32(y) + vw, out.packed.row32(y) + v * vw);
            inside = inside && truncating_map(3 * W, double(vw) / (3.0 * W), vw, std::ptrdiff_t(v) * vw, 1,
                                              out.column_offset.data() + std::size_t(v) * 3 * W);
        }
        picture = &out.packed;
        ys = double(vh) / H;
        break;
    }
    case ViewInput::Grid:
        out.layout = ViewLayout::Grid;
        out.grid_columns = across;
        xs = double(picture->width() / across) / (3.0 * W);
        ys = double(picture->height() / down) / H;
        inside = truncating_map(out.width, xs, picture->width(), 0, 1, out.column_offset.data());
        break;
    }
    const std::ptrdiff_t stride = picture->height() > 1 ? picture->row32(1) - picture->row32(0) : picture->width();
    inside = inside && truncating_map(out.height, ys, picture->height(), 0, stride, out.row_offset.data());
    // The scales are below one view's size over the canvas's, so this
    // cannot happen; it is checked rather than read outside the picture.
    if (!inside) return input_error("the views cannot be resampled to " + std::to_string(W) + "x" + std::to_string(H));
    out.pixels = picture->row32(0);
    return std::nullopt;
}

}  // namespace lenti

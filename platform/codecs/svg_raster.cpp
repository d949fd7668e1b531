// Drawing an SVG document into pixels with librsvg and cairo: the EMF decoder
// turns its file into SVG with libemf2svg and finishes here.
//
// Shapes are drawn without anti-aliasing (crisp edges), as a desktop's own
// metafile player draws them; text keeps its smoothing.
#include <cairo.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "codec_common.h"

namespace plat::codec {

namespace {

struct HandleDeleter {
    void operator()(RsvgHandle* h) const { g_object_unref(h); }
};
struct SurfaceDeleter {
    void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
    void operator()(cairo_t* c) const { cairo_destroy(c); }
};

// The document with crisp shape edges asked for on its root element (an
// inherited property, so every shape takes it unless it says otherwise).
// Empty when there is no root element to be found.
std::string with_crisp_edges(std::string_view svg) {
    std::size_t at = 0;
    for (;;) {
        at = svg.find('<', at);
        if (at == std::string_view::npos || at + 1 >= svg.size()) return {};
        const char next = svg[at + 1];
        if (next != '?' && next != '!') break;
        ++at;
    }
    const std::size_t name_end = svg.find_first_of(" \t\r\n/>", at);
    if (name_end == std::string_view::npos) return {};
    const std::string_view name = svg.substr(at + 1, name_end - at - 1);
    if (name != "svg" && !(name.size() > 4 && name.substr(name.size() - 4) == ":svg")) return {};
    const std::size_t tag_end = svg.find('>', name_end);
    if (tag_end == std::string_view::npos) return {};
    // An attribute given twice would make the document unreadable.
    if (svg.substr(name_end, tag_end - name_end).find("shape-rendering") != std::string_view::npos)
        return std::string(svg);
    std::string out;
    out.reserve(svg.size() + 32);
    out.append(svg.substr(0, name_end));
    out.append(" shape-rendering=\"crispEdges\"");
    out.append(svg.substr(name_end));
    return out;
}

}  // namespace

IoResult rasterise_svg(const char* svg, std::size_t length, int width, int height, double dx, double dy,
                       Decoded& out) {
    if (!svg || length == 0) return IoResult::failure("picture converter produced nothing");
    if (!size_acceptable(std::uint64_t(std::max(width, 0)), std::uint64_t(std::max(height, 0))))
        return IoResult::failure("picture too large");
    const std::string document = with_crisp_edges(std::string_view(svg, length));
    if (document.empty()) return IoResult::failure("picture converter produced no picture");

    GError* error = nullptr;
    std::unique_ptr<RsvgHandle, HandleDeleter> handle(rsvg_handle_new_from_data(
        reinterpret_cast<const guint8*>(document.data()), gsize(document.size()), &error));
    if (!handle) {
        if (error) g_error_free(error);
        return IoResult::failure("picture converter produced an unreadable picture");
    }
    rsvg_handle_set_dpi(handle.get(), 96.0);

    std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return IoResult::failure("out of memory");
    std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));
    cairo_set_source_rgb(cr.get(), 1.0, 1.0, 1.0);
    cairo_paint(cr.get());

    // A document without a usable size of its own draws nothing: the picture
    // is blank, as its header's size still says it is there.
    double doc_width = 0, doc_height = 0;
    if (rsvg_handle_get_intrinsic_size_in_pixels(handle.get(), &doc_width, &doc_height) && doc_width > 0 &&
        doc_height > 0) {
        const RsvgRectangle viewport{dx, dy, doc_width, doc_height};
        if (!rsvg_handle_render_document(handle.get(), cr.get(), &viewport, &error)) {
            if (error) g_error_free(error);
            return IoResult::failure("picture could not be drawn");
        }
    }
    cairo_surface_flush(surface.get());

    Surface pixels(width, height);
    if (pixels.is_null()) return IoResult::failure("out of memory");
    const unsigned char* data = cairo_image_surface_get_data(surface.get());
    const int stride = cairo_image_surface_get_stride(surface.get());
    for (int y = 0; y < height; ++y) {
        // RGB24 keeps each pixel as a native 32-bit xRGB word.
        const auto* src = reinterpret_cast<const std::uint32_t*>(data + std::size_t(y) * std::size_t(stride));
        std::uint32_t* dst = pixels.row32(y);
        for (int x = 0; x < width; ++x) dst[x] = src[x] & 0x00FFFFFFu;
    }
    out.surface = std::move(pixels);
    out.palette_entries = 0;
    return IoResult::success();
}

}  // namespace plat::codec

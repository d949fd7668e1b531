// Composes what a window shows: its own surface with its children's on top.
#include <algorithm>

#include "decoration.h"
#include "registry.h"

namespace plat {

namespace {

void compose_into(const detail::WindowPtr& w, Surface& out, Point at) {
    {
        std::lock_guard slock(w->surface_mutex);
        Dc dc(out);
        dc.blit(at, w->surface, w->surface.rect());
    }
    std::vector<detail::WindowPtr> kids;
    Point client_at = at;
    {
        auto& r = detail::registry();
        std::lock_guard lock(r.m);
        if (!w->parent) {
            detail::DecorationLayout f = detail::decoration_layout(w->style, w->menu != nullptr, w->rect.size());
            client_at = at.translated(f.client.left, f.client.top);
        }
        for (auto& [id, c] : r.windows)
            if (c->parent == w->id && !c->destroying && (c->style & style::Visible)) kids.push_back(c);
    }
    std::sort(kids.begin(), kids.end(), [](auto& a, auto& b) { return a->id < b->id; });
    for (auto& c : kids) {
        Rect cr;
        {
            auto& r = detail::registry();
            std::lock_guard lock(r.m);
            cr = c->rect;
        }
        compose_into(c, out, client_at.translated(cr.left, cr.top));
    }
}

}  // namespace

Surface capture_window_pixels(Hwnd h) {
    auto w = detail::find_window_data(h);
    if (!w) return {};
    Size size;
    {
        auto& r = detail::registry();
        std::lock_guard lock(r.m);
        size = w->rect.size();
    }
    Surface out(size.width, size.height);
    compose_into(w, out, {0, 0});
    return out;
}

}  // namespace plat

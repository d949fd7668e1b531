// What a display backend reads of the windows: snapshots taken under the
// registry lock, and the pixels of a window held for presenting.
#include "backend_interface.h"
#include "registry.h"

namespace plat::detail {

DisplaySnapshot snapshot_for_display(const std::unordered_set<std::uint32_t>& changed) {
    DisplaySnapshot snap;
    auto& r = registry();
    std::lock_guard lock(r.m);
    std::unordered_set<std::uint32_t> tops;
    for (std::uint32_t id : changed) {
        const std::uint32_t top = top_level_of_locked(id);
        if (!top) {
            WindowSnapshot gone;
            gone.id = id;
            snap.windows.push_back(gone);
            continue;
        }
        if (!tops.insert(top).second) continue;
        const WindowData& w = *r.windows[top];
        WindowSnapshot s;
        s.id = top;
        s.exists = !w.destroying;
        s.visible = visible_locked(w);
        s.rect = w.rect;
        s.style = w.style;
        s.owner = w.owner_window;
        s.title = w.title;
        for (auto& [cid, c] : r.windows)
            if (c->parent == top && !c->destroying && (c->style & style::Visible)) s.has_children = true;
        snap.windows.push_back(std::move(s));
    }
    snap.z_order = r.zorder;
    snap.active = r.active;
    snap.capture_top = r.capture ? top_level_of_locked(r.capture) : 0;
    return snap;
}

bool with_window_pixels(std::uint32_t id, bool compose_children, const std::function<void(const Surface&)>& use) {
    WindowPtr data = find_window_data(Hwnd{id});
    if (!data) return false;
    if (compose_children) {
        use(capture_window_pixels(Hwnd{id}));
        return true;
    }
    SurfaceForPresenting surface(*data);
    use(data->surface);
    return true;
}

}  // namespace plat::detail

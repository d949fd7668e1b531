// The window registry: classes, creation and destruction, geometry, z-order,
// activation and focus.
#include <algorithm>

#include "backend_interface.h"
#include "decoration.h"
#include "registry.h"
#include "plat/core/metrics.h"

namespace plat {
namespace detail {

Registry& registry() {
    static Registry* r = new Registry;  // never destroyed: threads may outlive main's statics
    return *r;
}

WindowPtr find_window_data(Hwnd h) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    auto it = r.windows.find(h.id);
    return it == r.windows.end() ? nullptr : it->second;
}

Rect screen_rect_locked(const WindowData& w) {
    if (!(w.style & style::Child) || w.parent == 0) return w.rect;
    auto& r = registry();
    auto it = r.windows.find(w.parent);
    if (it == r.windows.end()) return w.rect;
    const WindowData& p = *it->second;
    Rect pr = screen_rect_locked(p);
    Point origin = pr.top_left();
    if (!(p.style & style::Child)) {
        DecorationLayout f = decoration_layout(p.style, p.menu != nullptr, pr.size());
        origin = origin.translated(f.client.left, f.client.top);
    }
    return w.rect.translated(origin.x, origin.y);
}

bool visible_locked(const WindowData& w) {
    if (!(w.style & style::Visible)) return false;
    if (w.parent == 0) return true;
    auto& r = registry();
    auto it = r.windows.find(w.parent);
    return it != r.windows.end() && visible_locked(*it->second);
}

std::uint32_t top_level_of_locked(std::uint32_t id) {
    auto& r = registry();
    for (int guard = 0; guard < 64; ++guard) {
        auto it = r.windows.find(id);
        if (it == r.windows.end()) return 0;
        if (it->second->parent == 0) return id;
        id = it->second->parent;
    }
    return 0;
}

namespace {

// The window's owner, or 0; lock held.
std::uint32_t owner_locked(std::uint32_t id) {
    auto& r = registry();
    auto it = r.windows.find(id);
    return it == r.windows.end() ? 0 : it->second->owner_window;
}

// Whether `ancestor` is the window itself or one of its owners; lock held.
// Owner chains are short and acyclic (an owner exists before what it owns);
// the bound only keeps a broken table from looping.
bool owned_by_or_is_locked(std::uint32_t id, std::uint32_t ancestor) {
    for (int depth = 0; id && depth < 64; ++depth) {
        if (id == ancestor) return true;
        id = owner_locked(id);
    }
    return false;
}

// The first window of the owner chain, which has no owner; lock held.
std::uint32_t group_root_locked(std::uint32_t id) {
    for (int depth = 0; depth < 64; ++depth) {
        std::uint32_t owner = owner_locked(id);
        if (!owner) return id;
        id = owner;
    }
    return id;
}

bool topmost_locked(std::uint32_t id) {
    auto& r = registry();
    auto it = r.windows.find(id);
    return it != r.windows.end() && (it->second->style & style::TopMost);
}

}  // namespace

void raise_locked(std::uint32_t id) {
    auto& r = registry();
    auto it = r.windows.find(id);
    if (it == r.windows.end() || it->second->parent != 0) return;
    auto& z = r.zorder;
    // The group: the chain's first owner and every window it owns, directly
    // or not, taken out in their present order.
    const std::uint32_t root = group_root_locked(id);
    std::vector<std::uint32_t> group;
    for (std::uint32_t o : z)
        if (group_root_locked(o) == root) group.push_back(o);
    if (std::find(group.begin(), group.end(), id) == group.end()) group.push_back(id);  // a new window
    z.erase(std::remove_if(z.begin(), z.end(), [&](std::uint32_t o) { return group_root_locked(o) == root; }),
            z.end());
    // From the first owner down to the window, each one's own subgroup moves
    // to the top of the group: the window ends on top, above its owners and
    // below only what it owns itself, and the order within a subgroup stays.
    std::vector<std::uint32_t> chain;
    for (std::uint32_t a = id; a && chain.size() < 64; a = owner_locked(a)) chain.push_back(a);
    for (auto a = chain.rbegin(); a != chain.rend(); ++a)
        std::stable_partition(group.begin(), group.end(),
                              [&](std::uint32_t o) { return !owned_by_or_is_locked(o, *a); });
    // Ordinary windows go just below the lowest topmost window.
    auto pos = topmost_locked(id) ? z.end() : std::find_if(z.begin(), z.end(), topmost_locked);
    z.insert(pos, group.begin(), group.end());
}

void notify_changed(Hwnd h) { backend().window_changed(h); }

}  // namespace detail

using namespace detail;

bool register_class(const WindowClass& cls) {
    if (cls.name.empty()) return false;
    auto& r = registry();
    std::lock_guard lock(r.m);
    return r.classes.emplace(cls.name, cls).second;
}

bool unregister_class(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    return r.classes.erase(std::string(name)) > 0;
}

bool class_registered(std::string_view name) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    return r.classes.count(std::string(name)) > 0;
}

Rect adjust_window_rect(Rect client, std::uint32_t st, bool has_menu_bar) {
    DecorationInsets in = decoration_insets(st, has_menu_bar);
    return {client.left - in.left, client.top - in.top, client.right + in.right,
            client.bottom + in.bottom};
}

Hwnd create_window(const CreateParams& p) {
    auto& r = registry();
    auto queue = current_queue();
    auto w = std::make_shared<WindowData>();
    {
        std::lock_guard lock(r.m);
        auto cls = r.classes.find(p.class_name);
        if (cls == r.classes.end()) return {};
        if ((p.style & style::Child) && !r.windows.count(p.parent.id)) return {};
        std::uint32_t owner = 0;
        if (!(p.style & style::Child) && p.owner) {
            owner = top_level_of_locked(p.owner.id);
            auto o = r.windows.find(owner);
            if (o == r.windows.end() || o->second->destroying) return {};
        }
        w->id = r.next_id++;
        w->queue = queue;
        w->owner = std::this_thread::get_id();
        w->class_name = p.class_name;
        w->proc = cls->second.proc;
        w->background = cls->second.background;
        w->paint_background = cls->second.paint_background;
        w->double_clicks = cls->second.double_clicks;
        w->style = p.style;
        w->parent = (p.style & style::Child) ? p.parent.id : 0;
        w->owner_window = owner;
        w->control_id = p.control_id;
        w->user_data = p.user_data;
        w->title = p.title;
        if (!w->parent) w->menu = p.menu;
        Rect rect = p.rect;
        if (!(p.style & style::Child) && (rect.left == kDefaultPos || rect.top == kDefaultPos)) {
            // Cascade from the work area's corner; a coordinate given is kept.
            int step = metrics().default_pos_step;
            Rect wa = backend().work_area();
            int n = r.cascade++ % 10;
            long long width = (long long)rect.right - rect.left;
            long long height = (long long)rect.bottom - rect.top;
            if (width <= 0 || width > (1 << 16)) width = 400;
            if (height <= 0 || height > (1 << 16)) height = 300;
            int x = rect.left == kDefaultPos ? wa.left + step * (n + 1) : rect.left;
            int y = rect.top == kDefaultPos ? wa.top + step * (n + 1) : rect.top;
            rect = Rect::from_xywh(x, y, int(width), int(height));
        }
        w->rect = rect;
        w->invalid = Rect{0, 0, 1 << 20, 1 << 20};
        r.windows.emplace(w->id, w);
        if (!w->parent) raise_locked(w->id);
    }
    Hwnd h{w->id};
    resize_surface(h);
    Message create;
    create.window = h;
    create.kind = MsgKind::Create;
    if (send_message(create) == -1) {
        destroy_window(h);
        return {};
    }
    if (!is_window(h)) return {};
    notify_changed(h);
    return h;
}

namespace {

void collect_subtree_locked(std::uint32_t id, std::vector<std::uint32_t>& out) {
    auto& r = registry();
    for (auto& [cid, cw] : r.windows)
        if (cw->parent == id) collect_subtree_locked(cid, out);
    out.push_back(id);  // children first
}

// What goes with a window: the windows it owns on the same thread (each with
// what it owns and its children, oldest first), then its own children, then
// itself. Owned windows of other threads cannot be destroyed from here.
void collect_doomed_locked(std::uint32_t id, std::thread::id thread, std::vector<std::uint32_t>& out) {
    auto& r = registry();
    std::vector<std::uint32_t> owned;
    for (auto& [oid, ow] : r.windows)
        if (ow->owner_window == id && ow->owner == thread && !ow->destroying) owned.push_back(oid);
    std::sort(owned.begin(), owned.end());
    for (std::uint32_t oid : owned)
        if (std::find(out.begin(), out.end(), oid) == out.end()) collect_doomed_locked(oid, thread, out);
    collect_subtree_locked(id, out);
}

}  // namespace

void destroy_window(Hwnd h) {
    auto w = find_window_data(h);
    if (!w || w->destroying) return;
    if (w->owner != std::this_thread::get_id()) {
        Message m;
        m.window = h;
        m.kind = MsgKind::User;
        m.param = kDestroyRequest;
        post_message(m);
        return;
    }
    auto& r = registry();
    std::vector<std::uint32_t> doomed;
    {
        std::lock_guard lock(r.m);
        collect_doomed_locked(h.id, w->owner, doomed);
        for (auto id : doomed) r.windows[id]->destroying = true;
    }
    for (auto id : doomed) {
        Message m;
        m.window = Hwnd{id};
        m.kind = MsgKind::Destroy;
        send_message(m);
    }
    std::uint32_t new_active = 0;
    std::uint32_t old_active = 0;
    std::vector<std::shared_ptr<ThreadQueue>> queues;
    std::vector<std::uint32_t> orphaned;  // owned windows of other threads, now without owner
    {
        std::lock_guard lock(r.m);
        for (auto& [oid, ow] : r.windows) {
            if (!ow->owner_window || std::find(doomed.begin(), doomed.end(), ow->owner_window) == doomed.end())
                continue;
            ow->owner_window = 0;
            if (std::find(doomed.begin(), doomed.end(), oid) == doomed.end()) orphaned.push_back(oid);
        }
        for (auto id : doomed) {
            if (auto q = r.windows[id]->queue.lock())
                if (std::find(queues.begin(), queues.end(), q) == queues.end()) queues.push_back(q);
            r.windows.erase(id);
            r.zorder.erase(std::remove(r.zorder.begin(), r.zorder.end(), id), r.zorder.end());
            if (r.focus == id) r.focus = 0;
            if (r.capture == id) r.capture = 0;
        }
        if (std::find(doomed.begin(), doomed.end(), r.active) != doomed.end()) {
            old_active = r.active;
            r.active = 0;
            // Activation passes to the topmost remaining visible window.
            for (auto it = r.zorder.rbegin(); it != r.zorder.rend(); ++it) {
                auto& cand = r.windows[*it];
                if (visible_locked(*cand) && !(cand->style & style::NoActivate)) {
                    new_active = *it;
                    break;
                }
            }
            r.active = new_active;
            r.focus = new_active;
        }
    }
    // Messages still queued for these windows would only be dropped, but while
    // queued they keep the driver from seeing the thread idle.
    for (auto& q : queues) {
        std::lock_guard lock(q->m);
        auto gone = [&](const Message& m) {
            return std::find(doomed.begin(), doomed.end(), m.window.id) != doomed.end();
        };
        q->messages.erase(std::remove_if(q->messages.begin(), q->messages.end(), gone), q->messages.end());
    }
    for (auto id : doomed) backend().window_destroyed(Hwnd{id});
    for (auto id : orphaned) notify_changed(Hwnd{id});
    if (old_active && new_active) {
        Message a;
        a.window = Hwnd{new_active};
        a.kind = MsgKind::Activate;
        a.flag = true;
        post_message(a);
        redraw_decoration(Hwnd{new_active});
    }
}

bool is_window(Hwnd h) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    auto it = r.windows.find(h.id);
    return it != r.windows.end() && !it->second->destroying;
}

bool is_visible(Hwnd h) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    auto it = r.windows.find(h.id);
    return it != r.windows.end() && visible_locked(*it->second);
}

bool owned_by_current_thread(Hwnd h) {
    auto w = find_window_data(h);
    return w && w->owner == std::this_thread::get_id();
}

Rect window_rect(Hwnd h) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    auto it = r.windows.find(h.id);
    return it == r.windows.end() ? Rect{} : screen_rect_locked(*it->second);
}

Rect client_rect(Hwnd h) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    auto it = r.windows.find(h.id);
    if (it == r.windows.end()) return {};
    const WindowData& w = *it->second;
    DecorationLayout f = decoration_layout(w.style, w.menu != nullptr, w.rect.size());
    return {0, 0, f.client.width(), f.client.height()};
}

Point client_origin(Hwnd h) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    auto it = r.windows.find(h.id);
    if (it == r.windows.end()) return {};
    const WindowData& w = *it->second;
    DecorationLayout f = decoration_layout(w.style, w.menu != nullptr, w.rect.size());
    Rect sr = screen_rect_locked(w);
    return {sr.left + f.client.left, sr.top + f.client.top};
}

void set_window_rect(Hwnd h, Rect rect) {
    auto& r = registry();
    bool moved = false;
    bool sized = false;
    {
        std::lock_guard lock(r.m);
        auto it = r.windows.find(h.id);
        if (it == r.windows.end()) return;
        WindowData& w = *it->second;
        if (rect.width() < 0) rect.right = rect.left;
        if (rect.height() < 0) rect.bottom = rect.top;
        moved = rect.top_left() != w.rect.top_left();
        sized = rect.size() != w.rect.size();
        w.rect = rect;
    }
    if (sized) resize_surface(h);
    if (!moved && !sized) return;
    Rect now = window_rect(h);
    auto deliver = [&](MsgKind kind) {
        Message m;
        m.window = h;
        m.kind = kind;
        m.rect = now;
        if (owned_by_current_thread(h))
            send_message(m);
        else
            post_message(m);
    };
    if (moved) deliver(MsgKind::Move);
    if (sized) deliver(MsgKind::Size);
    notify_changed(h);
}

void move_window(Hwnd h, Point top_left) {
    auto& r = registry();
    Rect rect;
    {
        std::lock_guard lock(r.m);
        auto it = r.windows.find(h.id);
        if (it == r.windows.end()) return;
        rect = it->second->rect;
    }
    set_window_rect(h, rect.moved_to(top_left));
}

void show_window(Hwnd h, bool visible) {
    auto& r = registry();
    {
        std::lock_guard lock(r.m);
        auto it = r.windows.find(h.id);
        if (it == r.windows.end()) return;
        WindowData& w = *it->second;
        bool was = w.style & style::Visible;
        if (was == visible) return;
        if (visible)
            w.style |= style::Visible;
        else
            w.style &= ~style::Visible;
    }
    if (visible) invalidate(h);
    notify_changed(h);
}

void set_window_text(Hwnd h, std::string_view text) {
    auto& r = registry();
    bool top = false;
    {
        std::lock_guard lock(r.m);
        auto it = r.windows.find(h.id);
        if (it == r.windows.end()) return;
        if (it->second->title == text) return;
        it->second->title = std::string(text);
        top = it->second->parent == 0;
    }
    if (top) redraw_decoration(h);
    invalidate(h);
}

template <typename T, typename F>
static T read_field(Hwnd h, T fallback, F f) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    auto it = r.windows.find(h.id);
    return it == r.windows.end() ? fallback : f(*it->second);
}

std::string window_text(Hwnd h) {
    return read_field<std::string>(h, {}, [](WindowData& w) { return w.title; });
}
std::string class_name(Hwnd h) {
    return read_field<std::string>(h, {}, [](WindowData& w) { return w.class_name; });
}
std::uint32_t window_style(Hwnd h) {
    return read_field<std::uint32_t>(h, 0, [](WindowData& w) { return w.style; });
}
Hwnd parent_of(Hwnd h) {
    return read_field<Hwnd>(h, {}, [](WindowData& w) { return Hwnd{w.parent}; });
}
Hwnd owner_of(Hwnd h) {
    return read_field<Hwnd>(h, {}, [](WindowData& w) { return Hwnd{w.owner_window}; });
}
int control_id(Hwnd h) {
    return read_field<int>(h, 0, [](WindowData& w) { return w.control_id; });
}
std::intptr_t user_data(Hwnd h) {
    return read_field<std::intptr_t>(h, 0, [](WindowData& w) { return w.user_data; });
}

void set_user_data(Hwnd h, std::intptr_t value) {
    read_field<int>(h, 0, [&](WindowData& w) {
        w.user_data = value;
        return 0;
    });
}

void set_window_proc(Hwnd h, WindowProc proc) {
    read_field<int>(h, 0, [&](WindowData& w) {
        w.proc = std::move(proc);
        return 0;
    });
}

Hwnd child_by_id(Hwnd parent, int id) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    for (auto& [cid, w] : r.windows)
        if (w->parent == parent.id && w->control_id == id && !w->destroying) return Hwnd{cid};
    return {};
}

std::vector<Hwnd> top_level_windows() {
    auto& r = registry();
    std::lock_guard lock(r.m);
    std::vector<Hwnd> out;
    for (auto id : r.zorder)
        if (!r.windows[id]->destroying) out.push_back(Hwnd{id});
    return out;
}

std::vector<Hwnd> children_of(Hwnd h) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    std::vector<std::uint32_t> ids;
    for (auto& [cid, w] : r.windows)
        if (w->parent == h.id && !w->destroying) ids.push_back(cid);
    std::sort(ids.begin(), ids.end());  // creation order
    std::vector<Hwnd> out;
    for (auto id : ids) out.push_back(Hwnd{id});
    return out;
}

Hwnd find_window(std::string_view cls, std::string_view title) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    for (auto it = r.zorder.rbegin(); it != r.zorder.rend(); ++it) {
        auto& w = r.windows[*it];
        if (w->destroying || w->class_name != cls) continue;
        if (!title.empty() && w->title != title) continue;
        return Hwnd{*it};
    }
    return {};
}

namespace {

// Deepest visible child under the point that takes the mouse; lock held.
std::uint32_t child_at_locked(std::uint32_t parent, Point screen) {
    auto& r = registry();
    std::uint32_t best = 0;
    for (auto& [cid, w] : r.windows) {
        if (w->parent != parent || w->destroying || !(w->style & style::Visible)) continue;
        if (w->style & style::MouseTransparent) continue;
        if (screen_rect_locked(*w).contains(screen) && cid > best) best = cid;
    }
    if (!best) return parent;
    return child_at_locked(best, screen);
}

}  // namespace

Hwnd window_at(Point screen) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    for (auto it = r.zorder.rbegin(); it != r.zorder.rend(); ++it) {
        auto& w = r.windows[*it];
        if (w->destroying || !(w->style & style::Visible)) continue;
        if (!w->rect.contains(screen)) continue;
        DecorationLayout f = decoration_layout(w->style, w->menu != nullptr, w->rect.size());
        Rect client = f.client.translated(w->rect.left, w->rect.top);
        if (!client.contains(screen)) return Hwnd{*it};
        return Hwnd{child_at_locked(*it, screen)};
    }
    return {};
}

Hit hit_test(Hwnd h, Point screen) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    auto it = r.windows.find(h.id);
    if (it == r.windows.end()) return Hit::Nowhere;
    const WindowData& w = *it->second;
    Rect sr = screen_rect_locked(w);
    if (!sr.contains(screen)) return Hit::Nowhere;
    if (w.parent) return Hit::Client;
    return decoration_hit(w.style, w.menu != nullptr, sr.size(),
                     Point{screen.x - sr.left, screen.y - sr.top});
}

namespace {

// A top-level window is told it became active or inactive, and its title
// bar shows it.
void tell_activation(Hwnd top, bool active) {
    Message m;
    m.kind = MsgKind::Activate;
    m.window = top;
    m.flag = active;
    post_message(m);
    redraw_decoration(top);
}

}  // namespace

void set_foreground(Hwnd h) {
    auto& r = registry();
    std::uint32_t old_active = 0;
    std::uint32_t top = 0;
    std::uint32_t lost_focus = 0;  // a window of another top-level window that had the focus
    bool focus_moved = false;
    {
        std::lock_guard lock(r.m);
        top = top_level_of_locked(h.id);
        if (!top) return;
        raise_locked(top);
        if (r.windows[top]->style & style::NoActivate) return;
        old_active = r.active;
        r.active = top;
        if (top_level_of_locked(r.focus) != top) {
            lost_focus = r.focus;
            r.focus = top;
            focus_moved = true;
        }
    }
    // The focus leaves the other window as it would by set_focus: a field
    // that loses it takes its value.
    if (focus_moved) {
        Message m;
        if (lost_focus) {
            m.window = Hwnd{lost_focus};
            m.kind = MsgKind::KillFocus;
            post_message(m);
        }
        m.window = Hwnd{top};
        m.kind = MsgKind::SetFocus;
        post_message(m);
    }
    if (old_active != top) {
        if (old_active) tell_activation(Hwnd{old_active}, false);
        tell_activation(Hwnd{top}, true);
    }
    notify_changed(Hwnd{top});
}

namespace detail {

void desktop_focus_changed(Hwnd top) {
    auto& r = registry();
    std::uint32_t old = 0;
    {
        std::lock_guard lock(r.m);
        if (r.active == top.id) return;
        old = r.active;
        if (top) {
            auto it = r.windows.find(top.id);
            if (it == r.windows.end() || it->second->parent != 0 || it->second->destroying) return;
        } else {
            r.active = 0;
        }
    }
    if (top) {
        set_foreground(top);
        return;
    }
    tell_activation(Hwnd{old}, false);
}

}  // namespace detail

Hwnd active_window() {
    auto& r = registry();
    std::lock_guard lock(r.m);
    return Hwnd{r.active};
}

void set_focus(Hwnd h) {
    auto& r = registry();
    std::uint32_t old = 0;
    {
        std::lock_guard lock(r.m);
        if (h.id && !r.windows.count(h.id)) return;
        old = r.focus;
        if (old == h.id) return;
        r.focus = h.id;
    }
    Message m;
    if (old) {
        m.window = Hwnd{old};
        m.kind = MsgKind::KillFocus;
        post_message(m);
    }
    if (h) {
        m.window = h;
        m.kind = MsgKind::SetFocus;
        post_message(m);
    }
}

Hwnd focus_window() {
    auto& r = registry();
    std::lock_guard lock(r.m);
    return Hwnd{r.focus};
}

void set_capture(Hwnd h) {
    auto& r = registry();
    std::lock_guard lock(r.m);
    r.capture = h.id;
}

void release_capture() { set_capture({}); }

Hwnd capture_window() {
    auto& r = registry();
    std::lock_guard lock(r.m);
    return Hwnd{r.capture};
}

void enable_file_drops(Hwnd h, bool enabled) {
    read_field<int>(h, 0, [&](WindowData& w) {
        w.accepts_drops = enabled;
        return 0;
    });
}

bool accepts_file_drops(Hwnd h) {
    return read_field<bool>(h, false, [](WindowData& w) { return w.accepts_drops; });
}

}  // namespace plat

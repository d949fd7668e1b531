// The clipboard bridged to the CLIPBOARD selection, and file drops by XDND.
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

#include "plat/codecs/dib.h"
#include "x11_uri_list.h"
#include "x11_display.h"

#include <X11/Xatom.h>

namespace plat::detail::x11 {

namespace {

constexpr double kFetchTimeoutMs = 1000;
constexpr double kReadTimeoutMs = 3000;
constexpr double kIncrTimeoutMs = 5000;
// Values larger than this go by INCR. Smaller than any server's request
// limit, and small enough that a slow reader does not stall us for long.
constexpr std::size_t kIncrChunk = 256 * 1024;

std::vector<Atom> atoms_of(const PropertyValue& v) {
    std::vector<Atom> out;
    if (v.format != 32) return out;
    std::size_t n = v.bytes.size() / sizeof(long);
    for (std::size_t i = 0; i < n; ++i) {
        long a = 0;
        std::memcpy(&a, v.bytes.data() + i * sizeof(long), sizeof a);
        out.push_back(Atom(a));
    }
    return out;
}

bool has(const std::vector<Atom>& list, Atom a) { return std::find(list.begin(), list.end(), a) != list.end(); }

std::u16string latin1_to_utf16(const std::vector<std::uint8_t>& bytes) {
    std::u16string out;
    for (std::uint8_t b : bytes) out += char16_t(b);
    return out;
}

// The text to export: up to the first NUL, as UTF-8.
std::string export_text(const std::u16string& text) {
    std::size_t nul = text.find(u'\0');
    return utf16_to_utf8(std::u16string_view(text).substr(0, nul));
}

}  // namespace

// ---- what program threads call

void X11Backend::clipboard_changed(const ClipboardData& data) {
    std::lock_guard lock(m_);
    if (stop_) return;
    // Ours from now on: reads answer with the process's contents at once.
    owns_clipboard_ = true;
    clip_offer_ = data;
    wake_locked();
}

std::optional<ClipboardData> X11Backend::external_clipboard() {
    auto req = std::make_shared<ClipRead>();
    std::unique_lock lock(m_);
    if (stop_ || owns_clipboard_) return std::nullopt;
    read_requests_.push_back(req);
    wake_locked();
    reads_cv_.wait_for(lock, std::chrono::milliseconds(int(kReadTimeoutMs)), [&] { return req->done || stop_; });
    if (!req->done) return std::nullopt;
    return req->result;
}

// ---- the display thread: reading properties and selections

PropertyValue X11Backend::read_property(Window w, Atom property, bool remove) {
    PropertyValue out;
    long offset = 0;
    for (;;) {
        Atom type = None;
        int format = 0;
        unsigned long items = 0, after = 0;
        unsigned char* data = nullptr;
        int rc = XGetWindowProperty(dpy_, w, property, offset, LONG_MAX / 4, False, AnyPropertyType, &type, &format,
                                    &items, &after, &data);
        if (rc != Success || type == None) {
            if (data) XFree(data);
            break;
        }
        out.type = type;
        out.format = format;
        std::size_t unit = format == 32 ? sizeof(long) : std::size_t(format / 8);
        std::size_t bytes = items * unit;
        if (data && bytes) out.bytes.insert(out.bytes.end(), data, data + bytes);
        if (data) XFree(data);
        // Offsets count 32-bit units of the server's data.
        offset += long(items * std::size_t(format / 8) / 4);
        if (after == 0 || items == 0) break;
    }
    if (remove) XDeleteProperty(dpy_, w, property);
    return out;
}

namespace {

Bool is_time_event(Display*, XEvent* ev, XPointer arg) {
    auto* want = reinterpret_cast<std::pair<Window, Atom>*>(arg);
    return ev->type == PropertyNotify && ev->xproperty.window == want->first && ev->xproperty.atom == want->second;
}

}  // namespace

Time X11Backend::server_time() {
    // A zero-length append makes the server tell its time in a PropertyNotify.
    XChangeProperty(dpy_, util_, a_.plat_time, XA_STRING, 8, PropModeAppend, nullptr, 0);
    std::pair<Window, Atom> want{util_, a_.plat_time};
    XEvent ev;
    XIfEvent(dpy_, &ev, is_time_event, reinterpret_cast<XPointer>(&want));
    return ev.xproperty.time;
}

void X11Backend::start_fetch(Fetch& f, Atom selection, Atom target, Atom property, Time time, Fetch::Done done) {
    f = Fetch{};
    f.selection = selection;
    f.target = target;
    f.property = property;
    f.active = true;
    f.deadline = monotonic_ms() + kFetchTimeoutMs;
    f.done = std::move(done);
    XDeleteProperty(dpy_, util_, property);
    XConvertSelection(dpy_, selection, target, property, util_, time);
}

void X11Backend::complete_fetch(Fetch& f, bool ok) {
    Fetch::Done done = std::move(f.done);
    PropertyValue value = std::move(f.value);
    f = Fetch{};  // `done` may start the next fetch on the same record
    if (done) done(ok, std::move(value));
}

void X11Backend::on_selection_notify(const XSelectionEvent& e) {
    if (e.requestor != util_) return;
    for (Fetch* f : {&clip_fetch_, &dnd_fetch_}) {
        if (!f->active || f->incr || e.selection != f->selection || e.target != f->target) continue;
        if (e.property == None) {
            complete_fetch(*f, false);
            return;
        }
        PropertyValue v = read_property(util_, f->property, true);
        if (v.type == a_.incr) {
            // Deleting the property asked for the first piece.
            count_incr(false);
            f->incr = true;
            f->deadline = monotonic_ms() + kIncrTimeoutMs;
            return;
        }
        f->value = std::move(v);
        complete_fetch(*f, true);
        return;
    }
}

void X11Backend::on_property(const XPropertyEvent& e) {
    if (e.window == root_) {
        if (e.atom == a_.net_workarea || e.atom == a_.net_current_desktop) read_screen();
        return;
    }
    if (e.window == util_) {
        if (e.state != PropertyNewValue) return;
        for (Fetch* f : {&clip_fetch_, &dnd_fetch_}) {
            if (!f->active || !f->incr || e.atom != f->property) continue;
            PropertyValue piece = read_property(util_, f->property, true);
            if (piece.bytes.empty()) {
                complete_fetch(*f, true);
                return;
            }
            f->value.type = piece.type;
            f->value.format = piece.format;
            f->value.bytes.insert(f->value.bytes.end(), piece.bytes.begin(), piece.bytes.end());
            f->deadline = monotonic_ms() + kIncrTimeoutMs;
            return;
        }
        return;
    }
    if (e.state != PropertyDelete) return;
    // A reader took a piece of an INCR transfer: the next one, or the end.
    for (auto it = outgoing_.begin(); it != outgoing_.end(); ++it) {
        if (it->requestor != e.window || it->property != e.atom) continue;
        std::size_t left = it->data->size() - it->offset;
        std::size_t n = std::min(left, kIncrChunk);
        XChangeProperty(dpy_, it->requestor, it->property, it->type, 8, PropModeReplace,
                        it->data->data() + it->offset, int(n));
        if (n == 0) {
            XSelectInput(dpy_, it->requestor, NoEventMask);
            outgoing_.erase(it);
            return;
        }
        it->offset += n;
        it->deadline = monotonic_ms() + kIncrTimeoutMs;
        return;
    }
}

void X11Backend::check_timeouts() {
    double now = monotonic_ms();
    for (Fetch* f : {&clip_fetch_, &dnd_fetch_})
        if (f->active && now > f->deadline) complete_fetch(*f, false);
    outgoing_.erase(std::remove_if(outgoing_.begin(), outgoing_.end(),
                                   [&](const Outgoing& o) {
                                       if (now <= o.deadline) return false;
                                       XSelectInput(dpy_, o.requestor, NoEventMask);
                                       return true;
                                   }),
                    outgoing_.end());
}

// ---- the clipboard: ours to others

void X11Backend::publish_clipboard(const ClipboardData& data) {
    published_ = data;
    png_cache_.reset();
    bmp_cache_.reset();
    own_time_ = server_time();
    XSetSelectionOwner(dpy_, a_.clipboard, util_, own_time_);
    if (XGetSelectionOwner(dpy_, a_.clipboard) != util_) {
        std::lock_guard lock(m_);
        if (!clip_offer_) owns_clipboard_ = false;
    }
}

void X11Backend::on_selection_clear(const XSelectionClearEvent& e) {
    if (e.window != util_ || e.selection != a_.clipboard) return;
    published_ = {};
    png_cache_.reset();
    bmp_cache_.reset();
    std::lock_guard lock(m_);
    // A newer offer of ours is on its way and takes the selection back.
    if (!clip_offer_) owns_clipboard_ = false;
}

std::shared_ptr<const std::vector<std::uint8_t>> X11Backend::value_for(Atom target, Atom& type) {
    auto bytes = [](const std::string& s) {
        return std::make_shared<const std::vector<std::uint8_t>>(s.begin(), s.end());
    };
    if (published_.text) {
        if (target == a_.utf8_string || target == a_.text_plain_utf8 || target == a_.text) {
            type = target == a_.text ? a_.utf8_string : target;
            return bytes(export_text(*published_.text));
        }
        if (target == XA_STRING) {
            type = XA_STRING;
            std::string latin1;
            for (char32_t c : utf8_to_utf32(export_text(*published_.text))) latin1 += c <= 0xFF ? char(c) : '?';
            return bytes(latin1);
        }
    }
    if (published_.dib) {
        if (target == a_.image_png) {
            if (!png_cache_) {
                Surface s;
                std::vector<std::uint8_t> png;
                if (!dib::to_surface(published_.dib->data(), published_.dib->size(), s) || !encode_png(s, png))
                    return nullptr;
                png_cache_ = std::make_shared<const std::vector<std::uint8_t>>(std::move(png));
            }
            type = a_.image_png;
            return png_cache_;
        }
        if (target == a_.image_bmp) {
            if (!bmp_cache_) {
                Surface s;
                std::vector<std::uint8_t> bmp;
                if (!dib::to_surface(published_.dib->data(), published_.dib->size(), s) ||
                    !encode_image(s, ImageFormat::Bmp, kDefaultJpegQuality, bmp))
                    return nullptr;
                bmp_cache_ = std::make_shared<const std::vector<std::uint8_t>>(std::move(bmp));
            }
            type = a_.image_bmp;
            return bmp_cache_;
        }
    }
    return nullptr;
}

void X11Backend::send_value(Window requestor, Atom property, Atom type,
                            std::shared_ptr<const std::vector<std::uint8_t>> data) {
    if (data->size() <= kIncrChunk) {
        XChangeProperty(dpy_, requestor, property, type, 8, PropModeReplace, data->data(), int(data->size()));
        return;
    }
    // Pieces follow as the reader deletes the property.
    count_incr(true);
    XSelectInput(dpy_, requestor, PropertyChangeMask);
    long size = long(data->size());
    XChangeProperty(dpy_, requestor, property, a_.incr, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&size),
                    1);
    outgoing_.push_back({requestor, property, type, std::move(data), 0, monotonic_ms() + kIncrTimeoutMs});
}

void X11Backend::on_selection_request(const XSelectionRequestEvent& e) {
    XSelectionEvent reply{};
    reply.type = SelectionNotify;
    reply.display = e.display;
    reply.requestor = e.requestor;
    reply.selection = e.selection;
    reply.target = e.target;
    reply.time = e.time;
    reply.property = None;
    Atom property = e.property != None ? e.property : e.target;  // obsolete clients name none
    bool ours = e.selection == a_.clipboard && e.owner == util_ &&
                (e.time == CurrentTime || own_time_ == CurrentTime || e.time >= own_time_);
    if (ours) {
        if (e.target == a_.targets) {
            std::vector<Atom> list{a_.targets, a_.timestamp};
            if (published_.text) {
                for (Atom a : {a_.utf8_string, a_.text_plain_utf8, Atom(XA_STRING), a_.text}) list.push_back(a);
            }
            if (published_.dib) {
                list.push_back(a_.image_png);
                list.push_back(a_.image_bmp);
            }
            XChangeProperty(dpy_, e.requestor, property, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(list.data()), int(list.size()));
            reply.property = property;
        } else if (e.target == a_.timestamp) {
            long t = long(own_time_);
            XChangeProperty(dpy_, e.requestor, property, XA_INTEGER, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(&t), 1);
            reply.property = property;
        } else {
            Atom type = None;
            if (auto data = value_for(e.target, type)) {
                send_value(e.requestor, property, type, std::move(data));
                reply.property = property;
            }
        }
    }
    XSendEvent(dpy_, e.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
}

// ---- the clipboard: others' to us

void X11Backend::start_next_read() {
    if (reading_ || reads_.empty()) return;
    reading_ = reads_.front();
    reads_.pop_front();
    read_data_ = {};
    Window owner = XGetSelectionOwner(dpy_, a_.clipboard);
    if (owner == None) {
        finish_read(ClipboardData{});
        return;
    }
    if (owner == util_) {
        finish_read(std::nullopt);
        return;
    }
    start_fetch(clip_fetch_, a_.clipboard, a_.targets, a_.plat_clip, CurrentTime,
                [this](bool ok, PropertyValue v) {
                    std::vector<Atom> targets = ok ? atoms_of(v) : std::vector<Atom>{};
                    // An owner that does not list its targets may still have text.
                    if (targets.empty()) targets = {a_.utf8_string};
                    read_clipboard_text(std::move(targets));
                });
}

void X11Backend::read_clipboard_text(std::vector<Atom> targets) {
    Atom pick = None;
    for (Atom a : {a_.utf8_string, a_.text_plain_utf8, Atom(XA_STRING)})
        if (has(targets, a)) {
            pick = a;
            break;
        }
    if (pick == None) {
        read_clipboard_image(std::move(targets));
        return;
    }
    start_fetch(clip_fetch_, a_.clipboard, pick, a_.plat_clip, CurrentTime,
                [this, targets = std::move(targets)](bool ok, PropertyValue v) mutable {
                    if (ok && v.format == 8) {
                        read_data_.text = v.type == XA_STRING
                                              ? latin1_to_utf16(v.bytes)
                                              : utf8_to_utf16(std::string(v.bytes.begin(), v.bytes.end()));
                    }
                    read_clipboard_image(std::move(targets));
                });
}

void X11Backend::read_clipboard_image(std::vector<Atom> targets) {
    Atom pick = has(targets, a_.image_png) ? a_.image_png : has(targets, a_.image_bmp) ? a_.image_bmp : None;
    if (pick == None) {
        finish_read(read_data_);
        return;
    }
    start_fetch(clip_fetch_, a_.clipboard, pick, a_.plat_clip, CurrentTime, [this, pick](bool ok, PropertyValue v) {
        if (ok && v.format == 8 && !v.bytes.empty()) {
            Surface s;
            bool read = pick == a_.image_png
                            ? bool(decode_png(v.bytes.data(), v.bytes.size(), s))
                            : sniff_image_type(v.bytes.data(), v.bytes.size()) == ImageFileType::Bmp &&
                                  decode_image(v.bytes.data(), v.bytes.size(), s);
            if (read) {
                std::vector<std::uint8_t> packed = dib::from_surface(s);
                if (!packed.empty()) read_data_.dib = std::move(packed);
            }
        }
        finish_read(read_data_);
    });
}

void X11Backend::finish_read(std::optional<ClipboardData> result) {
    {
        std::lock_guard lock(m_);
        if (reading_) {
            reading_->done = true;
            reading_->result = std::move(result);
        }
    }
    reads_cv_.notify_all();
    reading_.reset();
    start_next_read();
}

void X11Backend::fail_reads() {
    {
        std::lock_guard lock(m_);
        auto fail = [](const std::shared_ptr<ClipRead>& r) { r->done = true; };
        if (reading_) fail(reading_);
        for (auto& r : reads_) fail(r);
        for (auto& r : read_requests_) fail(r);
    }
    reads_cv_.notify_all();
}

// ---- XDND: files dropped on our windows

void X11Backend::xdnd_send(Window to, Atom type, long l0, long l1, long l2, long l3, long l4) {
    XClientMessageEvent m{};
    m.type = ClientMessage;
    m.display = dpy_;
    m.window = to;
    m.message_type = type;
    m.format = 32;
    m.data.l[0] = l0;
    m.data.l[1] = l1;
    m.data.l[2] = l2;
    m.data.l[3] = l3;
    m.data.l[4] = l4;
    XSendEvent(dpy_, to, False, NoEventMask, reinterpret_cast<XEvent*>(&m));
}

void X11Backend::on_client_message(const XClientMessageEvent& e) {
    if (e.message_type == a_.wm_protocols && Atom(e.data.l[0]) == a_.wm_delete_window) {
        // The window manager's close button: as our own close box.
        if (XWin* w = by_xid(e.window)) {
            Message m;
            m.window = Hwnd{w->id};
            m.kind = MsgKind::Close;
            post_message(m);
        }
        return;
    }
    if (e.message_type == a_.xdnd_enter) xdnd_enter(e);
    else if (e.message_type == a_.xdnd_position) xdnd_position(e);
    else if (e.message_type == a_.xdnd_drop) xdnd_drop(e);
    else if (e.message_type == a_.xdnd_leave && Window(e.data.l[0]) == dnd_.source) dnd_ = {};
}

void X11Backend::xdnd_enter(const XClientMessageEvent& e) {
    dnd_ = {};
    dnd_.source = Window(e.data.l[0]);
    dnd_.target = e.window;
    dnd_.version = int((unsigned long)(e.data.l[1]) >> 24);
    std::vector<Atom> types;
    if (e.data.l[1] & 1) {
        types = atoms_of(read_property(dnd_.source, a_.xdnd_type_list, false));
    } else {
        for (int i = 2; i < 5; ++i)
            if (e.data.l[i]) types.push_back(Atom(e.data.l[i]));
    }
    dnd_.offers_uris = has(types, a_.uri_list);
}

void X11Backend::xdnd_position(const XClientMessageEvent& e) {
    Window source = Window(e.data.l[0]);
    if (source != dnd_.source) return;
    dnd_.target = e.window;
    unsigned long xy = (unsigned long)(e.data.l[2]);
    dnd_.pos = {int((xy >> 16) & 0xFFFF), int(xy & 0xFFFF)};
    bool accept = false;
    if (dnd_.offers_uris) {
        Hwnd h = window_at(dnd_.pos);
        while (h && !accepts_file_drops(h)) h = parent_of(h);
        accept = bool(h);
    }
    dnd_.accepted = accept;
    // Bit 1: keep sending positions, acceptance depends on the window below.
    xdnd_send(source, a_.xdnd_status, long(e.window), (accept ? 1 : 0) | 2, 0, 0,
              accept ? long(a_.xdnd_action_copy) : long(None));
}

void X11Backend::xdnd_drop(const XClientMessageEvent& e) {
    Window source = Window(e.data.l[0]);
    if (source != dnd_.source) return;
    DndState d = dnd_;
    dnd_ = {};
    if (!d.accepted) {
        xdnd_send(source, a_.xdnd_finished, long(e.window), 0, long(None), 0, 0);
        return;
    }
    Time time = d.version >= 1 ? Time(e.data.l[2]) : CurrentTime;
    start_fetch(dnd_fetch_, a_.xdnd_selection, a_.uri_list, a_.plat_dnd, time, [this, d](bool ok, PropertyValue v) {
        bool delivered = false;
        if (ok && v.format == 8) {
            std::vector<std::string> files =
                file_paths_from_uri_list(std::string_view(reinterpret_cast<const char*>(v.bytes.data()), v.bytes.size()),
                                         host_name_);
            if (!files.empty()) delivered = inject_drop_files(d.pos, std::move(files));
        }
        xdnd_send(d.source, a_.xdnd_finished, long(d.target), delivered ? 1 : 0,
                  delivered ? long(a_.xdnd_action_copy) : long(None), 0, 0);
    });
}

}  // namespace plat::detail::x11

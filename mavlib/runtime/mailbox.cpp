#include "runtime/mailbox.h"

#include "plat/core/window.h"
#include "runtime/frame_state.h"

namespace mav {

namespace {

RequestHandler g_handlers[7] = {};
std::atomic<int> g_work{0};

RequestHandler handler_for(int code) {
    if (code < kReqCreateImage || code > kReqButtonBox) return nullptr;
    return g_handlers[code - kReqCreateImage];
}

bool quitting() { return frame().quit_state.load() != kQuitRunning; }

// Dispatches the poster's own messages until `ready` holds, or until the
// program is exiting (a request posted then may never be served).
template <typename Ready>
bool drain_until(Ready ready) {
    for (;;) {
        if (ready()) return true;
        if (quitting()) return false;
        plat::Message m;
        bool any = false;
        while (plat::peek_message(m)) {
            any = true;
            if (m.kind == plat::MsgKind::Quit) {
                plat::post_quit_message(int(m.param));
                return false;
            }
            plat::translate_message(m);
            plat::dispatch_message(m);
            if (ready()) return true;
        }
        if (!any) plat::wait_for_messages(1);
    }
}

// Posts the filled slot and waits. 9002 is not awaited: it leaves done as it
// was, and the next post waits for the slot to be free anyway.
bool post(int code, bool await) {
    RequestSlot& s = request_slot();
    if (await) s.done.store(0, std::memory_order_relaxed);
    s.code.store(code, std::memory_order_release);
    return drain_until([&] { return s.done.load(std::memory_order_acquire) == 1; });
}

bool wait_free_slot() {
    RequestSlot& s = request_slot();
    return drain_until([&] { return s.code.load(std::memory_order_acquire) == 0; });
}

}  // namespace

RequestWork::RequestWork() { g_work.fetch_add(1); }
RequestWork::~RequestWork() { g_work.fetch_sub(1); }

bool requests_in_progress() { return g_work.load() > 0 || request_slot().code.load(std::memory_order_acquire) != 0; }

RequestSlot& request_slot() {
    static RequestSlot* s = new RequestSlot;
    return *s;
}

void set_request_handler(int code, RequestHandler handler) {
    if (code < kReqCreateImage || code > kReqButtonBox) return;
    g_handlers[code - kReqCreateImage] = handler;
}

void serve_request() {
    RequestSlot& s = request_slot();
    int code = s.code.load(std::memory_order_acquire);
    if (code < kReqCreateImage || code > kReqButtonBox) return;
    switch (code) {
    case kReqCreateImage:
        if (s.index >= kImageSlots || s.index < 0) {
            s.result = 4;
            break;
        }
        s.result = kRequestUnavailable;
        if (auto h = handler_for(code)) h(s);
        break;
    case kReqLoadImage:
        s.result = kRequestUnavailable;
        if (auto h = handler_for(code)) h(s);
        break;
    case kReqOpenText:
        if (s.index < 0 || s.index >= kTextSlots) break;
        if (auto h = handler_for(code)) h(s);
        break;
    default:
        if (auto h = handler_for(code)) h(s);
        break;
    }
    s.done.store(1, std::memory_order_release);
    s.code.store(0, std::memory_order_release);
}

int post_create_image(int index, const char* name, int width, int height, int bits) {
    RequestWork work;
    if (!wait_free_slot()) return kRequestAbandoned;
    RequestSlot& s = request_slot();
    s.index = index;
    s.name = name;
    s.x = s.y = -1;
    s.width = width;
    s.height = height;
    s.zoom = 100;
    s.bits = bits;
    if (!post(kReqCreateImage, true)) return kRequestAbandoned;
    return s.result;
}

void post_refresh(int index) {
    RequestWork work;
    if (!wait_free_slot()) return;
    request_slot().index = index;
    post(kReqRefresh, false);
}

int post_load_image(int index, const char* path) {
    RequestWork work;
    if (!wait_free_slot()) return kRequestAbandoned;
    RequestSlot& s = request_slot();
    s.index = index;
    s.path = path;
    s.x = s.y = 0;
    if (!post(kReqLoadImage, true)) return kRequestAbandoned;
    return s.result;
}

void post_draw_bitmap(void* bitmap) {
    RequestWork work;
    if (!wait_free_slot()) return;
    request_slot().bitmap = bitmap;
    post(kReqDrawBitmap, true);
}

void post_open_text(int index) {
    RequestWork work;
    if (index >= 0 && index < kTextSlots) {
        plat::Hwnd open{windows().text[index].load()};
        if (open && plat::is_window(open)) {
            plat::set_foreground(open);
            return;
        }
    }
    if (!wait_free_slot()) return;
    RequestSlot& s = request_slot();
    s.index = index;
    s.x = s.y = s.width = s.height = -1;
    post(kReqOpenText, true);
}

void post_input_box(int count) {
    RequestWork work;
    if (!wait_free_slot()) return;
    RequestSlot& s = request_slot();
    s.index = count;
    s.x = s.y = 0;
    post(kReqInputBox, true);
}

void post_button_box(int nx, int ny) {
    RequestWork work;
    if (!wait_free_slot()) return;
    RequestSlot& s = request_slot();
    s.width = nx;
    s.height = ny;
    s.x = s.y = 0;
    post(kReqButtonBox, true);
}

}  // namespace mav

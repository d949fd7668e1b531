// File drops by XDND: a small drag source of the test's own performs the
// handshake (XdndEnter, XdndPosition, XdndDrop) and serves text/uri-list.
#include <gtest/gtest.h>

#include "plat/ui/controls.h"
#include "plat/driver/driver.h"
#include "plat/core/window.h"
#include "support/ui_helpers.h"
#include "support/ui_thread.h"
#include "x11/x11_fixture.h"

using namespace plat;
using testsupport::Recorder;
using testsupport::UiThread;

namespace {

// What became of a drag.
struct DragOutcome {
    bool target_found = false;
    bool status = false;     // an XdndStatus came
    bool accepted = false;   // ... and it accepted
    bool finished = false;   // an XdndFinished came
    bool finished_ok = false;
    bool served = false;     // the target asked for the data
};

class DragSource {
public:
    explicit DragSource(xtest::Conn& c) : c_(c) {
        window_ = XCreateSimpleWindow(c_.d(), c_.root(), -10, -10, 1, 1, 0, 0, 0);
        for (const char* n : {"XdndAware", "XdndEnter", "XdndPosition", "XdndStatus", "XdndLeave", "XdndDrop",
                              "XdndFinished", "XdndSelection", "XdndActionCopy", "text/uri-list", "text/plain"})
            atoms_.push_back(c_.atom(n));
    }
    ~DragSource() { XDestroyWindow(c_.d(), window_); }

    // Drags `uri_list` to the screen point and drops it there.
    DragOutcome drag(Point at, const std::string& uri_list) {
        DragOutcome out;
        Display* d = c_.d();
        int x = 0, y = 0;
        Window target = 0;
        XTranslateCoordinates(d, c_.root(), c_.root(), at.x, at.y, &x, &y, &target);
        if (!target || aware_version(target) < 3) return out;
        out.target_found = true;
        XSetSelectionOwner(d, atom("XdndSelection"), window_, CurrentTime);
        // Enter with the types in the message: version 5, no type list.
        send(target, "XdndEnter", long(window_), 5L << 24, long(atom("text/uri-list")), long(atom("text/plain")), 0);
        send(target, "XdndPosition", long(window_), 0, (long(at.x) << 16) | long(at.y), CurrentTime,
             long(atom("XdndActionCopy")));
        pump(out, uri_list, [&] { return out.status; });
        if (!out.status) return out;
        if (!out.accepted) {
            send(target, "XdndLeave", long(window_), 0, 0, 0, 0);
            XSync(d, False);
            return out;
        }
        send(target, "XdndDrop", long(window_), 0, CurrentTime, 0, 0);
        pump(out, uri_list, [&] { return out.finished; });
        return out;
    }

private:
    Atom atom(const char* n) { return c_.atom(n); }

    int aware_version(Window w) {
        Atom type;
        int format;
        unsigned long items, after;
        unsigned char* data = nullptr;
        int v = -1;
        if (XGetWindowProperty(c_.d(), w, atom("XdndAware"), 0, 1, False, AnyPropertyType, &type, &format, &items,
                               &after, &data) == Success &&
            data && items == 1)
            v = int(reinterpret_cast<long*>(data)[0]);
        if (data) XFree(data);
        return v;
    }

    void send(Window to, const char* type, long l0, long l1, long l2, long l3, long l4) {
        XClientMessageEvent m{};
        m.type = ClientMessage;
        m.window = to;
        m.message_type = atom(type);
        m.format = 32;
        m.data.l[0] = l0;
        m.data.l[1] = l1;
        m.data.l[2] = l2;
        m.data.l[3] = l3;
        m.data.l[4] = l4;
        XSendEvent(c_.d(), to, False, NoEventMask, reinterpret_cast<XEvent*>(&m));
        XFlush(c_.d());
    }

    // Answers the target until `done` holds or three seconds pass.
    template <typename Done>
    void pump(DragOutcome& out, const std::string& uri_list, Done done) {
        Display* d = c_.d();
        double end = xtest::now_ms() + 3000;
        while (!done() && xtest::now_ms() < end) {
            if (!XPending(d)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            XEvent ev;
            XNextEvent(d, &ev);
            if (ev.type == ClientMessage && ev.xclient.message_type == atom("XdndStatus")) {
                out.status = true;
                out.accepted = ev.xclient.data.l[1] & 1;
            } else if (ev.type == ClientMessage && ev.xclient.message_type == atom("XdndFinished")) {
                out.finished = true;
                out.finished_ok = ev.xclient.data.l[1] & 1;
            } else if (ev.type == SelectionRequest) {
                const XSelectionRequestEvent& r = ev.xselectionrequest;
                XSelectionEvent reply{};
                reply.type = SelectionNotify;
                reply.requestor = r.requestor;
                reply.selection = r.selection;
                reply.target = r.target;
                reply.time = r.time;
                reply.property = None;
                if (r.target == atom("text/uri-list")) {
                    XChangeProperty(d, r.requestor, r.property, r.target, 8, PropModeReplace,
                                    reinterpret_cast<const unsigned char*>(uri_list.data()), int(uri_list.size()));
                    reply.property = r.property;
                    out.served = true;
                }
                XSendEvent(d, r.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
                XFlush(d);
            }
        }
    }

    xtest::Conn& c_;
    Window window_ = 0;
    std::vector<Atom> atoms_;
};

void register_painted(const char* name, Color bg) {
    if (class_registered(name)) return;
    WindowClass c;
    c.name = name;
    c.background = bg;
    register_class(c);
}

}  // namespace

using X11Drop = xtest::X11Fixture;

TEST_F(X11Drop, FilesDroppedByXdndReachTheWindowUnderThePointer) {
    UiThread ui;
    register_painted("x11_drop", 0x203040);
    Recorder left({MsgKind::DropFiles});
    Recorder right({MsgKind::DropFiles});
    auto make = [&](Rect r, Recorder& rec, bool drops) {
        return ui.run([&] {
            CreateParams p;
            p.class_name = "x11_drop";
            p.style = style::Overlapped | style::Visible;
            p.rect = r;
            Hwnd h = create_window(p);
            set_window_proc(h, [&rec](Message& m) {
                rec.add(m);
                return false;
            });
            enable_file_drops(h, drops);
            return h;
        });
    };
    Hwnd a = make(Rect::from_xywh(100, 100, 300, 200), left, true);
    Hwnd b = make(Rect::from_xywh(500, 100, 300, 200), right, true);
    Hwnd closed = make(Rect::from_xywh(100, 400, 300, 200), left, false);
    ASSERT_TRUE(a && b && closed);
    ASSERT_TRUE(driver::wait_idle());
    ASSERT_TRUE(xtest::wait_for([&] { return conn().top_windows().size() == 3; }, 3000));

    DragSource source(conn());
    Point at = client_origin(b).translated(40, 30);
    DragOutcome o = source.drag(at, "file:///tmp/x11%20drop/a%20b.png\r\n# comment\r\nfile:///tmp/%E6%97%A5.txt\r\n");
    ASSERT_TRUE(o.target_found);
    EXPECT_TRUE(o.status);
    EXPECT_TRUE(o.accepted);
    EXPECT_TRUE(o.served);
    EXPECT_TRUE(o.finished);
    EXPECT_TRUE(o.finished_ok);
    ASSERT_TRUE(xtest::wait_for([&] { return right.of(MsgKind::DropFiles).size() == 1; }, 3000));
    Message drop = right.of(MsgKind::DropFiles)[0];
    EXPECT_EQ(drop.window, b);
    EXPECT_EQ(drop.pos, (Point{40, 30}));
    ASSERT_EQ(drop.files.size(), 2u);
    EXPECT_EQ(drop.files[0], "/tmp/x11 drop/a b.png");
    EXPECT_EQ(drop.files[1], "/tmp/\xE6\x97\xA5.txt");
    EXPECT_TRUE(left.of(MsgKind::DropFiles).empty());

    // A window that takes no drops refuses them.
    DragOutcome refused = source.drag(client_origin(closed).translated(10, 10), "file:///tmp/x.png\r\n");
    ASSERT_TRUE(refused.target_found);
    EXPECT_TRUE(refused.status);
    EXPECT_FALSE(refused.accepted);
    EXPECT_FALSE(refused.served);

    // Only URIs of local files count: a list without any delivers nothing.
    DragOutcome remote = source.drag(client_origin(a).translated(5, 5), "http://example.invalid/x.png\r\n");
    EXPECT_TRUE(remote.accepted);
    EXPECT_TRUE(remote.finished);
    EXPECT_FALSE(remote.finished_ok);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(left.of(MsgKind::DropFiles).empty());
    ui.run([&] {
        destroy_window(a);
        destroy_window(b);
        destroy_window(closed);
    });
}

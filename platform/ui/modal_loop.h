// The modal loop every box, dialog and popup menu of this layer runs on the
// calling thread while it waits for its answer.
#pragma once

#include "plat/core/window.h"

namespace plat::ui {

// Runs the calling thread's messages until the box's condition holds. Each
// message is first offered to the box (its own keys, a menu's mouse); what
// the box leaves is translated and dispatched as usual.
//
// A Quit ends the loop at once. It belongs to the loop that waits for it
// further out, so it is posted again with its exit code when the ModalLoop
// goes out of scope: after the box has cleaned up behind itself.
class ModalLoop {
public:
    ModalLoop() = default;
    ModalLoop(const ModalLoop&) = delete;
    ModalLoop& operator=(const ModalLoop&) = delete;
    ~ModalLoop();

    // `done()` is asked before each message; `take(Message&)` returns true
    // when it consumed the message. Returns false when a Quit ended it.
    template <typename Done, typename Take>
    bool run(Done done, Take take) {
        Message m;
        while (!done()) {
            if (!get_message(m)) {
                quit_ = true;
                quit_code_ = int(m.param);
                return false;
            }
            if (take(m)) continue;
            translate_message(m);
            dispatch_message(m);
        }
        return true;
    }

    // The same for a box whose window may go while it waits: the loop ends
    // then too.
    template <typename Done, typename Take>
    bool run_while_open(Hwnd box, Done done, Take take) {
        return run([&] { return done() || !is_window(box); }, take);
    }
    template <typename Done>
    bool run_while_open(Hwnd box, Done done) {
        return run_while_open(box, done, [](Message&) { return false; });
    }

    bool ended_by_quit() const { return quit_; }

private:
    bool quit_ = false;
    int quit_code_ = 0;
};

}  // namespace plat::ui

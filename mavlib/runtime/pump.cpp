#include "runtime/pump.h"

#include <atomic>

#include "mavlib.h"
#include "plat/core/window.h"

namespace mav {

namespace {
std::atomic<DialogKeyHook> g_dialog_hook{nullptr};
}

void set_dialog_key_hook(DialogKeyHook hook) { g_dialog_hook = hook; }

}  // namespace mav

namespace mav {

PumpOne pump_one_message() {
    plat::Message m;
    if (!plat::peek_message(m)) return PumpOne::Empty;
    if (m.kind == plat::MsgKind::Quit) {
        // A quit belongs to the loop that waits for it, not to a pump.
        plat::post_quit_message(int(m.param));
        return PumpOne::Quit;
    }
    if (auto hook = g_dialog_hook.load(); hook && hook(m)) return PumpOne::Handled;
    plat::translate_message(m);
    plat::dispatch_message(m);
    return PumpOne::Handled;
}

}  // namespace mav

int MAV_PumpMessages(void) {
    while (mav::pump_one_message() == mav::PumpOne::Handled) {
    }
    return 0;
}

#include "frame/pump.h"

#include <atomic>

#include "mavlib.h"
#include "plat/window.h"

namespace mav {

namespace {
std::atomic<DialogKeyHook> g_dialog_hook{nullptr};
}

void set_dialog_key_hook(DialogKeyHook hook) { g_dialog_hook = hook; }

}  // namespace mav

int MAV_PumpMessages(void) {
    plat::Message m;
    while (plat::peek_message(m)) {
        if (m.kind == plat::MsgKind::Quit) {
            // A quit belongs to the loop that waits for it, not to a pump.
            plat::post_quit_message(int(m.param));
            break;
        }
        if (auto hook = mav::g_dialog_hook.load(); hook && hook(m)) continue;
        plat::translate_message(m);
        plat::dispatch_message(m);
    }
    return 0;
}

// The command line of the text windows: "Cmd>" and five exact commands.
#include <cstring>

#include "mavlib.h"
#include "plat/base/clock.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "text/text_menu.h"
#include "text/text_window.h"

namespace {

void post_key_to_main_window(int key) {
    plat::Message m;
    m.window = mav::main_window();
    m.kind = plat::MsgKind::KeyDown;
    m.key = key;
    plat::post_message(m);
}

}  // namespace

int MAV_CommandPrompt(void) {
    MAV_Printf("Cmd>");
    char line[260] = "";
    MAV_InputText(line);
    if (std::strcmp(line, "exit") == 0) {
        post_key_to_main_window(plat::key::Escape);
        plat::sleep_ms(1);
    } else if (std::strcmp(line, "start") == 0) {
        post_key_to_main_window('S');
    } else if (std::strcmp(line, "help") == 0) {
        MAV_Printf("Command list:exit help start ver color\n");
    } else if (std::strcmp(line, "ver") == 0) {
        int cur = mav::current_text_window().load();
        if (cur >= 0 && cur < mav::kTextSlots && mav::text_window(cur).open.load()) {
            plat::Message m;
            m.window = mav::text_window(cur).window;
            m.kind = plat::MsgKind::Command;
            m.command_id = mav::kCmdAbout;
            plat::post_message(m);
        }
    } else if (std::strcmp(line, "color") == 0) {
        int c = MAV_GetDrawColor();
        MAV_Printf("Red  :%3d\n", (c >> 16) & 0xFF);
        MAV_Printf("Green:%3d\n", (c >> 8) & 0xFF);
        MAV_Printf("Blue :%3d\n", c & 0xFF);
        MAV_Printf("mav_tttc=%06x\n", mav_tttc);
        MAV_Printf("mav_tc=%06x\n", mav_tc);
    } else {
        MAV_Printf("Invalid command\n");
        return 1;
    }
    return 0;
}

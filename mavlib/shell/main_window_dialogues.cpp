#include "shell/main_window_dialogues.h"

#include <cstdio>
#include <cstdlib>

#include "mavlib.h"
#include "plat/core/window.h"
#include "runtime/commands.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"
#include "text/text_window.h"

namespace mav {

namespace {

// Prompts and reads a number. False when the program began exiting meanwhile.
bool ask(const char* prompt, int& value) {
    MAV_Printf("%s", prompt);
    char buf[260] = "";
    MAV_InputText(buf);
    if (frame().quit_state.load() != kQuitRunning) return false;
    value = std::atoi(buf);
    return true;
}

}  // namespace

void image_window_dialogue() {
    post_open_text(0);
    MAV_Printf("Creating ImageWindow...\n");
    int w = 0, h = 0, bits = 0;
    if (!ask(" Width=", w) || !ask("Height=", h) || !ask("Bit[32 or 8]=", bits)) return;
    if (bits != 32 && bits != 8) return;
    for (int k = 0; k < kImageSlots; ++k) {
        if (windows().image[k].load()) continue;
        char name[8];
        std::snprintf(name, sizeof name, "%03d", k);
        post_create_image(k, name, w, h, bits);
        return;
    }
}

void input_box_dialogue() {
    post_open_text(0);
    MAV_Printf("Creating InpuxBox...\n");
    int count = 0;
    if (!ask("How many items? >", count)) return;
    post_input_box(count);
}

void button_box_dialogue() {
    post_open_text(0);
    MAV_Printf("Creating ButtonBox...\n");
    int nx = 0, ny = 0;
    if (!ask("Number[X]=>", nx) || !ask("Number[Y]=>", ny)) return;
    post_button_box(nx, ny);
}

void window_info_command() {
    int cur = current_text_window().load();
    if (!text_window(cur).open.load()) post_open_text(0);
    cur = current_text_window().load();
    plat::Message m;
    m.window = plat::Hwnd{windows().text[cur].load()};
    m.kind = plat::MsgKind::Command;
    m.command_id = kCmdWindowInfo;
    plat::post_message(m);
}

}  // namespace mav

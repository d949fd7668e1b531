#include "text/text_menu.h"

#include <cstdio>

#include "mavlib.h"
#include "plat/ui/dialogs.h"
#include "plat/ui/popup_menu.h"
#include "plat/core/keys.h"
#include "plat/core/menu.h"
#include "plat/core/window.h"
#include "runtime/commands.h"
#include "runtime/frame_state.h"
#include "text/text_input.h"
#include "text/text_window.h"
#include "tools/window_report.h"

namespace mav {

namespace {

void post_command(plat::Hwnd to, int command) {
    plat::Message m;
    m.window = to;
    m.kind = plat::MsgKind::Command;
    m.command_id = command;
    plat::post_message(m);
}

}  // namespace

void text_window_key(int no, const plat::Message& m) {
    TextWindow& tw = text_window(no);
    if (frame().input_pending.load()) {
        if (input_request_outstanding()) return;
        if (m.ctrl && m.key == 'V') request_paste();
        else if (!m.ctrl && m.key == plat::key::Up) request_recall();
        return;
    }
    if (m.ctrl) {
        switch (m.key) {
        case 'A': post_command(tw.window, kCmdAbout); break;
        case 'C': post_command(tw.window, kCmdCopyLog); break;
        case 'Q': post_command(tw.window, kCmdDestroy); break;
        case 'S': post_command(tw.window, kCmdSelect); break;
        case 'W': post_command(tw.window, kCmdWindowInfo); break;
        default: break;
        }
        return;
    }
    switch (m.key) {
    case plat::key::Escape:
    case 'C':
    case 'S':
    case 'X': {
        // Start, Stop and Exit work from a text window too.
        plat::Message fwd = m;
        fwd.window = main_window();
        plat::post_message(fwd);
        break;
    }
    case plat::key::Space:
        // Posted rather than run here: the space's own character, queued
        // ahead of it, must not become the first letter of the command.
        current_text_window() = no;
        post_command(tw.window, kCmdCommand);
        break;
    default:
        break;
    }
}

void text_window_popup(int no, plat::Point screen) {
    if (frame().input_pending.load() || frame().pick_active.load()) return;
    TextWindow& tw = text_window(no);
    char copy_text[64];
    std::snprintf(copy_text, sizeof copy_text, "&Copy MAVLIB%d%d.LOG\tCtrl+C", frame().instance, no);
    auto menu = plat::Menu::create();
    menu->add("&Select\tCtrl+S", kCmdSelect)
        .add("&Window Info.\tCtrl+W", kCmdWindowInfo)
        .add("Command", kCmdCommand)
        .add_separator()
        .add("Start Log", kCmdStartLog)
        .add("Stop Log", kCmdStopLog)
        .add(copy_text, kCmdCopyLog)
        .add_separator()
        .add("&About MAVLIB\tCtrl+A", kCmdAbout)
        .add_separator()
        .add("&Destroy\tCtrl+Q", kCmdDestroy);
    menu->items[0].checked = current_text_window().load() == no;
    int log_state;
    {
        std::lock_guard lock(tw.m);
        log_state = tw.log_state;
    }
    menu->items[4].checked = log_state == 1;
    menu->items[5].checked = log_state == 2;
    int cmd = plat::track_popup_menu(*menu, screen, tw.window);
    if (cmd) post_command(tw.window, cmd);
}

void text_window_command(int no, int command) {
    switch (command) {
    case kCmdSelect:
        MAV_SelectTextWindow(no);
        break;
    case kCmdDestroy:
        close_text_window(no);
        break;
    case kCmdAbout:
        plat::message_box(text_window(no).window,
                          "MAVLIB 1.0\nWindowing and imaging library for lenticular imaging.", "About MAVLIB",
                          plat::MbIcon::Information);
        break;
    case kCmdStartLog:
        MAV_StartLog(no);
        break;
    case kCmdStopLog:
        MAV_StopLog(no);
        break;
    case kCmdCommand:
        MAV_CommandPrompt();
        break;
    case kCmdCopyLog:
        MAV_CopyLogToClipboard(no);
        break;
    case kCmdWindowInfo:
        window_report(no);
        break;
    default:
        break;
    }
}

}  // namespace mav

#include "boxes/box_common.h"

#include "boxes/boxes.h"
#include "mavlib.h"
#include "plat/base/codepage.h"
#include "plat/ui/popup_menu.h"
#include "plat/ui/controls.h"
#include "plat/ui/dialogs.h"
#include "plat/core/menu.h"
#include "plat/core/window.h"
#include "runtime/frame_state.h"
#include "runtime/mailbox.h"
#include "runtime/pump.h"
#include "runtime/snapping.h"

namespace mav {

namespace {

constexpr std::size_t kLineRoom = 260;  // MAV_InputText writes at most 256 bytes

// Offers key presses in either box to the dialog keys of that box.
bool box_dialog_keys(plat::Message& msg) {
    if (msg.kind != plat::MsgKind::KeyDown) return false;
    plat::Hwnd ib{windows().input_box.load()};
    if (ib && plat::handle_dialog_key(ib, msg)) return true;
    plat::Hwnd bb{windows().button_box.load()};
    return bb && plat::handle_dialog_key(bb, msg);
}

}  // namespace

std::string window_text_from_sjis(std::string_view sjis) {
    return plat::utf16_to_utf8(plat::sjis_to_utf16(sjis, kBoxTextUnits));
}

std::string window_text_sjis(plat::Hwnd window) {
    std::u16string wide = plat::utf8_to_utf16(plat::window_text(window));
    wide.resize(plat::utf16_prefix_length(wide, kBoxTextUnits));
    // One character at a time, so that a double-byte character never loses its second byte.
    std::string out;
    for (std::size_t i = 0; i < wide.size();) {
        std::size_t n = (wide[i] >= 0xD800 && wide[i] <= 0xDBFF && i + 1 < wide.size()) ? 2 : 1;
        std::string one = plat::utf16_to_sjis(std::u16string_view(wide).substr(i, n));
        if (out.size() + one.size() > kBoxTextUnits) break;
        out += one;
        i += n;
    }
    return out;
}

void popup_one_item(plat::Hwnd owner, const char* text, int command, plat::Point screen, bool grayed) {
    auto menu = plat::Menu::create();
    menu->add(text, command);
    menu->items[0].grayed = grayed;
    int chosen = plat::track_popup_menu(*menu, screen, owner);
    if (!chosen || !plat::is_window(owner)) return;
    plat::Message cmd;
    cmd.window = owner;
    cmd.kind = plat::MsgKind::Command;
    cmd.command_id = chosen;
    plat::post_message(cmd);
}

bool renaming_possible() { return frame().input_pending.load() == 0 && frame().quit_state.load() == kQuitRunning; }

void rename_through_text_window(int number, const std::string& old_sjis,
                                const std::function<void(const std::string&)>& apply) {
    // A line input already waiting (the program's own, or a dialogue of the
    // main window) would lose its line to this one: rename later instead.
    if (!renaming_possible()) return;
    MAV_EnsureTextWindow();
    MAV_Printf("%d '%s' ->", number, old_sjis.c_str());
    char line[kLineRoom] = {};
    MAV_InputText(line);
    if (line[0] != '\0') apply(line);
}

int close_box_window(plat::Hwnd box, void (*forget_box)(), const char* error_text, const char* error_caption) {
    if (!box) return 1;
    forget_box();
    if (!plat::is_window(box)) {
        plat::message_box(main_window(), error_text, error_caption, plat::MbIcon::Error);
        return 2;
    }
    plat::destroy_window(box);
    return 0;
}

std::optional<bool> handle_box_message(plat::Message& m, const BoxKind& kind) {
    plat::Hwnd box = kind.open_box();
    bool ours = box && m.window == box;
    switch (m.kind) {
    case plat::MsgKind::Move:
    case plat::MsgKind::Moving:
        return handle_snapping(m);
    case plat::MsgKind::Size:
        if (ours) kind.on_size();
        return true;
    case plat::MsgKind::Command:
        if (!ours || kind.on_command(m)) return true;
        if (m.command_id == kind.destroy_command) kind.close();
        else if (m.command_id == kind.rename_command) kind.rename(*kind.rename_item);
        return true;
    case plat::MsgKind::Close:
        if (ours) kind.close();
        else plat::destroy_window(m.window);
        return true;
    case plat::MsgKind::RButtonDown:
        if (!ours) return true;
        if (m.non_client) {
            popup_one_item(m.window, kind.destroy_item, kind.destroy_command, m.screen_pos);
        } else {
            *kind.rename_item = kind.item_at(m.pos);
            popup_one_item(m.window, "Rename", kind.rename_command, m.screen_pos, !renaming_possible());
        }
        return true;
    case plat::MsgKind::LButtonDblClk:
        if (ours) kind.rename(kind.item_at(m.pos));
        return true;
    case plat::MsgKind::Destroy:
        if (ours) kind.forget();
        return true;
    default:
        return std::nullopt;
    }
}

void register_box_requests() {
    set_request_handler(kReqInputBox, [](RequestSlot& s) {
        if (windows().input_box.load()) MAV_CloseInputBox();
        MAV_OpenInputBox(0, 0, s.index);
    });
    set_request_handler(kReqButtonBox, [](RequestSlot& s) {
        if (windows().button_box.load()) MAV_CloseButtonBox();
        MAV_OpenButtonBox(0, 0, s.width, s.height);
    });
    set_dialog_key_hook(box_dialog_keys);
}

}  // namespace mav

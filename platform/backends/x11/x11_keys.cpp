#include "x11_keys.h"

#include <X11/keysym.h>

#include "plat/core/keys.h"

namespace plat::detail::x11 {

int key_from_keysym(unsigned long ks) {
    if (ks >= XK_a && ks <= XK_z) return int('A' + (ks - XK_a));
    if (ks >= XK_A && ks <= XK_Z) return int('A' + (ks - XK_A));
    if (ks >= XK_0 && ks <= XK_9) return int('0' + (ks - XK_0));
    if (ks >= XK_F1 && ks <= XK_F24) return key::F1 + int(ks - XK_F1);
    if (ks >= XK_KP_0 && ks <= XK_KP_9) return key::Numpad0 + int(ks - XK_KP_0);
    switch (ks) {
    case XK_BackSpace: return key::Backspace;
    case XK_Tab:
    case XK_KP_Tab:
    case XK_ISO_Left_Tab: return key::Tab;
    case XK_Return:
    case XK_KP_Enter: return key::Enter;
    case XK_Shift_L:
    case XK_Shift_R: return key::Shift;
    case XK_Control_L:
    case XK_Control_R: return key::Control;
    case XK_Alt_L:
    case XK_Alt_R:
    case XK_Meta_L:
    case XK_Meta_R: return key::Alt;
    case XK_Escape: return key::Escape;
    case XK_space:
    case XK_KP_Space: return key::Space;
    case XK_Prior:
    case XK_KP_Prior: return key::PageUp;
    case XK_Next:
    case XK_KP_Next: return key::PageDown;
    case XK_End:
    case XK_KP_End: return key::End;
    case XK_Home:
    case XK_KP_Home: return key::Home;
    case XK_Left:
    case XK_KP_Left: return key::Left;
    case XK_Up:
    case XK_KP_Up: return key::Up;
    case XK_Right:
    case XK_KP_Right: return key::Right;
    case XK_Down:
    case XK_KP_Down: return key::Down;
    case XK_Insert:
    case XK_KP_Insert: return key::Insert;
    case XK_Delete:
    case XK_KP_Delete: return key::Delete;
    case XK_KP_Multiply: return key::NumpadMultiply;
    case XK_KP_Add: return key::NumpadAdd;
    case XK_KP_Subtract: return key::NumpadSubtract;
    case XK_minus: return key::Minus;
    case XK_KP_Decimal: return key::NumpadDecimal;
    case XK_KP_Divide: return key::NumpadDivide;
    default: return key::None;
    }
}

char32_t char_from_keysym(unsigned long ks) {
    // Latin-1 keysyms are their code points.
    if ((ks >= 0x20 && ks <= 0x7E) || (ks >= 0xA0 && ks <= 0xFF)) return char32_t(ks);
    // Unicode keysyms: 0x01000000 plus the code point.
    if (ks >= 0x01000020 && ks <= 0x0110FFFF) return char32_t(ks - 0x01000000);
    if (ks >= XK_KP_0 && ks <= XK_KP_9) return char32_t(U'0' + (ks - XK_KP_0));
    switch (ks) {
    case XK_KP_Space: return U' ';
    case XK_KP_Multiply: return U'*';
    case XK_KP_Add: return U'+';
    case XK_KP_Separator: return U',';
    case XK_KP_Subtract: return U'-';
    case XK_KP_Decimal: return U'.';
    case XK_KP_Divide: return U'/';
    case XK_KP_Equal: return U'=';
    case XK_EuroSign: return U'\u20AC';
    default: return 0;
    }
}

char32_t core_char_for_key(int k, bool ctrl, bool shift) {
    // Mirrors translate_message in core/queue.cpp; a test keeps them equal.
    if (ctrl) return 0;
    if (k >= 'A' && k <= 'Z') return shift ? char32_t(k) : char32_t(k - 'A' + 'a');
    if (k >= '0' && k <= '9') return char32_t(k);
    if (k == key::Space || k == key::Enter || k == key::Backspace || k == key::Tab || k == key::Escape)
        return char32_t(k);
    return 0;
}

namespace {

char32_t fold_case(char32_t c) { return (c >= U'a' && c <= U'z') ? c - 32 : c; }

}  // namespace

KeyPlan plan_key_press(unsigned long keysym, unsigned long base_keysym, bool ctrl, bool shift) {
    KeyPlan out;
    out.key = key_from_keysym(keysym);
    // Shift+1 gives '!', which has no code: the key is still '1'. Keypad
    // keysyms are left alone, since their first level ignores Num Lock.
    bool keypad = keysym >= XK_KP_Space && keysym <= XK_KP_9;
    if (out.key == key::None && !keypad) out.key = key_from_keysym(base_keysym);
    char32_t text = char_from_keysym(keysym);
    if (ctrl || text < 0x20 || text == 0x7F) return out;
    char32_t made = core_char_for_key(out.key, ctrl, shift);
    if (made == text) return out;
    if (made == 0) {
        out.ch = text;
        return out;
    }
    if (fold_case(made) == fold_case(text)) return out;
    // The core would make another character: send only the right one.
    out.key = key::None;
    out.ch = text;
    return out;
}

}  // namespace plat::detail::x11

// Keyboard translation for the x11 backend: pure functions from X keysyms to
// the platform's key codes and characters.
//
// What a key press sends to the core: the core's translate_message already
// makes a Char from the KeyDown of letters, digits, Space, Enter, Backspace,
// Tab and Escape. So a press sends
//   - its key (inject_key) when the key has a plat code, and
//   - its character (inject_char) only when the core would not make that
//     character itself from the key.
// When the character the keyboard mapping gives differs from the one the core
// would make (Shift+1 gives '!', the core would make '1'), only the character
// is sent, so that text comes out right and never doubles. Letters that
// differ only in case (Caps Lock) send only the key: their case follows Shift.
// Keypad digits with Num Lock send their Numpad key and the digit, which the
// core does not make. With Ctrl held no character is sent.
#pragma once

namespace plat::detail::x11 {

// The plat key code of a keysym (plat/keys.h), key::None for keys the
// platform has no code for.
int key_from_keysym(unsigned long keysym);

// The character a keysym types (Latin-1 keysyms, Unicode keysyms, keypad
// digits and operators); 0 for keysyms that type nothing.
char32_t char_from_keysym(unsigned long keysym);

// The character the core's translate_message makes from a KeyDown of `key`;
// 0 when it makes none.
char32_t core_char_for_key(int key, bool ctrl, bool shift);

struct KeyPlan {
    int key = 0;       // for inject_key; key::None sends no key
    char32_t ch = 0;   // for inject_char; 0 sends no character
};

// `keysym` is the keysym the keyboard mapping gives with the modifiers held,
// `base_keysym` the one of the key's first level (no modifiers).
KeyPlan plan_key_press(unsigned long keysym, unsigned long base_keysym, bool ctrl, bool shift);

}  // namespace plat::detail::x11

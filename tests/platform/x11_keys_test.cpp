// The x11 backend's keyboard translation: keysyms to key codes and
// characters, and which presses send keys and which send characters.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include "x11_keys.h"
#include "plat/core/keys.h"
#include "plat/core/window.h"

using namespace plat;
using namespace plat::detail::x11;

TEST(X11Keys, LettersEitherCaseAreTheirCapitals) {
    EXPECT_EQ(key_from_keysym(XK_a), 'A');
    EXPECT_EQ(key_from_keysym(XK_z), 'Z');
    EXPECT_EQ(key_from_keysym(XK_S), 'S');
}

TEST(X11Keys, DigitsAndFunctionKeys) {
    EXPECT_EQ(key_from_keysym(XK_0), '0');
    EXPECT_EQ(key_from_keysym(XK_9), '9');
    EXPECT_EQ(key_from_keysym(XK_F1), key::F1);
    EXPECT_EQ(key_from_keysym(XK_F5), key::F1 + 4);
    EXPECT_EQ(key_from_keysym(XK_F12), key::F1 + 11);
}

TEST(X11Keys, KeypadDigitsAndOperatorsWithNumLock) {
    EXPECT_EQ(key_from_keysym(XK_KP_0), key::Numpad0);
    EXPECT_EQ(key_from_keysym(XK_KP_9), key::Numpad0 + 9);
    EXPECT_EQ(key_from_keysym(XK_KP_Multiply), key::NumpadMultiply);
    EXPECT_EQ(key_from_keysym(XK_KP_Add), key::NumpadAdd);
    EXPECT_EQ(key_from_keysym(XK_KP_Subtract), key::NumpadSubtract);
    EXPECT_NE(key::NumpadSubtract, key::Minus);
    EXPECT_EQ(key_from_keysym(XK_KP_Decimal), key::NumpadDecimal);
    EXPECT_EQ(key_from_keysym(XK_KP_Divide), key::NumpadDivide);
}

TEST(X11Keys, NamedKeysAndTheirKeypadTwins) {
    struct Case {
        unsigned long keysym;
        int code;
    } cases[] = {
        {XK_Escape, key::Escape},   {XK_Return, key::Enter},       {XK_KP_Enter, key::Enter},
        {XK_Tab, key::Tab},         {XK_ISO_Left_Tab, key::Tab},   {XK_BackSpace, key::Backspace},
        {XK_space, key::Space},     {XK_Delete, key::Delete},      {XK_KP_Delete, key::Delete},
        {XK_Insert, key::Insert},   {XK_Home, key::Home},          {XK_End, key::End},
        {XK_Prior, key::PageUp},    {XK_Next, key::PageDown},      {XK_KP_Prior, key::PageUp},
        {XK_Left, key::Left},       {XK_Right, key::Right},        {XK_Up, key::Up},
        {XK_Down, key::Down},       {XK_KP_Down, key::Down},       {XK_Shift_L, key::Shift},
        {XK_Shift_R, key::Shift},   {XK_Control_L, key::Control},  {XK_Control_R, key::Control},
        {XK_Alt_L, key::Alt},       {XK_minus, key::Minus},
    };
    for (const Case& c : cases) EXPECT_EQ(key_from_keysym(c.keysym), c.code) << std::hex << c.keysym;
}

TEST(X11Keys, UnknownKeysMapToNothing) {
    for (unsigned long ks : {0UL, 0xFFFFFFUL, (unsigned long)XK_exclam, (unsigned long)XK_comma,
                             (unsigned long)XK_eacute, (unsigned long)XK_Caps_Lock, (unsigned long)XK_Num_Lock,
                             (unsigned long)XK_Super_L, (unsigned long)XK_Print, (unsigned long)XK_Pause,
                             0x10065E5UL /* a Unicode keysym */})
        EXPECT_EQ(key_from_keysym(ks), key::None) << std::hex << ks;
}

TEST(X11Keys, CharactersOfKeysyms) {
    EXPECT_EQ(char_from_keysym(XK_a), U'a');
    EXPECT_EQ(char_from_keysym(XK_exclam), U'!');
    EXPECT_EQ(char_from_keysym(XK_eacute), U'\u00E9');
    EXPECT_EQ(char_from_keysym(0x10065E5), U'\u65E5');
    EXPECT_EQ(char_from_keysym(XK_KP_7), U'7');
    EXPECT_EQ(char_from_keysym(XK_KP_Add), U'+');
    EXPECT_EQ(char_from_keysym(XK_EuroSign), U'\u20AC');
    EXPECT_EQ(char_from_keysym(XK_Return), 0u);
    EXPECT_EQ(char_from_keysym(XK_Shift_L), 0u);
    EXPECT_EQ(char_from_keysym(XK_Left), 0u);
}

TEST(X11Keys, PressesTheCoreTurnsIntoTextSendOnlyTheKey) {
    KeyPlan a = plan_key_press(XK_a, XK_a, false, false);
    EXPECT_EQ(a.key, 'A');
    EXPECT_EQ(a.ch, 0u);
    KeyPlan big_a = plan_key_press(XK_A, XK_a, false, true);
    EXPECT_EQ(big_a.key, 'A');
    EXPECT_EQ(big_a.ch, 0u);
    KeyPlan seven = plan_key_press(XK_7, XK_7, false, false);
    EXPECT_EQ(seven.key, '7');
    EXPECT_EQ(seven.ch, 0u);
    KeyPlan space = plan_key_press(XK_space, XK_space, false, false);
    EXPECT_EQ(space.key, key::Space);
    EXPECT_EQ(space.ch, 0u);
    KeyPlan enter = plan_key_press(XK_Return, XK_Return, false, false);
    EXPECT_EQ(enter.key, key::Enter);
    EXPECT_EQ(enter.ch, 0u);
}

TEST(X11Keys, ShiftedSymbolsSendOnlyTheirCharacter) {
    // Shift+1: the core would make '1' from the key, the keyboard says '!'.
    KeyPlan bang = plan_key_press(XK_exclam, XK_1, false, true);
    EXPECT_EQ(bang.key, key::None);
    EXPECT_EQ(bang.ch, U'!');
}

TEST(X11Keys, KeysWithoutCodesSendTheirCharacter) {
    KeyPlan comma = plan_key_press(XK_comma, XK_comma, false, false);
    EXPECT_EQ(comma.key, key::None);
    EXPECT_EQ(comma.ch, U',');
    KeyPlan e = plan_key_press(XK_eacute, XK_eacute, false, false);
    EXPECT_EQ(e.key, key::None);
    EXPECT_EQ(e.ch, U'\u00E9');
    // Num Lock on: the keypad key and its digit, which the core does not
    // make from the key; its first level (End) is not used.
    KeyPlan kp = plan_key_press(XK_KP_1, XK_KP_End, false, false);
    EXPECT_EQ(kp.key, key::Numpad0 + 1);
    EXPECT_EQ(kp.ch, U'1');
    KeyPlan kp_off = plan_key_press(XK_KP_End, XK_KP_End, false, false);
    EXPECT_EQ(kp_off.key, key::End);
    EXPECT_EQ(kp_off.ch, 0u);
}

TEST(X11Keys, MinusSendsItsKeyAndItsCharacter) {
    // The core makes no character from the key, so both go.
    KeyPlan minus = plan_key_press(XK_minus, XK_minus, false, false);
    EXPECT_EQ(minus.key, key::Minus);
    EXPECT_EQ(minus.ch, U'-');
    KeyPlan underscore = plan_key_press(XK_underscore, XK_minus, false, true);
    EXPECT_EQ(underscore.key, key::Minus);
    EXPECT_EQ(underscore.ch, U'_');
}

TEST(X11Keys, CtrlSendsKeysAndNoText) {
    KeyPlan v = plan_key_press(XK_v, XK_v, true, false);
    EXPECT_EQ(v.key, 'V');
    EXPECT_EQ(v.ch, 0u);
    KeyPlan bang = plan_key_press(XK_exclam, XK_1, true, true);
    EXPECT_EQ(bang.key, '1');
    EXPECT_EQ(bang.ch, 0u);
}

TEST(X11Keys, CapsLockLettersKeepTheirKey) {
    KeyPlan caps = plan_key_press(XK_A, XK_a, false, false);
    EXPECT_EQ(caps.key, 'A');
    EXPECT_EQ(caps.ch, 0u);
}

TEST(X11Keys, ModifiersAloneSendOnlyKeys) {
    KeyPlan shift = plan_key_press(XK_Shift_L, XK_Shift_L, false, false);
    EXPECT_EQ(shift.key, key::Shift);
    EXPECT_EQ(shift.ch, 0u);
}

// core_char_for_key must say what translate_message does, or characters
// would double or go missing.
TEST(X11Keys, CoreCharacterRuleMatchesTranslateMessage) {
    if (!class_registered("x11_keys_probe")) {
        WindowClass c;
        c.name = "x11_keys_probe";
        ASSERT_TRUE(register_class(c));
    }
    CreateParams p;
    p.class_name = "x11_keys_probe";
    p.style = 0;
    p.rect = {0, 0, 10, 10};
    Hwnd h = create_window(p);
    ASSERT_TRUE(h);
    Message drain;
    while (peek_message(drain)) {
    }
    for (int k = 1; k < key::Count; ++k) {
        for (int mods = 0; mods < 4; ++mods) {
            bool ctrl = mods & 1, shift = mods & 2;
            Message down;
            down.window = h;
            down.kind = MsgKind::KeyDown;
            down.key = k;
            down.ctrl = ctrl;
            down.shift = shift;
            translate_message(down);
            char32_t made = 0;
            Message m;
            while (peek_message(m))
                if (m.kind == MsgKind::Char) made = m.ch;
            EXPECT_EQ(core_char_for_key(k, ctrl, shift), made) << "key " << k << " ctrl " << ctrl << " shift " << shift;
        }
    }
    destroy_window(h);
}

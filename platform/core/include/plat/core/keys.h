// Key codes carried by key messages. The values follow the virtual-key codes
// the library was designed around, so letters and digits are their ASCII
// capitals.
#pragma once

namespace plat {

namespace key {
inline constexpr int None = 0;
inline constexpr int Backspace = 0x08;
inline constexpr int Tab = 0x09;
inline constexpr int Enter = 0x0D;
inline constexpr int Shift = 0x10;
inline constexpr int Control = 0x11;
inline constexpr int Alt = 0x12;
inline constexpr int Escape = 0x1B;
inline constexpr int Space = 0x20;
inline constexpr int PageUp = 0x21;
inline constexpr int PageDown = 0x22;
inline constexpr int End = 0x23;
inline constexpr int Home = 0x24;
inline constexpr int Left = 0x25;
inline constexpr int Up = 0x26;
inline constexpr int Right = 0x27;
inline constexpr int Down = 0x28;
inline constexpr int Insert = 0x2D;
inline constexpr int Delete = 0x2E;
inline constexpr int Numpad0 = 0x60;  // Numpad0..Numpad9 are consecutive
inline constexpr int NumpadMultiply = 0x6A;
inline constexpr int NumpadAdd = 0x6B;
inline constexpr int NumpadSubtract = 0x6D;
inline constexpr int NumpadDecimal = 0x6E;
inline constexpr int NumpadDivide = 0x6F;
inline constexpr int F1 = 0x70;  // F1..F24 are consecutive
inline constexpr int F4 = F1 + 3;
inline constexpr int Minus = 0xBD;  // the main keyboard's minus key, not the keypad's
inline constexpr int Count = 0x100;
}  // namespace key

// Maps a key name as written in scripts ("S", "Esc", "Ctrl+V", "Down", "F5",
// "space", keypad keys "kp0".."kp9", "kp+", "kp-") to its code and modifiers. Returns false for a name it does not know.
struct KeyChord {
    int code = key::None;
    bool ctrl = false;
    bool shift = false;
};
bool parse_key_chord(const char* name, KeyChord& out);

}  // namespace plat

#include <cctype>
#include <cstring>
#include <string>

#include "plat/core/keys.h"

namespace plat {

namespace {

struct NamedKey {
    const char* name;
    int code;
};

constexpr NamedKey kNamed[] = {
    {"esc", key::Escape},     {"escape", key::Escape},   {"enter", key::Enter},
    {"return", key::Enter},   {"tab", key::Tab},         {"space", key::Space},
    {"backspace", key::Backspace}, {"delete", key::Delete}, {"del", key::Delete},
    {"insert", key::Insert},  {"home", key::Home},       {"end", key::End},
    {"pageup", key::PageUp},  {"pagedown", key::PageDown}, {"left", key::Left},
    {"right", key::Right},    {"up", key::Up},           {"down", key::Down},
    {"shift", key::Shift},    {"ctrl", key::Control},    {"control", key::Control},
    {"kp+", key::NumpadAdd},  {"kp-", key::NumpadSubtract}, {"kp*", key::NumpadMultiply},
    {"kp/", key::NumpadDivide}, {"kp.", key::NumpadDecimal},
};

std::string lower(std::string s) {
    for (char& c : s) c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool parse_single(const std::string& name, int& code) {
    if (name.size() == 1) {
        unsigned char c = static_cast<unsigned char>(name[0]);
        if (std::isalpha(c)) code = std::toupper(c);
        else if (std::isdigit(c)) code = c;
        else if (c == ' ') code = key::Space;
        else return false;
        return true;
    }
    std::string l = lower(name);
    for (const auto& k : kNamed)
        if (l == k.name) {
            code = k.code;
            return true;
        }
    if (l.size() == 3 && l[0] == 'k' && l[1] == 'p' && std::isdigit(static_cast<unsigned char>(l[2]))) {
        code = key::Numpad0 + (l[2] - '0');
        return true;
    }
    if (l.size() >= 2 && l[0] == 'f') {
        int n = 0;
        for (std::size_t i = 1; i < l.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(l[i]))) return false;
            n = n * 10 + (l[i] - '0');
            if (n > 24) return false;
        }
        if (n < 1) return false;
        code = key::F1 + n - 1;
        return true;
    }
    return false;
}

}  // namespace

bool parse_key_chord(const char* text, KeyChord& out) {
    if (!text) return false;
    std::string s(text);
    KeyChord k;
    // Modifiers come first, joined with '+': "Ctrl+Shift+V". A lone "+" is no key.
    for (;;) {
        std::size_t plus = s.find('+');
        if (plus == std::string::npos || plus == 0 || plus + 1 >= s.size()) break;
        std::string mod = lower(s.substr(0, plus));
        if (mod == "ctrl" || mod == "control") k.ctrl = true;
        else if (mod == "shift") k.shift = true;
        else return false;
        s = s.substr(plus + 1);
    }
    if (!parse_single(s, k.code)) return false;
    out = k;
    return true;
}

}  // namespace plat

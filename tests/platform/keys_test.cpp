// Key names as scripts write them.
#include "plat/core/keys.h"

#include <gtest/gtest.h>

using namespace plat;

namespace {

KeyChord parse(const char* name) {
    KeyChord k;
    EXPECT_TRUE(parse_key_chord(name, k)) << name;
    return k;
}

bool same(const KeyChord& a, const KeyChord& b) {
    return a.code == b.code && a.ctrl == b.ctrl && a.shift == b.shift;
}

}  // namespace

TEST(Keys, LettersAnyCaseAreTheirCapitals) {
    EXPECT_TRUE(same(parse("S"), {'S', false, false}));
    EXPECT_TRUE(same(parse("s"), {'S', false, false}));
    EXPECT_TRUE(same(parse("7"), {'7', false, false}));
}

TEST(Keys, NamedKeys) {
    EXPECT_TRUE(same(parse("Esc"), {key::Escape, false, false}));
    EXPECT_TRUE(same(parse("escape"), {key::Escape, false, false}));
    EXPECT_TRUE(same(parse("Down"), {key::Down, false, false}));
    EXPECT_TRUE(same(parse("space"), {key::Space, false, false}));
    EXPECT_TRUE(same(parse("Enter"), {key::Enter, false, false}));
}

TEST(Keys, FunctionKeys) {
    EXPECT_TRUE(same(parse("F1"), {key::F1, false, false}));
    EXPECT_TRUE(same(parse("F5"), {key::F1 + 4, false, false}));
    EXPECT_TRUE(same(parse("F12"), {key::F1 + 11, false, false}));
    EXPECT_EQ(key::F1 + 11, 0x7B);
    EXPECT_TRUE(same(parse("f24"), {key::F1 + 23, false, false}));
    EXPECT_TRUE(same(parse("F"), {'F', false, false}));  // a lone F is the letter
}

TEST(Keys, Modifiers) {
    EXPECT_TRUE(same(parse("Ctrl+V"), {'V', true, false}));
    EXPECT_TRUE(same(parse("ctrl+shift+x"), {'X', true, true}));
    EXPECT_TRUE(same(parse("Shift+F5"), {key::F1 + 4, false, true}));
    EXPECT_TRUE(same(parse("Control+Down"), {key::Down, true, false}));
}

TEST(Keys, RejectsWhatItDoesNotKnow) {
    for (const char* bad : {"", "Ctrl+", "Foo", "F0", "F25", "F123", "Alt+X", "+", "Ctrl+Foo", "Ctrl++",
                            "Shift+Ctrl+", "Hyper+A", "F1x", "!"}) {
        KeyChord k;
        EXPECT_FALSE(parse_key_chord(bad, k)) << '"' << bad << '"';
    }
    KeyChord k;
    EXPECT_FALSE(parse_key_chord(nullptr, k));
}

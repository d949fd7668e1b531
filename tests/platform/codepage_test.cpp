#include "plat/base/codepage.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

using plat::sjis_to_utf16;
using plat::sjis_to_utf8;
using plat::utf16_to_sjis;
using plat::utf16_to_utf8;
using plat::utf8_to_sjis;
using plat::utf8_to_utf16;
using plat::utf8_to_utf32;

// "日本語" in CP932.
const std::string kNihongo = "\x93\xfa\x96\x7b\x8c\xea";

TEST(Codepage, JapaneseRoundTripsThroughUtf16AndUtf8) {
    EXPECT_EQ(sjis_to_utf16(kNihongo), u"日本語");
    EXPECT_EQ(utf16_to_sjis(u"日本語"), kNihongo);
    EXPECT_EQ(sjis_to_utf8(kNihongo), "日本語");
    EXPECT_EQ(utf8_to_sjis("日本語"), kNihongo);
}

TEST(Codepage, AsciiMixedWithKanjiKeepsItsPlace) {
    const std::string sjis = "a" + kNihongo + "1.bmp";
    EXPECT_EQ(sjis_to_utf16(sjis), u"a日本語1.bmp");
    EXPECT_EQ(utf16_to_sjis(u"a日本語1.bmp"), sjis);
}

TEST(Codepage, HalfWidthKatakanaAreSingleBytes) {
    // "ｱｲｳﾟ" : 0xB1 0xB2 0xB3 0xDF
    const std::string sjis = "\xb1\xb2\xb3\xdf";
    EXPECT_EQ(sjis_to_utf16(sjis), u"\uFF71\uFF72\uFF73\uFF9F");
    EXPECT_EQ(utf16_to_sjis(u"\uFF71\uFF72\uFF73\uFF9F"), sjis);
}

TEST(Codepage, Cp932ExtensionsDecode) {
    // NEC special row, NEC-selected and IBM extensions: absent from plain Shift_JIS.
    EXPECT_EQ(sjis_to_utf16("\x87\x40"), u"\u2460");  // circled digit one
    EXPECT_EQ(sjis_to_utf16("\x87\x54"), u"\u2160");  // roman numeral one
    EXPECT_EQ(sjis_to_utf16("\xfa\x40"), u"\u2170");  // small roman numeral one
    EXPECT_EQ(utf16_to_sjis(u"\u2460\u2160"), "\x87\x40\x87\x54");
}

TEST(Codepage, Cp932MappingsDifferFromPlainShiftJis) {
    // 0x5C is a backslash (paths depend on it), not a yen sign; the wave dash
    // and minus come out as the full-width forms Windows uses.
    EXPECT_EQ(sjis_to_utf16("c:\\dir"), u"c:\\dir");
    EXPECT_EQ(sjis_to_utf16("\x81\x60"), u"\uFF5E");
    EXPECT_EQ(sjis_to_utf16("\x81\x7c"), u"\uFF0D");
    EXPECT_EQ(utf16_to_sjis(u"\uFF5E\uFF0D"), "\x81\x60\x81\x7c");
}

TEST(Codepage, InvalidBytesBecomeReplacementAndDecodingContinues) {
    EXPECT_EQ(sjis_to_utf16("a\x80z"), u"a\uFFFDz");
    EXPECT_EQ(sjis_to_utf16("\xff\xfe"), u"\uFFFD\uFFFD");
    EXPECT_EQ(sjis_to_utf8("a\x80z"), "a\xEF\xBF\xBDz");
}

TEST(Codepage, UnmappedPairIsOneReplacement) {
    // 0x85 0x40 is well formed but unassigned: one character, not two.
    EXPECT_EQ(sjis_to_utf16("A\x85\x40" "B"), u"A\uFFFDB");
}

TEST(Codepage, LeadByteBeforeAsciiDoesNotSwallowIt) {
    EXPECT_EQ(sjis_to_utf16("\x82 x"), u"\uFFFD x");
    EXPECT_EQ(sjis_to_utf16("\x93\n"), u"\uFFFD\n");
}

TEST(Codepage, TruncatedTrailingLeadByteIsInvalid) {
    EXPECT_EQ(sjis_to_utf16("\x93\xfa\x96"), u"日\uFFFD");
    EXPECT_EQ(sjis_to_utf16("\x93"), u"\uFFFD");
    EXPECT_EQ(sjis_to_utf8("ab\x8c"), "ab\xEF\xBF\xBD");
}

TEST(Codepage, EmbeddedNulIsText) {
    const std::string sjis("a\0\x93\xfa", 4);
    EXPECT_EQ(sjis_to_utf16(sjis), std::u16string(u"a\0日", 3));
}

TEST(Codepage, EmptyInputs) {
    EXPECT_EQ(sjis_to_utf16(""), u"");
    EXPECT_EQ(utf16_to_sjis(u""), "");
    EXPECT_EQ(utf8_to_utf32(""), U"");
}

TEST(Codepage, UnconvertibleCharactersBecomeQuestionMarks) {
    EXPECT_EQ(utf16_to_sjis(u"caf\u00e9!"), "caf?!");
    // A supplementary character is one character, so one '?'.
    EXPECT_EQ(utf16_to_sjis(u"x\U0001F600y"), "x?y");
    // Lone surrogates, at the end as well.
    EXPECT_EQ(utf16_to_sjis(std::u16string(u"a\xD800" u"b\xDC00")), "a?b?");
    EXPECT_EQ(utf16_to_sjis(std::u16string(1, u'\xD83D')), "?");
    EXPECT_EQ(utf8_to_sjis("\xF0\x9F\x98\x80日"), "?\x93\xfa");
    EXPECT_EQ(utf8_to_sjis("a\xC0\xAF" "b"), "a??b");
}

TEST(Codepage, LongTextSpansConversionBuffers) {
    std::string sjis;
    std::u16string utf16;
    for (int i = 0; i < 3000; ++i) {
        sjis += kNihongo + "\xb1" "a";
        utf16 += u"日本語\uFF71a";
    }
    sjis += "\x80";
    utf16 += u"\uFFFD";
    EXPECT_EQ(sjis_to_utf16(sjis), utf16);
    EXPECT_EQ(utf16_to_sjis(utf16.substr(0, utf16.size() - 1)), sjis.substr(0, sjis.size() - 1));
}

TEST(Codepage, MaxUnitsLimitsOutput) {
    EXPECT_EQ(sjis_to_utf16(kNihongo, 2), u"日本");
    EXPECT_EQ(sjis_to_utf16(kNihongo, 0), u"");
    EXPECT_EQ(sjis_to_utf16(kNihongo, 3), u"日本語");
    EXPECT_EQ(sjis_to_utf16(kNihongo, 100), u"日本語");
    // Replacements count as units too.
    EXPECT_EQ(sjis_to_utf16("\x80\x80\x80", 2), u"\uFFFD\uFFFD");
}

TEST(Codepage, PrefixNeverSplitsSurrogatePair) {
    const std::u16string text = u"a\U0001F600b";  // a, high, low, b
    EXPECT_EQ(plat::utf16_prefix_length(text, 1), 1u);
    EXPECT_EQ(plat::utf16_prefix_length(text, 2), 1u);
    EXPECT_EQ(plat::utf16_prefix_length(text, 3), 3u);
    EXPECT_EQ(plat::utf16_prefix_length(text, 10), 4u);
    EXPECT_EQ(plat::utf16_prefix_length(u"\U0001F600", 1), 0u);
    // A lone high surrogate is not half of anything.
    EXPECT_EQ(plat::utf16_prefix_length(std::u16string(u"\xD800" u"x"), 1), 1u);
}

TEST(Codepage, Utf8DecodesAllLengths) {
    EXPECT_EQ(utf8_to_utf32("A\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80"), U"A\u00e9\u65e5\U0001F600");
    EXPECT_EQ(utf8_to_utf16("\xF0\x9F\x98\x80"), u"\xD83D\xDE00");
    EXPECT_EQ(utf8_to_utf32("\xF4\x8F\xBF\xBF"), U"\U0010FFFF");
}

TEST(Codepage, CodePointsEncodeToUtf8OfEveryLength) {
    EXPECT_EQ(plat::utf32_to_utf8(U"A\u00e9\u65e5\U0001F600"), "A\xC3\xA9\xE6\x97\xA5\xF0\x9F\x98\x80");
    EXPECT_EQ(plat::utf32_to_utf8(U"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
    // Values that are not characters become U+FFFD, never bytes that decode to something else.
    EXPECT_EQ(plat::utf32_to_utf8(std::u32string{char32_t(0xD800), char32_t(0x110000), U'x'}),
              "\xEF\xBF\xBD\xEF\xBF\xBDx");
    EXPECT_EQ(plat::utf32_to_utf8(U""), "");
}

TEST(Codepage, Utf8RejectsOverlongForms) {
    EXPECT_EQ(utf8_to_utf32("\xC0\xAF"), U"\uFFFD\uFFFD");
    EXPECT_EQ(utf8_to_utf32("\xC1\xBF"), U"\uFFFD\uFFFD");
    EXPECT_EQ(utf8_to_utf32("\xE0\x80\xAF"), U"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(utf8_to_utf32("\xF0\x80\x80\xAF"), U"\uFFFD\uFFFD\uFFFD\uFFFD");
}

TEST(Codepage, Utf8RejectsSurrogatesAndOutOfRange) {
    EXPECT_EQ(utf8_to_utf32("\xED\xA0\x80"), U"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(utf8_to_utf32("\xF4\x90\x80\x80"), U"\uFFFD\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(utf8_to_utf32("\xF5\xFF"), U"\uFFFD\uFFFD");
}

TEST(Codepage, Utf8TruncatedSequenceIsOneReplacementAndKeepsNextChar) {
    EXPECT_EQ(utf8_to_utf32("\xE6\x97" "A"), U"\uFFFDA");
    EXPECT_EQ(utf8_to_utf32("x\xF0\x9F\x98"), U"x\uFFFD");
    EXPECT_EQ(utf8_to_utf32("\xE6\xE6\x97\xA5"), U"\uFFFD\u65e5");
    EXPECT_EQ(utf8_to_utf32("\x80\xBF"), U"\uFFFD\uFFFD");
}

TEST(Codepage, Utf16LoneSurrogatesBecomeReplacementInUtf8) {
    EXPECT_EQ(utf16_to_utf8(std::u16string(u"a\xDC00" u"b")), "a\xEF\xBF\xBD" "b");
    EXPECT_EQ(utf16_to_utf8(std::u16string(u"\xD800\xD800")), "\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(utf16_to_utf8(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
}

TEST(Codepage, Utf8Utf16RoundTrip) {
    const std::string s = "plain, é, 日本語, ｱ, 😀";
    EXPECT_EQ(utf16_to_utf8(utf8_to_utf16(s)), s);
}

TEST(Codepage, ThreadsConvertIndependently) {
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 500; ++i) {
                // A bad byte in every other call leaves the converter mid-error.
                std::string in = kNihongo + (i % 2 ? "\x93" : "");
                std::u16string want = i % 2 ? u"日本語\uFFFD" : u"日本語";
                if (sjis_to_utf16(in) != want || utf16_to_sjis(u"日本語") != kNihongo)
                    ++failures[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int f : failures) EXPECT_EQ(f, 0);
}

}  // namespace

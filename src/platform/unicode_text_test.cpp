#include "platform/unicode_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Texts that go UTF-16 -> UTF-8 -> UTF-16 unchanged, lone surrogates included.
TEST(UnicodeText, RoundTripsEveryUtf16Text) {
    struct Case {
        std::u16string utf16;
        std::string utf8;
    };
    const Case cases[] = {
        {u"", ""},
        {u"plain a/b", "plain a/b"},
        {u"caf\u00e9 \u03a9 \u2215 \uff02", "caf\xc3\xa9 \xce\xa9 \xe2\x88\x95 \xef\xbc\x82"},
        {u"\U0001F600", "\xf0\x9f\x98\x80"},
        {std::u16string(1, u'\xd800') + u"x", "\xed\xa0\x80x"},  // lone high surrogate
        {u"x" + std::u16string(1, u'\xdfff'), "x\xed\xbf\xbf"},  // lone low surrogate
        {std::u16string(1, u'\xdc00') + std::u16string(1, u'\xd800'), "\xed\xb0\x80\xed\xa0\x80"},  // reversed
    };
    for (const Case& c : cases) {
        EXPECT_EQ(unicode_text::utf16ToUtf8(c.utf16), c.utf8) << c.utf8;
        EXPECT_EQ(unicode_text::utf8ToUtf16(c.utf8), c.utf16) << c.utf8;
    }
}

TEST(UnicodeText, BytesOfNoSequenceBecomeReplacementCharacters) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    const Case cases[] = {
        {"a\xff" "b", u"a\ufffdb"},
        {"\xc3", u"\ufffd"},                                 // cut short at the end
        {"\xc3(", u"\ufffd("},                               // a lead byte without its trail
        {"\xc0\xaf", u"\ufffd\ufffd"},                       // overlong '/'
        {"\xe0\x80\xaf", u"\ufffd\ufffd\ufffd"},             // overlong '/' in three bytes
        {"\xf4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"},  // over U+10FFFF
        {"\x80 ok\xc3\xa9", u"\ufffd ok\u00e9"},
    };
    for (const Case& c : cases) EXPECT_EQ(unicode_text::utf8ToUtf16(c.utf8), c.utf16);
}

TEST(UnicodeText, PreviousStartStepsOverWholeSequencesOnly) {
    struct Case {
        std::string text;
        std::size_t pos;
        std::size_t expected;
    };
    const Case cases[] = {
        {"", 0, 0},      {"abc", 3, 2},          {"abc", 9, 2},
        {"a\xc3\xa9", 3, 1}, {"\xe3\x82\xbd\\", 3, 0}, {"x\xf0\x9f\x98\x80", 5, 1},
        {"a\x80\x80", 3, 2},  // trail bytes of no sequence stand alone
        {"\xc3\xa9\x80", 3, 2},
    };
    for (const Case& c : cases)
        EXPECT_EQ(unicode_text::previousUtf8Start(c.text, c.pos), c.expected) << c.text << " at " << c.pos;
}

}  // namespace

#include "app/latin1.h"

#include <gtest/gtest.h>

namespace {

TEST(Latin1, EveryByteBecomesItsCodePointInUtf8) {
    EXPECT_EQ(Latin1ToUtf8(std::string_view("K\xF6ln \x7F\xA0\xC0\xFF", 9)), "K\xC3\xB6ln \x7F\xC2\xA0\xC3\x80\xC3\xBF");
    // A NUL inside the text is kept, not an end.
    EXPECT_EQ(Latin1ToUtf8(std::string_view("a\0\xE9", 3)), std::string("a\0\xC3\xA9", 4));
    EXPECT_EQ(Latin1ToUtf8(""), "");
}

TEST(Latin1, OneStrictDecoderForEveryUtf8Source) {
    std::u32string points;
    std::size_t bad = 99;
    EXPECT_TRUE(DecodeUtf8("K\xC3\xB6ln \xE2\x82\xAC \xF0\x9F\x98\x80", points, bad));
    EXPECT_EQ(points, (std::u32string{U'K', 0xF6, U'l', U'n', U' ', 0x20AC, U' ', 0x1F600}));
    // Overlong, a surrogate, past U+10FFFF, a cut sequence: refused where they start.
    for (const char* text : {"ab\xC0\x80", "ab\xED\xA0\x80", "ab\xF4\x90\x80\x80", "ab\xE2\x82"}) {
        EXPECT_FALSE(DecodeUtf8(text, points, bad)) << text;
        EXPECT_EQ(bad, 2u) << text;
    }
    // The board's names take a "?" for each byte of what is not UTF-8.
    EXPECT_EQ(TransliterateToLatin1("\xC5\x81\xC3\xB3" "d\xC5\xBA \xC0\x80x"), "L\xF3" "dz ??x");
}

}  // namespace

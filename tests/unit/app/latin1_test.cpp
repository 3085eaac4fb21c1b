#include "app/latin1.h"

#include <gtest/gtest.h>

namespace {

TEST(Latin1, EveryByteBecomesItsCodePointInUtf8) {
    EXPECT_EQ(Latin1ToUtf8(std::string_view("K\xF6ln \x7F\xA0\xC0\xFF", 9)), "K\xC3\xB6ln \x7F\xC2\xA0\xC3\x80\xC3\xBF");
    // A NUL inside the text is kept, not an end.
    EXPECT_EQ(Latin1ToUtf8(std::string_view("a\0\xE9", 3)), std::string("a\0\xC3\xA9", 4));
    EXPECT_EQ(Latin1ToUtf8(""), "");
}

}  // namespace

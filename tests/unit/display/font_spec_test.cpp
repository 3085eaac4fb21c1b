#include "display/font_spec.h"

#include <gtest/gtest.h>

#include <string>

#include "display_test_support.h"

namespace {

struct Expect {
    int height = -12;
    int weight = 400;
    int italic = 0, underline = 0, strikeOut = 0, charSet = 0;
    std::string face = "Arial";
};

void Check(const std::string& spec, const Expect& e) {
    SCOPED_TRACE("spec \"" + spec + "\"");
    const LogFont lf = FontSpecToLogFont(spec);
    EXPECT_EQ(lf.lfHeight, e.height);
    EXPECT_EQ(lf.lfWeight, e.weight);
    EXPECT_EQ(lf.lfItalic, e.italic);
    EXPECT_EQ(lf.lfUnderline, e.underline);
    EXPECT_EQ(lf.lfStrikeOut, e.strikeOut);
    EXPECT_EQ(lf.lfCharSet, e.charSet);
    EXPECT_EQ(std::string(lf.lfFaceName), e.face);
    // The parts no spec can change.
    EXPECT_EQ(lf.lfWidth, 0);
    EXPECT_EQ(lf.lfEscapement, 0);
    EXPECT_EQ(lf.lfOrientation, 0);
    EXPECT_EQ(lf.lfOutPrecision, 0);
    EXPECT_EQ(lf.lfClipPrecision, 0);
    EXPECT_EQ(lf.lfQuality, 3);
    EXPECT_EQ(lf.lfPitchAndFamily, 0x12);
    EXPECT_EQ(lf.lfFaceName[31], '\0');
}

TEST(FontSpec, SizesOptionsAndFace) {
    Check("15,MS Sans Serif", {.height = -15, .face = "MS Sans Serif"});
    Check("B,I,12,MS Sans Serif", {.height = -12, .weight = 700, .italic = 1, .face = "MS Sans Serif"});
    Check("-15,Arial", {.height = 15});
    Check("U,S,Times New Roman", {.underline = 1, .strikeOut = 1, .face = "Times New Roman"});
    Check("B550,Verdana", {.weight = 550, .face = "Verdana"});
    Check("BOLD,Verdana", {.weight = 0, .face = "Verdana"});  // atoi of "OLD"
    Check("Italic,Verdana", {.italic = 1, .face = "Verdana"});
    Check("C:238,Arial", {.charSet = 238});
    Check("C238,Arial", {.charSet = 38});  // the value starts at the third character
    Check("C:300,Arial", {.charSet = 300 & 0xFF});
    Check("C1,Arial", {});                  // too short to carry a value
    Check("20,10,Arial", {.height = -10});  // the last size wins
    Check("-,Arial", {.height = 0});
}

TEST(FontSpec, FaceEdgeCases) {
    Check("15,", {.height = -15});
    Check("", {});
    Check("Courier New", {.face = "Courier New"});
    Check("15,Courier", {.height = -15, .face = "Courier"});
    Check("15,,,I,Arial", {.height = -15, .italic = 1});
    Check("15,Xfoo,zz,Arial", {.height = -15});
    Check("15, MS Sans Serif", {.height = -15, .face = " MS Sans Serif"});
    const std::string longFace(40, 'f');
    Check("15," + longFace, {.height = -15, .face = std::string(31, 'f')});
    Check(longFace, {.face = std::string(31, 'f')});
    Check("9,Arial,with,commas,Face", {.height = -9, .face = "Face"});
}

TEST(FontSpec, TrailingOptionLetterAfterAFace) {
    Check("22,Arial,B", {.height = -22, .weight = 700});
    Check("18,MS Sans Serif,B", {.height = -18, .weight = 700, .face = "MS Sans Serif"});
    Check("12,Arial,I", {.italic = 1});
    Check("12,Arial,U", {.underline = 1});
    Check("12,Arial,S", {.strikeOut = 1});
    Check("Arial,B", {.weight = 700});
    // Applied after every other field, as the last field of the spec.
    Check("B300,Arial,B", {.weight = 700});
    // Only a lone upper-case option letter, and only after a plain name.
    Check("22,Arial,b", {.height = -22, .face = "b"});
    Check("22,Arial,BI", {.height = -22, .face = "BI"});
    Check("22,Arial,C", {.height = -22, .face = "C"});
    Check("22,B", {.height = -22, .face = "B"});
    Check(",B", {.face = "B"});
    Check("B", {.face = "B"});
    Check("22,I,B", {.height = -22, .italic = 1, .face = "B"});
    Check("22,,B", {.height = -22, .face = "B"});
    // A face that itself starts with an option letter is read as that option.
    Check("18,Bookman,B", {.height = -18, .weight = 0, .face = "B"});
}

TEST(FontSpec, HugeNumbersSaturate) {
    Check("99999999999,Arial", {.height = -2147483647});
    Check("-99999999999,Arial", {.height = 2147483647});
    Check("B99999999999,Arial", {.weight = 2147483647});
}

TEST(FontSpec, CreateFontGoesThroughTheFactory) {
    displaytest::CountingFontFactory factory;
    std::unique_ptr<Font> font = CreateFontFromSpec(factory, "22,Arial,B");
    ASSERT_TRUE(font);
    EXPECT_EQ(factory.created, 1);
    EXPECT_EQ(factory.live, 1);
    EXPECT_EQ(font->Description().lfWeight, 700);
    EXPECT_EQ(font->Description().lfHeight, -22);
    font.reset();
    EXPECT_EQ(factory.live, 0);
}

}  // namespace

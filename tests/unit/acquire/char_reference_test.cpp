#include "acquire/char_reference.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace {

struct Decoded {
    int count;
    int byte;  // -1: not written
};

Decoded Decode(const std::string& text) {
    unsigned char out = 0x5A;
    const int n = DecodeCharReference(text.c_str(), out);
    return {n, n > 0 || out != 0x5A ? static_cast<int>(out) : -1};
}

void ExpectDecodes(const std::string& text, int count, int byte) {
    const Decoded d = Decode(text);
    EXPECT_EQ(d.count, count) << text;
    EXPECT_EQ(d.byte, byte) << text;
}

void ExpectFails(const std::string& text) {
    unsigned char out = 0x5A;
    EXPECT_EQ(DecodeCharReference(text.c_str(), out), 0) << text;
    EXPECT_EQ(out, 0x5A) << "byte written on failure for " << text;
}

TEST(AcquireCharReference, AmpersandInEveryCase) {
    ExpectDecodes("&amp;", 5, 38);
    ExpectDecodes("&AMP;", 5, 38);
    ExpectDecodes("&Amp;", 5, 38);
    ExpectDecodes("&amp;rest of the page", 5, 38);
}

TEST(AcquireCharReference, CountIncludesLeadingWhiteSpace) {
    ExpectDecodes("  &lt;", 6, 60);
    ExpectDecodes("\t\r\n&gt;x", 7, 62);
}

TEST(AcquireCharReference, NumericDecimalAndHex) {
    ExpectDecodes("&#65;", 5, 65);
    ExpectDecodes("&#x41;", 6, 65);
    ExpectDecodes("&#X41;", 6, 65);
    ExpectDecodes("&#65abc;", 8, 65);
    ExpectDecodes("&#252;", 6, 252);
    ExpectDecodes("&#xFC;", 6, 252);
    ExpectDecodes("&#xfc;", 6, 252);
}

TEST(AcquireCharReference, NumericKeepsLowEightBits) {
    ExpectDecodes("&#321;", 6, 65);
    ExpectDecodes("&#x141;", 7, 65);
    ExpectDecodes("&#0;", 4, 0);
    ExpectDecodes("&#256;", 6, 0);
    ExpectDecodes("&#4294967295;", 13, 255);
}

TEST(AcquireCharReference, NumericReadLikeThe32BitUnsignedConversion) {
    // Overflow saturates to 0xFFFFFFFF, whatever a 64-bit long would give.
    ExpectDecodes("&#4294967296;", 13, 255);
    ExpectDecodes("&#99999999999999999999;", 23, 255);
    ExpectDecodes("&#x100000041;", 13, 255);
    // Base 16 takes blanks, a sign and a 0x prefix; a minus sign negates.
    ExpectDecodes("&#x 41;", 7, 65);
    ExpectDecodes("&#x+41;", 7, 65);
    ExpectDecodes("&#x0x41;", 8, 65);
    ExpectDecodes("&#X0X41;", 8, 65);
    ExpectDecodes("&#x-41;", 7, 0xBF);
    ExpectDecodes("&#x-1;", 6, 0xFF);
    ExpectDecodes("&#x0xg;", 7, 0);
    ExpectDecodes("&#xg;", 5, 0);
    ExpectDecodes("&#x;", 4, 0);
}

TEST(AcquireCharReference, NumericFailures) {
    ExpectFails("&#;");
    ExpectFails("&#q;");
    ExpectFails("&# 65;");
    ExpectFails("&#-65;");
    ExpectFails("&#65");
}

TEST(AcquireCharReference, AccentedLettersKeepTheirFirstLetter) {
    ExpectDecodes("&Uuml;", 6, 220);
    ExpectDecodes("&uuml;", 6, 252);
    ExpectDecodes("&OUML;", 6, 214);
    ExpectDecodes("&EACUTE;", 8, 201);
    ExpectDecodes("&eACUTE;", 8, 233);
    ExpectDecodes("&Ccedil;", 8, 199);
    ExpectDecodes("&ARING;", 7, 197);
    ExpectDecodes("&nTILDE;", 8, 241);
    // The rule keeps the capital, and "Yuml" is not a name of the table.
    ExpectFails("&Yuml;");
    ExpectDecodes("&yuml;", 6, 255);
}

TEST(AcquireCharReference, EthThornOslashAElig) {
    ExpectDecodes("&ETH;", 5, 208);
    ExpectDecodes("&Eth;", 5, 208);
    ExpectDecodes("&eth;", 5, 240);
    ExpectDecodes("&eTH;", 5, 240);
    ExpectDecodes("&THORN;", 7, 222);
    ExpectDecodes("&Thorn;", 7, 222);
    ExpectDecodes("&thorn;", 7, 254);
    ExpectDecodes("&tHORN;", 7, 254);
    ExpectDecodes("&Oslash;", 8, 216);
    ExpectDecodes("&OSLASH;", 8, 216);
    ExpectDecodes("&oslash;", 8, 248);
    ExpectDecodes("&oSLASH;", 8, 248);
    ExpectDecodes("&AElig;", 7, 198);
    ExpectDecodes("&AELIG;", 7, 198);
    ExpectDecodes("&aelig;", 7, 230);
    ExpectDecodes("&aElig;", 7, 230);
}

TEST(AcquireCharReference, OtherNamesAreLowerCased) {
    ExpectDecodes("&NBSP;", 6, 160);
    ExpectDecodes("&Nbsp;", 6, 160);
    ExpectDecodes("&SZLIG;", 7, 223);
    ExpectDecodes("&Times;", 7, 215);
    ExpectDecodes("&UML;", 5, 168);
    ExpectDecodes("&Acute;", 7, 180);
    ExpectDecodes("&Cedil;", 7, 184);
    ExpectDecodes("&QUOT;", 6, 34);
}

TEST(AcquireCharReference, CurrencySignIsCurrent) {
    ExpectDecodes("&current;", 9, 164);
    ExpectFails("&curren;");
    ExpectDecodes("&apos;", 6, 39);
}

TEST(AcquireCharReference, NameRunsToTheFirstSemicolon) {
    ExpectFails("&lt");
    ExpectFails("&amp");
    ExpectFails("&lt and more;");
    ExpectDecodes("&lt;&gt", 4, 60);
    ExpectFails("& amp;");
    ExpectFails("&amp ;");
    ExpectFails("&<b>;");
}

TEST(AcquireCharReference, TooShortOrNotAtAnAmpersand) {
    ExpectFails("&a;");
    ExpectFails("&;");
    ExpectFails(";");
    ExpectFails("");
    ExpectFails("amp;");
    ExpectFails("x&amp;");
    ExpectFails("&unknown;");
}

TEST(AcquireCharReference, KnowsExactlyTheTableNames) {
    const std::vector<std::pair<const char*, int>> named = {{"quot", 34}, {"amp", 38}, {"apos", 39}, {"lt", 60},
                                                            {"gt", 62}};
    const char* const latin1[96] = {
        "nbsp",   "iexcl",  "cent",   "pound",  "current", "yen",    "brvbar", "sect",   "uml",    "copy",
        "ordf",   "laquo",  "not",    "shy",    "reg",     "macr",   "deg",    "plusmn", "sup2",   "sup3",
        "acute",  "micro",  "para",   "middot", "cedil",   "sup1",   "ordm",   "raquo",  "frac14", "frac12",
        "frac34", "iquest", "Agrave", "Aacute", "Acirc",   "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
        "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",  "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde",
        "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",    "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",
        "Uuml",   "Yacute", "THORN",  "szlig",  "agrave",  "aacute", "acirc",  "atilde", "auml",   "aring",
        "aelig",  "ccedil", "egrave", "eacute", "ecirc",   "euml",   "igrave", "iacute", "icirc",  "iuml",
        "eth",    "ntilde", "ograve", "oacute", "ocirc",   "otilde", "ouml",   "divide", "oslash", "ugrave",
        "uacute", "ucirc",  "uuml",   "yacute", "thorn",   "yuml"};
    std::vector<std::pair<std::string, int>> all(named.begin(), named.end());
    for (int i = 0; i < 96; ++i) all.emplace_back(latin1[i], 160 + i);
    ASSERT_EQ(all.size(), 101u);
    for (const auto& [name, code] : all) {
        const std::string text = "&" + name + ";";
        ExpectDecodes(text, static_cast<int>(text.size()), code);
    }
}

TEST(AcquireCharReference, KnownSemicolonFormAgreesAndIsBounded) {
    unsigned char out = 0;
    const char* text = "&amp; &lt;";
    EXPECT_EQ(DecodeCharReference(text, text + 4, out), 5u);
    EXPECT_EQ(out, 38);
    out = 0x5A;
    EXPECT_EQ(DecodeCharReference(text, nullptr, out), 0u);
    EXPECT_EQ(out, 0x5A);
}

}  // namespace

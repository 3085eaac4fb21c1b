#include "app/association_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

namespace {

std::string Folded(const char* s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

TEST(AssociationTable, LookupsByCodeAreExact) {
    EXPECT_EQ(FindAssociationIndex("ger"), 58);
    EXPECT_EQ(FindAssociationIndex("alb"), 0);
    EXPECT_EQ(FindAssociationIndex("zim"), 166);
    EXPECT_EQ(FindAssociationIndex("usa"), 159);
    EXPECT_EQ(FindAssociationIndex("mkd"), 54);
    EXPECT_EQ(FindAssociationIndex("GER"), -1);
    EXPECT_EQ(FindAssociationIndex("Ger"), -1);
    EXPECT_EQ(FindAssociationIndex(""), -1);
    EXPECT_EQ(FindAssociationIndex("xyz"), -1);
    EXPECT_EQ(FindAssociationIndex("ge"), -1);
    EXPECT_EQ(FindAssociationIndex(nullptr), -1);
}

TEST(AssociationTable, CodeAtIndexAndNameForCode) {
    EXPECT_STREQ(AssociationCodeAt(0), "alb");
    EXPECT_STREQ(AssociationCodeAt(58), "ger");
    EXPECT_STREQ(AssociationCodeAt(166), "zim");
    EXPECT_EQ(AssociationCodeAt(-1), nullptr);
    EXPECT_EQ(AssociationCodeAt(167), nullptr);
    EXPECT_STREQ(AssociationNameForCode("ger"), "Germany");
    EXPECT_STREQ(AssociationNameForCode("civ"), "Cote d'Ivoire");
    EXPECT_STREQ(AssociationNameForCode("skn"), "St. Kitts and Nevis");
    EXPECT_STREQ(AssociationNameForCode("GER"), "");
}

TEST(AssociationTable, ShapeOrderAndTerminator) {
    int count = 0;
    std::set<std::string> codes;
    for (const AssociationEntry* e = AssociationTable; e->name != nullptr; ++e, ++count) {
        ASSERT_NE(e->code, nullptr);
        ASSERT_EQ(std::strlen(e->code), 3u) << e->code;
        for (int k = 0; k < 3; ++k) EXPECT_TRUE(e->code[k] >= 'a' && e->code[k] <= 'z') << e->code;
        EXPECT_TRUE(codes.insert(e->code).second) << "duplicate " << e->code;
        for (const char* c = e->name; *c; ++c) EXPECT_LT(static_cast<unsigned char>(*c), 0x80) << e->name;
        if (count > 0) {
            EXPECT_LT(Folded(e[-1].name), Folded(e->name)) << e[-1].name << " / " << e->name;
        }
    }
    EXPECT_EQ(count, 167);
    EXPECT_EQ(count, kAssociationCount);
    EXPECT_EQ(AssociationTable[167].code, nullptr);
    // The case-insensitive order puts these where a plain byte order would not.
    EXPECT_LT(FindAssociationIndex("fra"), FindAssociationIndex("mkd"));
    EXPECT_LT(FindAssociationIndex("uru"), FindAssociationIndex("usa"));
}

}  // namespace

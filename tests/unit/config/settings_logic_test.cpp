#include "config/settings_logic.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "acquire/standings_table.h"
#include "app/association_table.h"
#include "app/product.h"

namespace {

TEST(SettingsList, PositionForCodeIsAnExactMatchElseTheFirstName) {
    EXPECT_EQ(PositionForCode("ger"), 58);
    EXPECT_EQ(PositionForCode("alb"), 0);
    EXPECT_EQ(PositionForCode("usa"), 159);
    EXPECT_EQ(PositionForCode("mkd"), 54);
    EXPECT_EQ(PositionForCode("zim"), 166);
    EXPECT_EQ(PositionForCode("GER"), 0);
    EXPECT_EQ(PositionForCode("Ger"), 0);
    EXPECT_EQ(PositionForCode(""), 0);
    EXPECT_EQ(PositionForCode("xyz"), 0);
    EXPECT_EQ(PositionForCode("ge"), 0);
    EXPECT_EQ(PositionForCode("gerx"), 0);
    EXPECT_EQ(PositionForCode(" ger"), 0);
    EXPECT_EQ(PositionForCode(std::string("ger\0", 4)), 0);
}

TEST(SettingsList, CodeForPositionReadsOnlyInsideTheTable) {
    std::string code = "ger";
    EXPECT_TRUE(CodeForPosition(159, code));
    EXPECT_EQ(code, "usa");
    EXPECT_TRUE(CodeForPosition(54, code));
    EXPECT_EQ(code, "mkd");
    EXPECT_TRUE(CodeForPosition(166, code));
    EXPECT_EQ(code, "zim");
    EXPECT_TRUE(CodeForPosition(0, code));
    EXPECT_EQ(code, "alb");

    code = "GER";
    for (int bad : {-1, 167, 168, INT_MIN, INT_MAX}) {
        EXPECT_FALSE(CodeForPosition(bad, code)) << bad;
        EXPECT_EQ(code, "GER") << bad;
    }
}

TEST(SettingsList, EveryCodeSurvivesTheRoundTrip) {
    int count = 0;
    for (const AssociationEntry* e = AssociationTable; e->name != nullptr; ++e, ++count) {
        std::string code;
        ASSERT_TRUE(CodeForPosition(PositionForCode(e->code), code));
        EXPECT_EQ(code, e->code);
        EXPECT_EQ(PositionForCode(e->code), count);
    }
    EXPECT_EQ(count, 167);
}

TEST(SettingsList, TypedCharacterMovesToTheNextNameWithThatLetter) {
    // Uganda, Ukraine, United Arab Emirates, Uruguay, USA, Uzbekistan, then around.
    int position = 58;
    const int expected[] = {155, 156, 157, 158, 159, 160, 155};
    for (int want : expected) {
        position = PositionForTypedCharacter(position, 'u');
        EXPECT_EQ(position, want);
    }
    EXPECT_EQ(PositionForTypedCharacter(0, 'U'), 155);
    EXPECT_EQ(PositionForTypedCharacter(0, 'z'), 165);
    EXPECT_EQ(PositionForTypedCharacter(165, 'z'), 166);
    EXPECT_EQ(PositionForTypedCharacter(166, 'Z'), 165);
    EXPECT_EQ(PositionForTypedCharacter(166, 'a'), 0);
    EXPECT_EQ(PositionForTypedCharacter(-1, 'a'), 0);
    EXPECT_EQ(PositionForTypedCharacter(-1, 'g'), 55);
    // No name starts with x or a digit: the selection stays.
    EXPECT_EQ(PositionForTypedCharacter(58, 'x'), 58);
    EXPECT_EQ(PositionForTypedCharacter(58, '1'), 58);
    // An out-of-range current position searches from the start.
    EXPECT_EQ(PositionForTypedCharacter(500, 'b'), 11);
}

TEST(SettingsTexts, InformationBlockIsFiveLinesWithSingleLineFeeds) {
    const std::string text = InfoBlockText();
    EXPECT_EQ(text, std::string("Scorvane\nRelease 2.4, July 01 2009\n\nTarnwick Team\n") + kMakerAddress);
    EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(SettingsTexts, ColoursAreWindowsColourValues) {
    EXPECT_EQ(kOkButtonSkin.captionColor, 0xFFFF00u);
    EXPECT_EQ(kCancelButtonSkin.captionColor, 0xFFu);
    EXPECT_EQ(kChampionshipCaptionColor, 0xFFFFu);
    EXPECT_EQ(kInfoTextColor, 0xFF00u);
}

TEST(SettingsTexts, BallButtonsShareTheMaskAndDrawOneToOne) {
    for (const BallButtonSkin* s : {&kOkButtonSkin, &kCancelButtonSkin}) {
        EXPECT_EQ(s->maskId, 138);
        EXPECT_EQ(s->drawMode, 0);
        EXPECT_EQ(s->border, 0);
        EXPECT_EQ(s->focusMargin, 0);
        EXPECT_EQ(s->disabledId, 0);
        EXPECT_EQ(s->focusId, 0);
    }
    EXPECT_EQ(kOkButtonSkin.controlId, 1);
    EXPECT_STREQ(kOkButtonSkin.tooltip, "OK button");
    EXPECT_EQ(kOkButtonSkin.normalId, 143);
    EXPECT_EQ(kOkButtonSkin.pressedId, 146);
    EXPECT_EQ(kOkButtonSkin.overId, 147);
    EXPECT_EQ(kCancelButtonSkin.controlId, 2);
    EXPECT_STREQ(kCancelButtonSkin.tooltip, "Cancel button");
    EXPECT_EQ(kCancelButtonSkin.normalId, 148);
    EXPECT_EQ(kCancelButtonSkin.pressedId, 154);
    EXPECT_EQ(kCancelButtonSkin.overId, 155);
}

}  // namespace

TEST(SettingsRotation, PositionsAndValueKeepTheUsersOrderWhenNothingChanged) {
    const int eng = FindAssociationIndex("eng"), esp = FindAssociationIndex("esp"), ger = FindAssociationIndex("ger");
    ASSERT_LT(eng, esp);
    EXPECT_EQ(PositionsForRotation("ger, eng,xx,ger"), (std::vector<int>{eng, ger}));
    // The same leagues checked: the value stays as typed.
    EXPECT_EQ(RotationForPositions({ger, eng}, "ger, eng,xx,ger"), "ger, eng,xx,ger");
    // Changed: the codes in list order (England, Germany, Spain).
    EXPECT_EQ(RotationForPositions({ger, esp, eng}, "ger,eng"), "eng,ger,esp");
    EXPECT_EQ(RotationForPositions({}, "ger,eng"), "");
    EXPECT_EQ(RotationForPositions({}, ""), "");
    EXPECT_EQ(RotationForPositions({-1, 100000, ger}, ""), "ger");
    EXPECT_EQ(TeamFromClubField("  Hamburger SV "), "Hamburger SV");
    EXPECT_EQ(TeamFromClubField("   "), "");
}

TEST(SettingsClubs, TheClubsOfATableInHand) {
    StandingsRow head, a, b;
    head[2] = "Club";
    a[2] = "Arsenal FC";
    b[2] = "Chelsea FC";
    theStandings.Add(head);
    theStandings.Add(a);
    theStandings.Add(b);
    EXPECT_EQ(ClubsOfLeague("eng", "eng"), (std::vector<std::string>{"Arsenal FC", "Chelsea FC"}));
    EXPECT_TRUE(ClubsOfLeague("ger", "eng").empty());
    theRotation.push_back({"ger", {}, ""});
    theRotation.back().standings.Add(head);
    theRotation.back().standings.Add(a);
    EXPECT_EQ(ClubsOfLeague("ger", "eng"), (std::vector<std::string>{"Arsenal FC"}));
    EXPECT_TRUE(ClubsOfLeague("eng", "eng").empty());  // a rotation: the single table is not the board's
    theRotation.clear();
    theStandings.RemoveAll();
}

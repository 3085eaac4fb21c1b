#include "acquire/team_match.h"

#include <gtest/gtest.h>

#include "acquire/standings_table.h"

namespace {

StandingsTable Clubs(std::initializer_list<const char*> names) {
    StandingsTable table;
    StandingsRow head;
    head[2] = "Club";
    table.Add(head);
    for (const char* name : names) {
        StandingsRow row;
        row[2] = name;
        table.Add(row);
    }
    return table;
}

}  // namespace

TEST(TeamMatch, WholeWordsInAnyCaseIncludingLatin1Letters) {
    // \xFC is u with diaeresis, \xDC its capital.
    const StandingsTable table = Clubs({"Bayer 04 Leverkusen", "FC Bayern M\xFCnchen", "Arsenal FC", "1. FC K\xF6ln"});
    EXPECT_EQ(FindTeam(table, "Arsenal").row, 3);
    EXPECT_EQ(FindTeam(table, "bayern").row, 2);
    EXPECT_EQ(FindTeam(table, "BAYERN M\xDCNCHEN").row, 2);
    EXPECT_EQ(FindTeam(table, "  fc   k\xD6LN ").row, 4);
    EXPECT_EQ(FindTeam(table, "Bayer").row, 1);  // a word, not the start of "Bayern"
    EXPECT_EQ(FindTeam(table, "Club").row, -1);  // the header is no club
    EXPECT_EQ(FindTeam(table, "Arsen").row, -1);
    EXPECT_EQ(FindTeam(table, "FC Arsenal").row, -1);  // the words in their order
    EXPECT_EQ(FindTeam(table, " - ").clubs.size(), 0u);
}

TEST(TeamMatch, SeveralClubsPickNoneAndAreNamed) {
    const StandingsTable table = Clubs({"Manchester United FC", "Arsenal FC", "Newcastle United FC"});
    const TeamMatch several = FindTeam(table, "united");
    EXPECT_EQ(several.row, -1);
    EXPECT_EQ(DescribeTeamMatch(several, "united"),
              "'united' matches 2 clubs: Manchester United FC, Newcastle United FC; none is picked out");
    EXPECT_EQ(DescribeTeamMatch(FindTeam(table, "Chelsea"), "Chelsea"), "'Chelsea' matches no club");
    EXPECT_EQ(DescribeTeamMatch(FindTeam(table, "arsenal fc"), "arsenal fc"), "Arsenal FC");
}

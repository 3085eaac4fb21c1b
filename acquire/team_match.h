#pragma once
// Which row of a table is the user's own club.

#include <string>
#include <vector>

class StandingsTable;

struct TeamMatch {
    int row = -1;                    // the one matching row, -1 when none or several
    std::vector<std::string> clubs;  // the names of every row that matched
};

// `team` matches a club when its words, compared without regard to case
// (ISO 8859-1 letters included), stand one after the other as whole words
// in the club's name: "Arsenal" matches "Arsenal FC", "bayern münchen"
// matches "FC Bayern München", "Bayer" matches neither. The header row is
// no club. A team without a word matches nothing.
TeamMatch FindTeam(const StandingsTable& table, const std::string& team);

// What the match means for the user, in ISO 8859-1: the club picked out, or
// why none is ("'Bayer' matches no club", "'United' matches 2 clubs:
// Manchester United, Newcastle United; none is picked out").
std::string DescribeTeamMatch(const TeamMatch& match, const std::string& team);

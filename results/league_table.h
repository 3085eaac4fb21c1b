#pragma once
// A league table from match results: 3 points a win, 1 a draw, point
// adjustments from outside the results, and each league's own order of
// tie-breakers.

#include <string>
#include <vector>

#include "results/match_results.h"

// What decides between clubs level on points, in the order a league applies
// them; the club's name is always the last, stable key.
enum class TieBreak {
    GoalDifference,
    GoalsFor,
    HeadToHeadPoints,          // among the clubs level on points only
    HeadToHeadGoalDifference,  // the same games
};

// Leagues that split into two groups after a regular season. Each club's
// first `regularGames` games in the results (fixtures included) are the
// regular season; the clubs ranked 1 to `topGroup` after it play out the top
// group and stay above every club of the other group, whatever their points.
struct LeagueSplit {
    int regularGames = 0;  // 0: no split
    int topGroup = 0;
    // Regular-season points halved, a half point dropped; level on points
    // at the end, a club that lost a half point ranks first.
    bool halvePoints = false;
};

struct LeagueRules {
    const char* league;  // results file name without ".json": "es.1"
    std::vector<TieBreak> order;
    LeagueSplit split = {};
};

// The rules of a league; leagues not listed rank by goal difference, then
// goals scored.
const LeagueRules& RulesForLeague(const std::string& league);

struct PointAdjustment {
    std::string team;  // exactly as in the results
    int points = 0;    // signed
    std::string note;
};

struct TableRow {
    std::string team;  // UTF-8, as in the results
    int played = 0, won = 0, drawn = 0, lost = 0, goalsFor = 0, goalsAgainst = 0;
    int adjustment = 0;  // already in points
    int points = 0;
    int GoalDifference() const { return goalsFor - goalsAgainst; }
};

// Every team of the results in table order, those without a game with
// zeros. An adjustment naming a team the results do not have is an error.
// A split league is ranked in its groups only once every regular-season game
// has been played; before that the table is the regular season's so far.
bool ComputeTable(const SeasonResults& results, const LeagueRules& rules,
                  const std::vector<PointAdjustment>& adjustments, std::vector<TableRow>& table, std::string& error);

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

struct LeagueRules {
    const char* league;  // results file name without ".json": "es.1"
    std::vector<TieBreak> order;
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
bool ComputeTable(const SeasonResults& results, const LeagueRules& rules,
                  const std::vector<PointAdjustment>& adjustments, std::vector<TableRow>& table, std::string& error);

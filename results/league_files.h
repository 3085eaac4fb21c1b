#pragma once
// The small text files around the results: which league file an association
// code reads, point adjustments, and shorter names for the board. All are
// UTF-8, one entry a line, comma-separated, "#" starting a comment line.

#include <map>
#include <string>
#include <vector>

#include "results/league_table.h"

struct LeagueMapping {
    std::string code;    // association code of the saver: "eng"
    std::string league;  // results file name without ".json": "en.1"
};

// eng en.1, ger de.1, ... and the calendar-year leagues.
const std::vector<LeagueMapping>& DefaultLeagueMap();

// "code,league" lines; a later line for a code replaces the earlier one and
// a line "code," takes the code out. Errors name the line.
bool ParseLeagueMap(const std::string& text, std::vector<LeagueMapping>& map, std::string& error);

struct SeasonAdjustment {
    std::string code;
    std::string season;  // folder name: "2023-24"
    PointAdjustment adjustment;
    int line = 0;
};

// "code,season,team,points,note" lines.
bool ParseAdjustments(const std::string& text, std::vector<SeasonAdjustment>& out, std::string& error);

// "team,display name" lines.
bool ParseDisplayNames(const std::string& text, std::map<std::string, std::string>& out, std::string& error);

// "2023-24" or "2025": the season's first year, or -1 for another name.
int SeasonStartYear(const std::string& folder);

#include "acquire/standings_table.h"

StandingsTable theStandings;
std::vector<LeagueStandings> theRotation;

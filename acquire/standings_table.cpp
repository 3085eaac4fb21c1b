#include "acquire/standings_table.h"

StandingsTable theStandings;

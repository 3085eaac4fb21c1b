#pragma once
// What must hold for any results file handed to `scorvane publish` and
// `scorvane serve --results`: it is refused with a reason that says where,
// leaving nothing behind, or its table adds up under every league's rules
// and the page made of it downloads back into exactly its rows. Shared by
// the fuzz target and the replay test.

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "acquire/fetch_standings.h"
#include "acquire/standings_extractor.h"
#include "acquire/standings_table.h"
#include "fuzz/acquire_invariants.h"
#include "fuzz/check.h"
#include "app/latin1.h"
#include "results/league_table.h"
#include "results/match_results.h"
#include "tools/league_site.h"

namespace fuzzcheck {

inline Verdict CheckResultsJson(const std::uint8_t* data, std::size_t size) {
    Verdict v;
    const std::string json(reinterpret_cast<const char*>(data), size);
    SeasonResults results;
    std::string error;
    if (!ParseSeasonResults(json, results, error)) {
        const bool placed = error.compare(0, 5, "line ") == 0 || error.compare(0, 6, "match ") == 0 ||
                            error == "no matches" || error.compare(0, 8, "neither ") == 0 ||
                            error.compare(0, 10, "more than ") == 0 || error == "a round without a list of matches" ||
                            error.compare(0, 12, "larger than ") == 0;
        v.Check(placed, [&] { return "a refusal that does not say where: " + Show(error); });
        v.Expect(results.teams.empty() && results.matches.empty() && results.name.empty(),
                 "a refused file left results behind");
        return v;
    }
    v.Expect(!results.teams.empty() && results.teams.size() <= kMaxTeams, "team count out of bounds");
    for (const std::string& t : results.teams) {
        v.Check(!t.empty() && t.size() <= kMaxTeamNameBytes, [&] { return "a team name out of bounds: " + Show(t); });
        for (unsigned char c : t) v.Check(c >= 0x20 && c != 0x7F, [&] { return "a control byte in " + Show(t); });
    }
    int played = 0;
    for (const MatchResult& m : results.matches) played += m.played ? 1 : 0;
    if (!v.ok()) return v;

    // Austria splits and halves: its points are neither 3W + D nor in order
    // once the groups play, but its games still add up.
    for (const char* league : {"en.1", "es.1", "at.1"}) {
        const bool split = RulesForLeague(league).split.regularGames > 0;
        std::vector<TableRow> table;
        if (!v.Check(ComputeTable(results, RulesForLeague(league), {}, table, error),
                     [&] { return "no table: " + error; })) return v;
        v.Expect(table.size() == results.teams.size(), "the table lost or gained a team");
        std::set<std::string> seen;
        int games = 0, won = 0, lost = 0, goalsFor = 0, goalsAgainst = 0;
        for (std::size_t i = 0; i < table.size(); ++i) {
            const TableRow& r = table[i];
            v.Check(seen.insert(r.team).second, [&] { return "a team twice: " + Show(r.team); });
            v.Check(r.won + r.drawn + r.lost == r.played, [&] { return "W + D + L is not P for " + Show(r.team); });
            v.Check(split || r.points == 3 * r.won + r.drawn,
                    [&] { return "points are not 3W + D for " + Show(r.team); });
            v.Expect(split || i == 0 || table[i - 1].points >= r.points, "the table is not ordered by points");
            games += r.played;
            won += r.won;
            lost += r.lost;
            goalsFor += r.goalsFor;
            goalsAgainst += r.goalsAgainst;
        }
        v.Expect(games == 2 * played && won == lost && goalsFor == goalsAgainst, "the table does not add up");
        if (!v.ok()) return v;
    }

    // The page of the table, downloaded the saver's way.
    std::vector<TableRow> table;
    ComputeTable(results, RulesForLeague("it.1"), {}, table, error);
    League page;
    page.code = "ita";
    page.association = "Italy";
    page.competition = TransliterateToLatin1(results.name);
    for (const TableRow& r : table) {
        LeagueTeam row;
        row.position = std::to_string(page.teams.size() + 1) + ".";
        row.name = TransliterateToLatin1(r.team);
        row.figures = {std::to_string(r.played),   std::to_string(r.won),      std::to_string(r.drawn),
                       std::to_string(r.lost),     std::to_string(r.goalsFor), std::to_string(r.goalsAgainst),
                       std::to_string(r.goalsFor - r.goalsAgainst), std::to_string(r.points)};
        page.teams.push_back(row);
    }
    theStandings.RemoveAll();
    StandingsExtractor::ResetSharedState();
    FixedBodyClient client(RenderStandingsPage(page));
    v.Expect(FetchStandings(client, "http://standings.invalid/"), "the page did not download");
    if (v.Expect(theStandings.GetSize() == static_cast<int>(page.teams.size()) + 1, "rows lost on the page")) {
        for (std::size_t t = 0; t < page.teams.size() && v.ok(); ++t) {
            const StandingsRow& row = theStandings.ElementAt(static_cast<int>(t) + 1);
            v.Check(row[2] == page.teams[t].name,
                    [&] { return "team " + std::to_string(t + 1) + " came back as " + Show(row[2])
                        + " instead of " + Show(page.teams[t].name); });
            v.Check(row[10] == page.teams[t].figures[7],
                    [&] { return "points of team " + std::to_string(t + 1) + " changed"; });
        }
    }
    theStandings.RemoveAll();
    StandingsExtractor::ResetSharedState();
    return v;
}

}  // namespace fuzzcheck

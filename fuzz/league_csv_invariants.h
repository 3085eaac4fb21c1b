#pragma once
// What must hold for any CSV file handed to `scorvane serve --data`: it is
// refused with a line-numbered reason, or every team it gives is well formed
// and the page served for it downloads back into exactly those rows. Shared
// by the fuzz target and the replay test.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "acquire/fetch_standings.h"
#include "acquire/standings_extractor.h"
#include "acquire/standings_table.h"
#include "fuzz/acquire_invariants.h"
#include "fuzz/check.h"
#include "tools/league_site.h"

namespace fuzzcheck {

inline bool WholeNumber(const std::string& s, long min, long max) {
    std::size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    if (i == s.size() || s.size() > 18) return false;
    long long value = 0;
    for (std::size_t k = i; k < s.size(); ++k) {
        if (s[k] < '0' || s[k] > '9') return false;
        value = value * 10 + (s[k] - '0');
    }
    if (s[0] == '-') value = -value;
    return value >= min && value <= max;
}

inline Verdict CheckLeagueCsv(const std::uint8_t* data, std::size_t size) {
    Verdict v;
    const std::string csv(reinterpret_cast<const char*>(data), size);
    League league;
    league.code = "ger";
    league.association = "Fuzz";
    std::string error;
    const bool ok = ParseLeagueCsv(csv, league, error);
    if (!ok) {
        std::size_t lines = 1;
        for (char c : csv) lines += c == '\n';
        bool numbered = false;
        if (error.compare(0, 5, "line ") == 0) {
            std::size_t k = 5, n = 0;
            while (k < error.size() && error[k] >= '0' && error[k] <= '9') n = n * 10 + static_cast<std::size_t>(error[k++] - '0');
            numbered = k > 5 && n >= 1 && n <= lines && error.compare(k, 2, ": ") == 0 && error.size() > k + 2;
        }
        v.Check(numbered || error == "no team lines",
                [&] { return "a refusal without a line-numbered reason: " + Show(error); });
        return v;
    }
    if (!v.Expect(!league.teams.empty(), "an accepted file without teams")) return v;
    for (std::size_t t = 0; t < league.teams.size() && v.ok(); ++t) {
        const LeagueTeam& team = league.teams[t];
        const std::string where = " in team " + std::to_string(t + 1);
        std::string position = team.position;
        if (!position.empty() && position.back() == '.') position.pop_back();
        v.Check(!position.empty() && position[0] != '+' && position[0] != '-' && WholeNumber(position, 0, 9999),
                [&] { return "a position that is no number: " + Show(team.position) + where; });
        v.Check(!team.name.empty(), [&] { return "an empty name" + where; });
        for (unsigned char c : team.name)
            v.Check(c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0),
                    [&] { return "a control byte in the name " + Show(team.name) + where; });
        for (const std::string& f : team.figures)
            v.Check(WholeNumber(f, -99999, 99999),
                    [&] { return "a figure that is no whole number: " + Show(f) + where; });
    }
    if (!v.ok()) return v;

    // The page served for the league, downloaded: the head, then the teams.
    const std::string page = RenderStandingsPage(league);
    theStandings.RemoveAll();
    StandingsExtractor::ResetSharedState();
    FixedBodyClient client(page);
    v.Expect(FetchStandings(client, "http://standings.invalid/"), "the served page did not download");
    // The table keeps the head and the first kMaxStandingsRows - 1 teams.
    const std::size_t kept = std::min(league.teams.size(), static_cast<std::size_t>(kMaxStandingsRows - 1));
    if (v.Check(theStandings.GetSize() == static_cast<int>(kept) + 1,
                [&] { return "the served page gave " + std::to_string(theStandings.GetSize()) + " rows for "
                    + std::to_string(league.teams.size()) + " teams"; })) {
        const StandingsRow& head = theStandings.ElementAt(0);
        for (int c = 0; c < 11; ++c)
            v.Check(head[c] == (c == 1 ? std::string() : std::string(kLeagueHeaderTexts[c])),
                    [&] { return "head cell " + std::to_string(c) + " is " + Show(head[c]); });
        for (std::size_t t = 0; t < kept && v.ok(); ++t) {
            const LeagueTeam& team = league.teams[t];
            const StandingsRow& row = theStandings.ElementAt(static_cast<int>(t) + 1);
            std::vector<std::string> expected = {team.position, "", team.name};
            expected.insert(expected.end(), team.figures.begin(), team.figures.end());
            for (int c = 0; c < 11; ++c)
                v.Check(row[c] == expected[static_cast<std::size_t>(c)],
                        [&] { return "team " + std::to_string(t + 1) + " cell " + std::to_string(c)
                            + " came back as " + Show(row[c]) + " instead of " + Show(expected[static_cast<std::size_t>(c)]); });
        }
    }
    theStandings.RemoveAll();
    StandingsExtractor::ResetSharedState();
    return v;
}

}  // namespace fuzzcheck

#include "results/league_table.h"

#include <algorithm>
#include <map>

namespace {

const std::vector<LeagueRules>& AllRules() {
    // Spain and Italy settle a tie on points by the games between the clubs
    // concerned before looking at the whole season. Belgium's play-offs, with
    // their own halving and groups, are not modelled: it ranks over all games.
    static const std::vector<LeagueRules> rules = {
        {"", {TieBreak::GoalDifference, TieBreak::GoalsFor}},
        {"es.1", {TieBreak::HeadToHeadPoints, TieBreak::HeadToHeadGoalDifference, TieBreak::GoalDifference,
                  TieBreak::GoalsFor}},
        {"it.1", {TieBreak::HeadToHeadPoints, TieBreak::HeadToHeadGoalDifference, TieBreak::GoalDifference,
                  TieBreak::GoalsFor}},
        // Austria halves the points after 22 games; past goal difference and
        // goals the league looks at wins, away wins and head-to-head, which
        // this table leaves to the name.
        {"at.1", {TieBreak::GoalDifference, TieBreak::GoalsFor}, {22, 6, true}},
        {"sco.1", {TieBreak::GoalDifference, TieBreak::GoalsFor}, {33, 6, false}},
    };
    return rules;
}

struct HeadToHead {
    int points = 0;
    int goalDifference = 0;
};

void Count(TableRow& row, int scored, int conceded) {
    ++row.played;
    row.goalsFor += scored;
    row.goalsAgainst += conceded;
    if (scored > conceded) ++row.won;
    else if (scored == conceded) ++row.drawn;
    else ++row.lost;
}

// Where a club stands apart from its points in a split league.
struct Standing {
    int group = 0;  // 0 the top group
    bool lostHalf = false;
};

// The rows of the played games `counted` marks, points without adjustments.
std::vector<TableRow> CountRows(const SeasonResults& results, const std::map<std::string, std::size_t>& index,
                                const std::vector<bool>& counted) {
    std::vector<TableRow> rows;
    for (const std::string& team : results.teams) rows.push_back(TableRow{team});
    for (std::size_t i = 0; i < results.matches.size(); ++i) {
        const MatchResult& m = results.matches[i];
        if (!m.played || !counted[i]) continue;
        Count(rows[index.at(m.home)], m.homeGoals, m.awayGoals);
        Count(rows[index.at(m.away)], m.awayGoals, m.homeGoals);
    }
    for (TableRow& r : rows) r.points = 3 * r.won + r.drawn;
    return rows;
}

// Which games belong to the regular season, or nothing while the league is
// not split yet: not every club has its regular games listed and played.
// Counting games rather than reading round names copes with both the
// "Matchday 33" and the "33. Round" naming, and a postponed game keeps its
// place in the list.
std::vector<bool> RegularSeason(const SeasonResults& results, const std::map<std::string, std::size_t>& index,
                                const LeagueSplit& split) {
    if (split.regularGames <= 0) return {};
    std::vector<int> games(results.teams.size(), 0);
    std::vector<bool> regular(results.matches.size(), false);
    for (std::size_t i = 0; i < results.matches.size(); ++i) {
        const MatchResult& m = results.matches[i];
        int& home = games[index.at(m.home)];
        int& away = games[index.at(m.away)];
        if (home >= split.regularGames || away >= split.regularGames) continue;
        if (!m.played) return {};
        regular[i] = true;
        ++home;
        ++away;
    }
    for (int g : games) {
        if (g != split.regularGames) return {};
    }
    return regular;
}

// Table order of `rows`; head-to-head records come from the games `counted`
// marks, and a split league's groups and dropped half points come first.
std::vector<std::size_t> Order(const std::vector<TableRow>& rows, const SeasonResults& results,
                               const std::map<std::string, std::size_t>& index, const std::vector<bool>& counted,
                               const LeagueRules& rules, const std::vector<Standing>& standing) {
    // The games among the clubs of each group level on points.
    std::vector<HeadToHead> h2h(rows.size());
    const bool usesHeadToHead =
        std::any_of(rules.order.begin(), rules.order.end(), [](TieBreak t) {
            return t == TieBreak::HeadToHeadPoints || t == TieBreak::HeadToHeadGoalDifference;
        });
    if (usesHeadToHead) {
        for (std::size_t i = 0; i < results.matches.size(); ++i) {
            const MatchResult& m = results.matches[i];
            if (!m.played || !counted[i]) continue;
            const std::size_t h = index.at(m.home), a = index.at(m.away);
            if (rows[h].points != rows[a].points) continue;
            const int diff = m.homeGoals - m.awayGoals;
            h2h[h].goalDifference += diff;
            h2h[a].goalDifference -= diff;
            h2h[h].points += diff > 0 ? 3 : diff == 0 ? 1 : 0;
            h2h[a].points += diff < 0 ? 3 : diff == 0 ? 1 : 0;
        }
    }

    std::vector<std::size_t> order(rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) {
        const TableRow& a = rows[x];
        const TableRow& b = rows[y];
        if (!standing.empty() && standing[x].group != standing[y].group) return standing[x].group < standing[y].group;
        if (a.points != b.points) return a.points > b.points;
        if (!standing.empty() && standing[x].lostHalf != standing[y].lostHalf) return standing[x].lostHalf;
        for (TieBreak t : rules.order) {
            int ka = 0, kb = 0;
            switch (t) {
                case TieBreak::GoalDifference: ka = a.GoalDifference(); kb = b.GoalDifference(); break;
                case TieBreak::GoalsFor: ka = a.goalsFor; kb = b.goalsFor; break;
                case TieBreak::HeadToHeadPoints: ka = h2h[x].points; kb = h2h[y].points; break;
                case TieBreak::HeadToHeadGoalDifference: ka = h2h[x].goalDifference; kb = h2h[y].goalDifference; break;
            }
            if (ka != kb) return ka > kb;
        }
        return a.team < b.team;
    });
    return order;
}

}  // namespace

const LeagueRules& RulesForLeague(const std::string& league) {
    for (const LeagueRules& r : AllRules()) {
        if (league == r.league) return r;
    }
    return AllRules().front();
}

bool ComputeTable(const SeasonResults& results, const LeagueRules& rules,
                  const std::vector<PointAdjustment>& adjustments, std::vector<TableRow>& table, std::string& error) {
    std::map<std::string, std::size_t> index;
    for (const std::string& team : results.teams) index.emplace(team, index.size());
    std::vector<int> adjustment(results.teams.size(), 0);
    for (const PointAdjustment& a : adjustments) {
        const auto found = index.find(a.team);
        if (found == index.end()) {
            error = "no team \"" + a.team + "\" in the results";
            return false;
        }
        adjustment[found->second] += a.points;
    }
    std::vector<bool> all(results.matches.size(), true);
    std::vector<TableRow> rows = CountRows(results, index, all);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i].adjustment = adjustment[i];
        rows[i].points = 3 * rows[i].won + rows[i].drawn + adjustment[i];
    }
    std::vector<Standing> standing(rows.size());

    const std::vector<bool> regular = RegularSeason(results, index, rules.split);
    if (!regular.empty()) {
        // Adjustments carry no date: they count in the final points, not in
        // the table that draws the groups.
        const std::vector<TableRow> before = CountRows(results, index, regular);
        const std::vector<std::size_t> order = Order(before, results, index, regular, rules, {});
        std::vector<bool> group(results.matches.size());
        for (std::size_t i = 0; i < group.size(); ++i) group[i] = !regular[i];
        const std::vector<TableRow> after = CountRows(results, index, group);
        for (std::size_t place = 0; place < order.size(); ++place) {
            const std::size_t i = order[place];
            standing[i].group = static_cast<int>(place) < rules.split.topGroup ? 0 : 1;
            if (!rules.split.halvePoints) continue;
            standing[i].lostHalf = before[i].points % 2 != 0;
            rows[i].points = before[i].points / 2 + 3 * after[i].won + after[i].drawn + adjustment[i];
        }
    }

    table.clear();
    for (std::size_t i : Order(rows, results, index, all, rules, standing)) table.push_back(rows[i]);
    return true;
}

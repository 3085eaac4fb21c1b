#include "results/league_table.h"

#include <algorithm>
#include <map>

namespace {

const std::vector<LeagueRules>& AllRules() {
    // Spain and Italy settle a tie on points by the games between the clubs
    // concerned before looking at the whole season.
    static const std::vector<LeagueRules> rules = {
        {"", {TieBreak::GoalDifference, TieBreak::GoalsFor}},
        {"es.1", {TieBreak::HeadToHeadPoints, TieBreak::HeadToHeadGoalDifference, TieBreak::GoalDifference,
                  TieBreak::GoalsFor}},
        {"it.1", {TieBreak::HeadToHeadPoints, TieBreak::HeadToHeadGoalDifference, TieBreak::GoalDifference,
                  TieBreak::GoalsFor}},
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
    std::vector<TableRow> rows;
    for (const std::string& team : results.teams) {
        index.emplace(team, rows.size());
        rows.push_back(TableRow{team});
    }
    for (const MatchResult& m : results.matches) {
        if (!m.played) continue;
        Count(rows[index.at(m.home)], m.homeGoals, m.awayGoals);
        Count(rows[index.at(m.away)], m.awayGoals, m.homeGoals);
    }
    for (const PointAdjustment& a : adjustments) {
        const auto found = index.find(a.team);
        if (found == index.end()) {
            error = "no team \"" + a.team + "\" in the results";
            return false;
        }
        rows[found->second].adjustment += a.points;
    }
    for (TableRow& r : rows) r.points = 3 * r.won + r.drawn + r.adjustment;

    // The games among the clubs of each group level on points.
    std::vector<HeadToHead> h2h(rows.size());
    const bool usesHeadToHead =
        std::any_of(rules.order.begin(), rules.order.end(), [](TieBreak t) {
            return t == TieBreak::HeadToHeadPoints || t == TieBreak::HeadToHeadGoalDifference;
        });
    if (usesHeadToHead) {
        for (const MatchResult& m : results.matches) {
            if (!m.played) continue;
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
        if (a.points != b.points) return a.points > b.points;
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
    table.clear();
    for (std::size_t i : order) table.push_back(rows[i]);
    return true;
}

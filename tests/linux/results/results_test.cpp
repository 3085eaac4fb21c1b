// Tables from the real finished seasons of the fixtures, checked against the
// final tables the leagues published, and the reader's refusals.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

#include "acquire/fetch_standings.h"
#include "acquire/standings_extractor.h"
#include "acquire/standings_table.h"
#include "app/latin1.h"
#include "results/league_files.h"
#include "results/league_table.h"
#include "results/match_results.h"
#include "tools/league_site.h"
#include "tools/tool_util.h"

namespace {

std::string ReadFixture(const std::string& name) {
    std::ifstream in(std::string(SCORVANE_FIXTURES_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// "team P W D L GF GA Pts" a row.
std::vector<std::string> Rows(const std::vector<TableRow>& table) {
    std::vector<std::string> out;
    for (const TableRow& r : table) {
        std::ostringstream s;
        s << r.team << ' ' << r.played << ' ' << r.won << ' ' << r.drawn << ' ' << r.lost << ' ' << r.goalsFor << ' '
          << r.goalsAgainst << ' ' << r.points;
        out.push_back(s.str());
    }
    return out;
}

std::vector<TableRow> Table(const std::string& fixture, const std::string& league,
                            const std::vector<PointAdjustment>& adjustments = {}) {
    SeasonResults results;
    std::string error;
    EXPECT_TRUE(ParseSeasonResults(ReadFixture(fixture), results, error)) << error;
    std::vector<TableRow> table;
    EXPECT_TRUE(ComputeTable(results, RulesForLeague(league), adjustments, table, error)) << error;
    return table;
}

TEST(LeagueTable, PremierLeague2023WithDeductionsIsTheFinalTable) {
    // Everton lost 8 points and Nottingham Forest 4 that season.
    const auto table = Table("results/2023-24/en.1.json", "en.1",
                             {{"Everton FC", -8, "breach of the financial rules"}, {"Nottingham Forest FC", -4, ""}});
    const std::vector<std::string> expected = {
        "Manchester City FC 38 28 7 3 96 34 91",        "Arsenal FC 38 28 5 5 91 29 89",
        "Liverpool FC 38 24 10 4 86 41 82",             "Aston Villa FC 38 20 8 10 76 61 68",
        "Tottenham Hotspur FC 38 20 6 12 74 61 66",     "Chelsea FC 38 18 9 11 77 63 63",
        "Newcastle United FC 38 18 6 14 85 62 60",      "Manchester United FC 38 18 6 14 57 58 60",
        "West Ham United FC 38 14 10 14 60 74 52",      "Crystal Palace FC 38 13 10 15 57 58 49",
        "Brighton & Hove Albion FC 38 12 12 14 55 62 48", "AFC Bournemouth 38 13 9 16 54 67 48",
        "Fulham FC 38 13 8 17 55 61 47",                "Wolverhampton Wanderers FC 38 13 7 18 50 65 46",
        "Everton FC 38 13 9 16 40 51 40",               "Brentford FC 38 10 9 19 56 65 39",
        "Nottingham Forest FC 38 9 9 20 49 67 32",      "Luton Town FC 38 6 8 24 52 85 26",
        "Burnley FC 38 5 9 24 41 78 24",                "Sheffield United FC 38 3 7 28 35 104 16"};
    EXPECT_EQ(Rows(table), expected);

    // Without the deduction Everton (48) stands above Wolves (46), level
    // with Brighton and Bournemouth and between them on goal difference.
    const auto plain = Rows(Table("results/2023-24/en.1.json", "en.1"));
    EXPECT_EQ(plain[10], "Brighton & Hove Albion FC 38 12 12 14 55 62 48");
    EXPECT_EQ(plain[11], "Everton FC 38 13 9 16 40 51 48");
    EXPECT_EQ(plain[12], "AFC Bournemouth 38 13 9 16 54 67 48");
    EXPECT_EQ(plain[14], "Wolverhampton Wanderers FC 38 13 7 18 50 65 46");
}

TEST(LeagueTable, SerieA2023RanksLevelClubsByHeadToHead) {
    const auto table = Table("results/2023-24/it.1.json", "it.1");
    const std::vector<std::string> expected = {
        "FC Internazionale Milano 38 29 7 2 89 22 94", "AC Milan 38 22 9 7 76 49 75",
        "Juventus FC 38 19 14 5 54 31 71",           "Atalanta BC 38 21 6 11 72 42 69",
        "Bologna FC 1909 38 18 14 6 54 32 68",       "AS Roma 38 18 9 11 65 46 63",
        "SS Lazio 38 18 7 13 49 39 61",              "ACF Fiorentina 38 17 9 12 61 46 60",
        // Torino above Napoli and Cagliari above Empoli although their goal
        // difference is worse: they won the games between them.
        "Torino FC 38 13 14 11 36 36 53",            "SSC Napoli 38 13 14 11 55 48 53",
        "Genoa CFC 38 12 13 13 45 45 49",            "AC Monza 38 11 12 15 39 51 45",
        "Hellas Verona FC 38 9 11 18 38 51 38",      "US Lecce 38 8 14 16 32 54 38",
        "Udinese Calcio 38 6 19 13 37 53 37",        "Cagliari Calcio 38 8 12 18 42 68 36",
        "Empoli FC 38 9 9 20 29 54 36",              "Frosinone Calcio 38 8 11 19 44 69 35",
        "US Sassuolo Calcio 38 7 9 22 43 75 30",     "US Salernitana 1919 38 2 11 25 32 81 17"};
    EXPECT_EQ(Rows(table), expected);
    // The same season under goal-difference rules puts Napoli and Empoli first.
    const auto byGoals = Rows(Table("results/2023-24/it.1.json", "en.1"));
    EXPECT_EQ(byGoals[8], "SSC Napoli 38 13 14 11 55 48 53");
    EXPECT_EQ(byGoals[15], "Empoli FC 38 9 9 20 29 54 36");
}

TEST(LeagueTable, Austria2023RanksItsGroupsOnHalvedPoints) {
    // Sturm won the title on halved points although Salzburg had more over
    // the season; Wolfsberg, top of the lower group, has more points than
    // four clubs of the championship group.
    const auto table = Rows(Table("results/2023-24/at.1.json", "at.1"));
    const std::vector<std::string> top = {
        "Sturm Graz 32 19 10 3 56 23 44",    "RB Salzburg 32 20 7 5 74 29 42",
        "LASK 32 14 10 8 43 33 34",          "Rapid Wien 32 11 12 9 47 35 28",
        "TSV Hartberg 32 12 9 11 49 52 28",  "SK Austria Klagenfurt 32 9 12 11 40 50 22"};
    EXPECT_EQ(std::vector<std::string>(table.begin(), table.begin() + 6), top);
    EXPECT_EQ(table[6], "Wolfsberger AC 32 12 10 10 41 39 31");
    EXPECT_EQ(table[7], "Austria Wien 32 12 10 10 35 34 29");
    EXPECT_EQ(table[11], "Austria Lustenau 32 4 9 19 22 58 16");

    // Two points off Wolfsberg (30 before the halving, none dropped) leave it
    // level with Austria Wien (33, half a point dropped), which then ranks
    // first despite the worse goal difference.
    const auto level = Rows(Table("results/2023-24/at.1.json", "at.1", {{"Wolfsberger AC", -2, ""}}));
    EXPECT_EQ(level[6], "Austria Wien 32 12 10 10 35 34 29");
    EXPECT_EQ(level[7], "Wolfsberger AC 32 12 10 10 41 39 29");

    // Mid-way through the regular season nothing is halved yet.
    const auto current = Rows(Table("../../data/football.json/2025-26/at.1.json", "at.1"));
    const auto plain = Rows(Table("../../data/football.json/2025-26/at.1.json", "en.1"));
    EXPECT_EQ(current, plain);
}

TEST(LeagueTable, Scotland2024KeepsItsGroupsApart) {
    // Hearts finished the season with more points than St. Mirren, sixth,
    // but below the split.
    const auto table = Rows(Table("results/2024-25/sco.1.json", "sco.1"));
    const std::vector<std::string> expected = {
        "Celtic FC 38 29 5 4 112 26 92",      "Rangers FC 38 22 9 7 80 41 75",
        "Hibernian FC 38 15 13 10 62 50 58",  "Dundee United 38 15 8 15 45 54 53",
        "Aberdeen FC 38 15 8 15 48 61 53",    "St. Mirren FC 38 14 8 16 53 59 50",
        "Heart of Midlothian 38 15 7 16 52 47 52", "Motherwell FC 38 14 7 17 46 63 49",
        "Kilmarnock FC 38 12 8 18 45 64 44",  "Dundee FC 38 11 8 19 57 77 41",
        "Ross County FC 38 9 10 19 37 65 37", "St. Johnstone FC 38 9 5 24 38 68 32"};
    EXPECT_EQ(table, expected);
}

TEST(LeagueTable, FixturesTeamsWithoutGamesAndTheOlderShape) {
    // The older shape: rounds, teams as objects, score1/score2. The second
    // match is a fixture; Cobalt has not played yet and, level with Birch on
    // points, is ahead on goal difference. The play-off game is no league game
    // and the final's clubs are not known yet.
    const std::string json = R"({"name": "Test 2020/21", "rounds": [
      {"name": "Matchday 1", "matches": [
        {"team1": {"name": "Alder"}, "team2": {"name": "Birch"}, "score1": 2, "score2": 1},
        {"team1": {"name": "Cobalt"}, "team2": {"name": "Alder"}, "score1": null, "score2": null}]},
      {"name": "Matchday 2", "matches": [
        {"team1": {"name": "Birch"}, "team2": {"name": "Cobalt"}}]},
      {"name": "Play-offs, Semi-finals", "matches": [
        {"team1": {"name": "Birch"}, "team2": {"name": "Alder"}, "score1": 5, "score2": 0}]},
      {"name": "Final", "matches": [{"team1": {"name": "N.N."}, "team2": {"name": "N.N."}}]}]})";
    SeasonResults results;
    std::string error;
    ASSERT_TRUE(ParseSeasonResults(json, results, error)) << error;
    std::vector<TableRow> table;
    ASSERT_TRUE(ComputeTable(results, RulesForLeague("xx.1"), {}, table, error));
    EXPECT_EQ(Rows(table), (std::vector<std::string>{"Alder 1 1 0 0 2 1 3", "Cobalt 0 0 0 0 0 0 0",
                                                     "Birch 1 0 0 1 1 2 0"}));
    // A deduction naming a team the results do not have is refused.
    EXPECT_FALSE(ComputeTable(results, RulesForLeague("xx.1"), {{"Alder FC", -3, ""}}, table, error));
    EXPECT_EQ(error, "no team \"Alder FC\" in the results");
}

TEST(MatchResults, DatesOfPlayedMatchesAndLongKnockoutRoundNames) {
    // The newest date counts only played matches; a malformed date is
    // dropped, not refused. A knockout round named past 40 bytes is still a
    // knockout round: its 9-0 must not reach the table.
    const std::string json = R"({"matches": [
      {"round": "Matchday 1", "date": "2026-03-01", "time": "15:30", "team1": "A", "team2": "B", "score": {"ft": [1, 0]}},
      {"round": "Matchday 2", "date": "2026-3-08", "team1": "B", "team2": "A", "score": {"ft": [2, 2]}},
      {"round": "Matchday 3", "date": "2026-03-15", "time": "late", "team1": "A", "team2": "B"},
      {"round": "Relegation round of the second division, first leg: play-off", "date": "2026-05-30",
       "team1": "A", "team2": "B", "score": {"ft": [9, 0]}}]})";
    SeasonResults results;
    std::string error;
    ASSERT_TRUE(ParseSeasonResults(json, results, error)) << error;
    ASSERT_EQ(results.matches.size(), 3u);
    EXPECT_EQ(results.matches[0].date, "2026-03-01");
    EXPECT_EQ(results.matches[0].time, "15:30");
    EXPECT_EQ(results.matches[1].date, "");
    EXPECT_EQ(results.matches[2].date, "2026-03-15");
    EXPECT_EQ(results.matches[2].time, "");
    EXPECT_EQ(NewestPlayedDate(results), "2026-03-01");
    std::vector<TableRow> table;
    ASSERT_TRUE(ComputeTable(results, RulesForLeague("xx.1"), {}, table, error));
    EXPECT_EQ(Rows(table), (std::vector<std::string>{"A 2 1 1 0 3 2 4", "B 2 0 1 1 2 3 1"}));
}

TEST(MatchResults, RoundAndStatusAsAPageShowsThem) {
    // A round's name and a game's status as the file gives them, control
    // characters as spaces, cut at 60 bytes where a character begins; the
    // shape with "rounds" names the round once for its games.
    const std::string json = "{\"matches\": ["
        "{\"round\": \"Matchday\\t7\", \"status\": \"postponed\", \"team1\": \"A\", \"team2\": \"B\"},"
        "{\"round\": \"" + std::string(59, 'r') + "\xC3\xA9\", \"status\": 3, \"team1\": \"B\", \"team2\": \"A\"}]}";
    SeasonResults results;
    std::string error;
    ASSERT_TRUE(ParseSeasonResults(json, results, error)) << error;
    ASSERT_EQ(results.matches.size(), 2u);
    EXPECT_EQ(results.matches[0].round, "Matchday 7");
    EXPECT_EQ(results.matches[0].status, "postponed");
    EXPECT_EQ(results.matches[1].round, std::string(59, 'r'));
    EXPECT_EQ(results.matches[1].status, "");
    ASSERT_TRUE(ParseSeasonResults(R"({"rounds": [{"name": "Week 3", "matches": [{"team1": "A", "team2": "B"}]}]})",
                                   results, error)) << error;
    ASSERT_EQ(results.matches.size(), 1u);
    EXPECT_EQ(results.matches[0].round, "Week 3");
}

TEST(MatchResults, BadInputIsRefusedWithWhereItBroke) {
    const struct {
        std::string json;
        const char* error;
    } cases[] = {
        {"{\"name\": \"x\",\n \"matches\": [\n  {\"team1\": \"A\" \"team2\": \"B\"}]}",
         "line 3, column 23: syntax error while parsing object - unexpected string literal; expected '}'"},
        {R"({"matches": [{"team1": "A", "team2": "B", "score": {"ft": [1, 0]}},
                        {"round": "Matchday 2", "team1": "A", "team2": "B", "score": {"ft": [1, "2"]}}]})",
         "match 2 (round \"Matchday 2\"): full-time score is not two numbers from 0 to 99"},
        {R"({"matches": [{"team1": "A", "team2": "B", "score": {"ft": [1, 0, 3]}}]})",
         "match 1: full-time score is not two numbers from 0 to 99"},
        {R"({"matches": [{"team1": "A", "team2": "B", "score": {"ft": [-1, 0]}}]})",
         "match 1: full-time score is not two numbers from 0 to 99"},
        {R"({"matches": [{"team1": "A\u0007B", "team2": "B"}]})", "match 1: control character in the team name"},
        {"{\"matches\": [{\"team1\": \"" + std::string(10000, 'x') + "\", \"team2\": \"B\"}]}",
         "match 1: team name longer than 100 bytes"},
        {R"({"matches": [{"team1": "A", "team2": "A", "score": {"ft": [1, 1]}}]})", "match 1: a team plays itself"},
        {R"({"name": "x"})", "neither \"matches\" nor \"rounds\" is a list"},
        {"[1, 2]", "line 1: not a JSON object"},
        {"{\"matches\": [{\"team1\": \"\xC3\"}]}", "line 1, column 26: syntax error while parsing value - invalid string: ill-formed UTF-8 byte; last read: '\"\xC3\"'"},
        {std::string(kMaxResultsBytes + 1, ' '), "larger than 16 MiB"},
    };
    for (const auto& c : cases) {
        SeasonResults results;
        results.name = "left over";
        std::string error;
        EXPECT_FALSE(ParseSeasonResults(c.json, results, error)) << c.error;
        EXPECT_EQ(error, c.error);
        EXPECT_TRUE(results.teams.empty() && results.name.empty()) << "a refused file left something behind";
    }
}

TEST(Latin1Text, TurkishNamesBecomePlainLatinLettersOnTheBoard) {
    // Real names of the Süper Lig 2025-26, through the page and the saver's
    // download: letters outside ISO 8859-1 come back as their plain forms.
    SeasonResults results;
    std::string error;
    std::ifstream in(std::string(SCORVANE_FIXTURES_DIR) + "/../../data/football.json/2025-26/tr.1.json");
    ASSERT_TRUE(ParseSeasonResults(std::string(std::istreambuf_iterator<char>(in), {}), results, error)) << error;
    League league;
    league.code = "tur";
    league.association = "Turkey";
    league.competition = TransliterateToLatin1(results.name);
    for (const std::string& team : results.teams) {
        LeagueTeam row;
        row.position = std::to_string(league.teams.size() + 1) + ".";
        row.name = TransliterateToLatin1(team);
        row.figures = {"0", "0", "0", "0", "0", "0", "0", "0"};
        league.teams.push_back(row);
    }
    theStandings.RemoveAll();
    StandingsExtractor::ResetSharedState();
    ASSERT_TRUE(ReadStandingsPage(RenderStandingsPage(league)));
    std::vector<std::string> names;
    for (int r = 1; r < theStandings.GetSize(); ++r) names.push_back(Latin1ToUtf8(theStandings.ElementAt(r)[2]));
    theStandings.RemoveAll();
    for (const char* name : {"Gençlerbirliği", "Fatih Karagümrük", "Kasımpaşa SK", "İstanbul Başakşehir", "Beşiktaş"}) {
        const bool inResults = std::find(results.teams.begin(), results.teams.end(), name) != results.teams.end();
        EXPECT_TRUE(inResults) << name;
    }
    for (const char* name : {"Gençlerbirligi", "Fatih Karagümrük", "Kasimpasa SK", "Istanbul Basaksehir", "Besiktas"})
        EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    EXPECT_EQ(league.competition, "Turkish S\xFCper Lig 2025/26");
    EXPECT_EQ(TransliterateToLatin1("Wisła Kraków · Oțelul Galați · Łódź · Œuvre"),
              "Wisla Krak\xF3w \xB7 Otelul Galati \xB7 L\xF3" "dz \xB7 OEuvre");
}

TEST(LeagueFiles, AdjustmentsNamesAndMapRefuseBadLinesByNumber) {
    std::vector<SeasonAdjustment> adjustments;
    std::string error;
    ASSERT_TRUE(ParseAdjustments("# deductions\neng,2023-24,Everton FC,-8,two breaches, one appeal\n\n"
                                 "eng,2023-24,Nottingham Forest FC,-4,\n",
                                 adjustments, error));
    ASSERT_EQ(adjustments.size(), 2u);
    EXPECT_EQ(adjustments[0].adjustment.points, -8);
    EXPECT_EQ(adjustments[0].adjustment.note, "two breaches, one appeal");
    EXPECT_EQ(adjustments[1].line, 4);
    for (const auto& [text, message] : std::vector<std::pair<std::string, std::string>>{
             {"eng,2023-24,Everton FC,-8\neng,2023-24,Everton FC,minus eight\n",
              "line 2: points 'minus eight' is not a signed whole number"},
             {"eng,2023/24,Everton FC,-8\n", "line 1: '2023/24' is not a season such as 2023-24 or 2025"},
             {"eng,2023-24\n", "line 1: expected code,season,team,points,note"},
             {"eng,2023-24,Ever\x01ton,-8\n", "line 1: control character"}}) {
        EXPECT_FALSE(ParseAdjustments(text, adjustments, error));
        EXPECT_EQ(error, message);
    }
    std::map<std::string, std::string> names;
    ASSERT_TRUE(ParseDisplayNames("Wolverhampton Wanderers FC,Wolves\n", names, error));
    EXPECT_EQ(names.at("Wolverhampton Wanderers FC"), "Wolves");
    std::vector<LeagueMapping> map = DefaultLeagueMap();
    ASSERT_TRUE(ParseLeagueMap("eng,en.2\nusa,\nwal,wa.1\n", map, error));
    auto leagueOf = [&map](const std::string& code) {
        for (const LeagueMapping& m : map)
            if (m.code == code) return m.league;
        return std::string("-");
    };
    EXPECT_EQ(leagueOf("eng"), "en.2");
    EXPECT_EQ(leagueOf("usa"), "-");
    EXPECT_EQ(leagueOf("wal"), "wa.1");
    EXPECT_EQ(leagueOf("ita"), "it.1");
    EXPECT_FALSE(ParseLeagueMap("eng,../../etc/passwd\n", map, error));
    EXPECT_EQ(error, "line 1: '../../etc/passwd' is not a league file name");
}

}  // namespace

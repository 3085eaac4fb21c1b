#pragma once
// Match results of one league and season in the football.json format, both
// its shapes: {"name", "matches": [...]} with "score": {"ft": [a, b]}, and the
// older {"name", "rounds": [{"matches": [...]}]} with "score1"/"score2" and
// teams as objects. A match without a full-time score is a fixture; games of
// rounds named as finals or play-offs are not part of the league.

#include <cstddef>
#include <string>
#include <vector>

struct MatchResult {
    std::string home;  // UTF-8, as in the file
    std::string away;
    bool played = false;
    int homeGoals = 0;
    int awayGoals = 0;
    std::string date;  // "2026-03-08" as the file gives it, "" when it gives none that reads as a date
    std::string time;  // "15:30" as the file gives it, or ""
    std::string round;   // "Matchday 29" as the file gives it, UTF-8, at most kMaxLabelBytes; or ""
    std::string status;  // "postponed", "abandoned" as the file gives it, the same way; or ""
};

struct SeasonResults {
    std::string name;                // "English Premier League 2023/24", UTF-8
    std::vector<std::string> teams;  // in order of first appearance
    std::vector<MatchResult> matches;
};

// Limits that keep a hostile or broken file from taking the tool down.
inline constexpr std::size_t kMaxResultsBytes = 16u * 1024u * 1024u;
inline constexpr std::size_t kMaxTeamNameBytes = 100;
inline constexpr std::size_t kMaxTeams = 64;
inline constexpr std::size_t kMaxMatches = 5000;
inline constexpr int kMaxGoals = 99;
// A round's name or a match's status longer than this is cut, as a page
// shows it; control characters become spaces.
inline constexpr std::size_t kMaxLabelBytes = 60;

// The date of the newest played match ("2026-03-08"), or "" when no played
// match carries a date.
std::string NewestPlayedDate(const SeasonResults& results);

// False with `error` saying where the text broke ("line 3, column 7: ...")
// or which match is wrong ("match 12 (round \"Matchday 2\"): ..."); nothing
// of a refused file is kept.
bool ParseSeasonResults(const std::string& json, SeasonResults& out, std::string& error);

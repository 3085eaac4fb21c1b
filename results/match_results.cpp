#include "results/match_results.h"

#include <algorithm>
#include <nlohmann/json.hpp>

namespace {

using nlohmann::json;

// "line L, column C" of a byte offset, counting as an editor does.
std::string Where(const std::string& text, std::size_t offset) {
    offset = std::min(offset, text.size());
    std::size_t line = 1, column = 1;
    for (std::size_t i = 0; i < offset; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

// A round's name as an error message may quote it: short, and without the
// control characters a hostile file could put there. Only the quote is cut;
// whether a round is a knockout round is read from the whole name.
std::string QuotedRoundName(const std::string& round) {
    std::string name = round.substr(0, 40);
    for (char& c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return name;
}

bool IsDigits(const std::string& s, std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i) {
        if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    }
    return true;
}

// "YYYY-MM-DD" and "HH:MM" only: anything else is dropped, not refused, since
// a match without a usable date still counts in the table.
std::string DateOf(const json& m) {
    const auto d = m.find("date");
    if (d == m.end() || !d->is_string()) return {};
    const std::string s = d->get<std::string>();
    if (s.size() != 10 || !IsDigits(s, 0, 4) || s[4] != '-' || !IsDigits(s, 5, 2) || s[7] != '-' ||
        !IsDigits(s, 8, 2))
        return {};
    const int month = std::stoi(s.substr(5, 2)), day = std::stoi(s.substr(8, 2));
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 ? s : std::string();
}

std::string TimeOf(const json& m) {
    const auto t = m.find("time");
    if (t == m.end() || !t->is_string()) return {};
    const std::string s = t->get<std::string>();
    return s.size() == 5 && IsDigits(s, 0, 2) && s[2] == ':' && IsDigits(s, 3, 2) ? s : std::string();
}

// A text of the file as a page may show it: control characters as spaces,
// cut at kMaxLabelBytes on a character's boundary.
std::string Label(std::string text) {
    if (text.size() > kMaxLabelBytes) {
        std::size_t cut = kMaxLabelBytes;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        text.resize(cut);
    }
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return text;
}

std::string StatusOf(const json& m) {
    const auto s = m.find("status");
    return s != m.end() && s->is_string() ? Label(s->get<std::string>()) : std::string();
}

bool IsKnockoutRound(std::string round) {
    for (char& c : round) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return round.find("final") != std::string::npos || round.find("playoff") != std::string::npos ||
           round.find("play-off") != std::string::npos;
}

bool CheckTeamName(const std::string& name, std::string& problem) {
    if (name.empty()) {
        problem = "empty team name";
        return false;
    }
    if (name.size() > kMaxTeamNameBytes) {
        problem = "team name longer than " + std::to_string(kMaxTeamNameBytes) + " bytes";
        return false;
    }
    for (unsigned char c : name) {
        if (c < 0x20 || c == 0x7F) {
            problem = "control character in the team name";
            return false;
        }
    }
    return true;
}

bool TeamOf(const json& side, bool objectForm, std::string& name, std::string& problem) {
    const json* value = &side;
    if (objectForm && side.is_object()) {
        const auto found = side.find("name");
        if (found == side.end()) {
            problem = "team without a name";
            return false;
        }
        value = &*found;
    }
    if (!value->is_string()) {
        problem = "team is not a text";
        return false;
    }
    name = value->get<std::string>();
    return CheckTeamName(name, problem);
}

bool Goals(const json& value, int& goals) {
    if (!value.is_number_integer()) return false;
    const auto n = value.get<long long>();
    if (n < 0 || n > kMaxGoals) return false;
    goals = static_cast<int>(n);
    return true;
}

// One match of either shape; `problem` says what is wrong with it.
bool ReadMatch(const json& m, MatchResult& match, std::string& problem) {
    if (!m.is_object()) {
        problem = "not an object";
        return false;
    }
    const auto team1 = m.find("team1"), team2 = m.find("team2");
    if (team1 == m.end() || team2 == m.end()) {
        problem = "team1 or team2 missing";
        return false;
    }
    if (!TeamOf(*team1, true, match.home, problem) || !TeamOf(*team2, true, match.away, problem)) return false;
    match.date = DateOf(m);
    match.time = TimeOf(m);
    match.status = StatusOf(m);
    const auto score = m.find("score");
    if (score != m.end() && !score->is_null()) {
        if (!score->is_object()) {
            problem = "score is not an object";
            return false;
        }
        const auto ft = score->find("ft");
        if (ft != score->end() && !ft->is_null()) {
            if (!ft->is_array() || ft->size() != 2 || !Goals((*ft)[0], match.homeGoals) ||
                !Goals((*ft)[1], match.awayGoals)) {
                problem = "full-time score is not two numbers from 0 to " + std::to_string(kMaxGoals);
                return false;
            }
            match.played = true;
        }
        return true;
    }
    const auto s1 = m.find("score1"), s2 = m.find("score2");
    const bool has1 = s1 != m.end() && !s1->is_null(), has2 = s2 != m.end() && !s2->is_null();
    if (has1 != has2 || (has1 && (!Goals(*s1, match.homeGoals) || !Goals(*s2, match.awayGoals)))) {
        problem = "score1 and score2 are not two numbers from 0 to " + std::to_string(kMaxGoals);
        return false;
    }
    match.played = has1;
    return true;
}

}  // namespace

std::string NewestPlayedDate(const SeasonResults& results) {
    std::string newest;
    for (const MatchResult& m : results.matches) {
        if (m.played && m.date > newest) newest = m.date;
    }
    return newest;
}

bool ParseSeasonResults(const std::string& text, SeasonResults& out, std::string& error) {
    out = SeasonResults{};
    if (text.size() > kMaxResultsBytes) {
        error = "larger than " + std::to_string(kMaxResultsBytes / (1024 * 1024)) + " MiB";
        return false;
    }
    json doc;
    try {
        doc = json::parse(text);
    } catch (const json::parse_error& e) {
        // The message carries the library's own position; ours names line
        // and column, which is what an editor shows.
        const std::string what = e.what();
        const std::size_t column = what.find("column ");
        const std::size_t colon = what.find(": ", column == std::string::npos ? 0 : column);
        error = Where(text, e.byte > 0 ? e.byte - 1 : 0) + ": " +
                (colon == std::string::npos ? what : what.substr(colon + 2));
        return false;
    } catch (const json::exception& e) {
        // Well-formed but beyond what the library holds, such as a number
        // past the range of a double: as unreadable as a syntax error. The
        // library names the number but not where it stands; the text does.
        const std::string what = e.what();
        const std::size_t bracket = what.find("] ");
        const std::string reason = bracket == std::string::npos ? what : what.substr(bracket + 2);
        const std::size_t open = reason.find('\'');
        const std::size_t close = open == std::string::npos ? open : reason.find('\'', open + 1);
        std::size_t at = 0;
        if (close != std::string::npos) {
            at = text.find(reason.substr(open + 1, close - open - 1));
            if (at == std::string::npos) at = 0;
        }
        error = Where(text, at) + ": " + reason;
        return false;
    }
    if (!doc.is_object()) {
        error = "line 1: not a JSON object";
        return false;
    }
    SeasonResults season;
    const auto name = doc.find("name");
    if (name != doc.end() && name->is_string()) season.name = name->get<std::string>();

    // Both shapes reduce to a list of (round name, match) pairs.
    std::vector<std::pair<std::string, const json*>> listed;
    const auto matches = doc.find("matches");
    const auto rounds = doc.find("rounds");
    if (matches != doc.end() && matches->is_array()) {
        for (const json& m : *matches) {
            std::string round;
            if (m.is_object() && m.contains("round") && m["round"].is_string()) round = m["round"].get<std::string>();
            listed.emplace_back(round, &m);
        }
    } else if (rounds != doc.end() && rounds->is_array()) {
        for (const json& r : *rounds) {
            const auto inner = r.is_object() ? r.find("matches") : r.end();
            if (!r.is_object() || inner == r.end() || !inner->is_array()) {
                error = "a round without a list of matches";
                return false;
            }
            const std::string round = r.contains("name") && r["name"].is_string() ? r["name"].get<std::string>() : "";
            for (const json& m : *inner) listed.emplace_back(round, &m);
        }
    } else {
        error = "neither \"matches\" nor \"rounds\" is a list";
        return false;
    }
    if (listed.size() > kMaxMatches) {
        error = "more than " + std::to_string(kMaxMatches) + " matches";
        return false;
    }
    for (std::size_t i = 0; i < listed.size(); ++i) {
        MatchResult match;
        std::string problem;
        const bool read = ReadMatch(*listed[i].second, match, problem);
        if (read && match.home == match.away && match.played) problem = "a team plays itself";
        if (!read || !problem.empty()) {
            error = "match " + std::to_string(i + 1) +
                    (listed[i].first.empty() ? std::string() : " (round \"" + QuotedRoundName(listed[i].first) + "\")") +
                    ": " + problem;
            return false;
        }
        // Knockout games after the season are no league games, and a fixture
        // whose clubs are not known yet ("N.N." against "N.N.") names none.
        if (IsKnockoutRound(listed[i].first) || match.home == match.away) continue;
        match.round = Label(listed[i].first);
        for (const std::string* team : {&match.home, &match.away}) {
            if (std::find(season.teams.begin(), season.teams.end(), *team) == season.teams.end()) {
                if (season.teams.size() == kMaxTeams) {
                    error = "more than " + std::to_string(kMaxTeams) + " teams";
                    return false;
                }
                season.teams.push_back(*team);
            }
        }
        season.matches.push_back(std::move(match));
    }
    if (season.teams.empty()) {
        error = "no matches";
        return false;
    }
    out = std::move(season);
    return true;
}

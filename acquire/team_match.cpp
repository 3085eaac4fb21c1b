#include "acquire/team_match.h"

#include <algorithm>

#include "acquire/standings_table.h"

namespace {

// Letters and digits of ISO 8859-1; the multiplication and division signs
// sit among the letters but are none.
bool IsWordByte(unsigned char c) {
    if ((c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) return true;
    return c >= 0xC0 && c != 0xD7 && c != 0xF7;
}

unsigned char Fold(unsigned char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<unsigned char>(c + 32);
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<unsigned char>(c + 32);
    return c;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsWordByte(c)) {
            word += static_cast<char>(Fold(c));
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

}  // namespace

TeamMatch FindTeam(const StandingsTable& table, const std::string& team) {
    TeamMatch match;
    const std::vector<std::string> wanted = Words(team);
    if (wanted.empty()) return match;
    int found = -1;
    for (int i = 1; i < table.GetSize(); ++i) {
        const std::string& club = table.ElementAt(i)[2];
        const std::vector<std::string> words = Words(club);
        if (std::search(words.begin(), words.end(), wanted.begin(), wanted.end()) == words.end()) continue;
        match.clubs.push_back(club);
        found = i;
    }
    if (match.clubs.size() == 1) match.row = found;
    return match;
}

std::string DescribeTeamMatch(const TeamMatch& match, const std::string& team) {
    if (match.row >= 0) return match.clubs.front();
    if (match.clubs.empty()) return "'" + team + "' matches no club";
    std::string text = "'" + team + "' matches " + std::to_string(match.clubs.size()) + " clubs: ";
    for (std::size_t i = 0; i < match.clubs.size(); ++i) text += (i ? ", " : "") + match.clubs[i];
    return text + "; none is picked out";
}

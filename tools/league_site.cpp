#include "tools/league_site.h"

#include <algorithm>
#include <cstdint>
#include <set>

#include "app/startup.h"
#include "tools/tool_util.h"

const char* const kLeagueHeaderTexts[11] = {"Pos.", "Trend", "Club", "P",  "W",  "D",
                                            "L",    "GF",    "GA",   "GD", "Pts"};

namespace {

// Reference names of the ISO 8859-1 letters from 0xC0 on; the two signs in
// that range (0xD7, 0xF7) and everything below are written as numbers.
const char* const kLetterNames[64] = {
    "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",
    "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   nullptr,  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave",
    "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",  "euml",
    "igrave", "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",
    nullptr,  "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};

// splitmix64: small, fast, and the same sequence on every machine.
class SiteRandom {
public:
    explicit SiteRandom(const std::string& seedText) {
        std::uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a of the code
        for (unsigned char c : seedText) h = (h ^ c) * 0x100000001b3ull;
        state_ = h;
    }
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    // Uniform in [lo, hi].
    int Between(int lo, int hi) { return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1)); }
    bool Chance(int percent) { return Between(1, 100) <= percent; }
    template <typename T, size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[Next() % N];
    }

private:
    std::uint64_t state_;
};

const char* const kOnsets[] = {"B", "Br", "D", "Dr", "F", "G", "Gr", "H", "K", "Kr", "L", "M", "N", "P", "R",
                               "S", "St", "T", "Tr", "V", "W", "Z", "Sk", "Vr", "Ch", "J"};
const char* const kVowels[] = {"a", "e", "i", "o", "u", "a", "e", "o", "ei", "au", "ia"};
// ISO 8859-1 accented vowels and letters the names may carry.
const char* const kAccented[] = {"\xE1", "\xE0", "\xE2", "\xE4", "\xE3", "\xE5", "\xE9", "\xE8", "\xEA",
                                 "\xEB", "\xED", "\xEC", "\xEE", "\xEF", "\xF3", "\xF2", "\xF4", "\xF6",
                                 "\xF5", "\xF8", "\xFA", "\xF9", "\xFB", "\xFC", "\xFD", "\xE6"};
const char* const kMiddles[] = {"r", "l", "n", "m", "v", "st", "nd", "rk", "lb", "ss", "t", "d", "\xDF",
                                "\xF1", "\xE7", "z", "sk", "rg", "nt", "ld"};
const char* const kEndings[] = {"a", "o", "en", "ov", "ia", "heim", "burg", "stad", "ville", "ona", "ec",
                                "an", "ice", "aro", "is", "um", "ford", "dal", "berg", "ino"};
const char* const kPrefixes[] = {"FC", "SC", "AC", "SV", "Sporting", "Athletic", "Racing", "Union",
                                 "Dynamo", "Olympic", "Vitesse", "Stella", "Spartak", "Rapid"};
const char* const kSuffixes[] = {"United", "Rovers", "Wanderers", "City", "Town", "Athletic", "Albion",
                                 "FC", "SK", "1908", "1921", "1899", "04", "Sport", "Stars"};

std::string Capitalise(std::string s) {
    if (s.empty()) return s;
    unsigned char c = static_cast<unsigned char>(s[0]);
    if (c >= 'a' && c <= 'z') s[0] = static_cast<char>(c - 32);
    else if (c >= 0xE0 && c != 0xF7 && c != 0xFF) s[0] = static_cast<char>(c - 32);
    return s;
}

std::string TownName(SiteRandom& rng, bool accent) {
    std::string town = rng.Pick(kOnsets);
    const int syllables = rng.Between(1, 2);
    const int accentAt = accent ? rng.Between(0, syllables - 1) : -1;
    for (int s = 0; s < syllables; ++s) {
        town += s == accentAt ? rng.Pick(kAccented) : rng.Pick(kVowels);
        town += rng.Pick(kMiddles);
    }
    town += rng.Pick(kEndings);
    return Capitalise(town);
}

std::string TeamName(SiteRandom& rng, bool accent) {
    const std::string town = TownName(rng, accent);
    switch (rng.Between(0, 3)) {
        case 0: return std::string(rng.Pick(kPrefixes)) + " " + town;
        case 1: return town + " " + rng.Pick(kSuffixes);
        case 2: return std::string(rng.Pick(kPrefixes)) + " " + town + " " + rng.Pick(kSuffixes);
        default: return town;
    }
}

struct Tally {
    std::string name;
    int strength = 0;
    int played = 0, won = 0, drawn = 0, lost = 0, goalsFor = 0, goalsAgainst = 0;
    int Points() const { return 3 * won + drawn; }
};

// Goals as a binomial count of chances, in integers only, so that a league
// is the same on every machine.
int Goals(SiteRandom& rng, int attack, int defence, bool home) {
    const int per1000 = std::clamp(210 + 12 * (attack - defence) + (home ? 35 : 0), 60, 520);
    int goals = 0;
    for (int chance = 0; chance < 6; ++chance) {
        if (rng.Between(0, 999) < per1000) ++goals;
    }
    return goals;
}

std::string Signed(int n) { return n > 0 ? "+" + std::to_string(n) : std::to_string(n); }

}  // namespace

std::string EncodePageText(const std::string& latin1) {
    std::string out;
    out.reserve(latin1.size() + 16);
    for (unsigned char c : latin1) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"') out += "&quot;";
        else if (c >= 0xC0 && kLetterNames[c - 0xC0] != nullptr) out += std::string("&") + kLetterNames[c - 0xC0] + ";";
        else if (c >= 0x80 || c < 0x20 || c == 0x7F) out += "&#" + std::to_string(c) + ";";
        else out += static_cast<char>(c);
    }
    return out;
}

League GenerateLeague(const std::string& code, const std::string& association) {
    SiteRandom rng(code);
    League league;
    league.code = code;
    league.association = association;

    const int count = rng.Between(10, 20);
    std::vector<Tally> teams;
    std::set<std::string> names;
    while (static_cast<int>(teams.size()) < count) {
        // Every league has accented names, the first team's at least.
        const bool accent = teams.empty() || rng.Chance(40);
        std::string name = TeamName(rng, accent);
        if (!names.insert(name).second) continue;
        Tally t;
        t.name = name;
        t.strength = rng.Between(0, 20);
        teams.push_back(t);
    }

    // Circle-method round robin, twice over, played up to this matchday; an
    // odd number of teams gives one team a free day each round.
    const int slots = count + (count % 2);
    const int rounds = 2 * (slots - 1);
    league.matchday = rng.Between(slots / 2, rounds);
    std::vector<int> order(static_cast<size_t>(slots));
    for (int i = 0; i < slots; ++i) order[static_cast<size_t>(i)] = i;
    for (int day = 0; day < league.matchday; ++day) {
        for (int m = 0; m < slots / 2; ++m) {
            int home = order[static_cast<size_t>(m)];
            int away = order[static_cast<size_t>(slots - 1 - m)];
            if ((day / (slots - 1)) % 2 == 1) std::swap(home, away);
            if (home >= count || away >= count) continue;
            Tally& h = teams[static_cast<size_t>(home)];
            Tally& a = teams[static_cast<size_t>(away)];
            const int hg = Goals(rng, h.strength, a.strength, true);
            const int ag = Goals(rng, a.strength, h.strength, false);
            ++h.played;
            ++a.played;
            h.goalsFor += hg;
            h.goalsAgainst += ag;
            a.goalsFor += ag;
            a.goalsAgainst += hg;
            if (hg > ag) { ++h.won; ++a.lost; }
            else if (hg < ag) { ++a.won; ++h.lost; }
            else { ++h.drawn; ++a.drawn; }
        }
        std::rotate(order.begin() + 1, order.end() - 1, order.end());
    }

    std::sort(teams.begin(), teams.end(), [](const Tally& x, const Tally& y) {
        if (x.Points() != y.Points()) return x.Points() > y.Points();
        const int dx = x.goalsFor - x.goalsAgainst, dy = y.goalsFor - y.goalsAgainst;
        if (dx != dy) return dx > dy;
        if (x.goalsFor != y.goalsFor) return x.goalsFor > y.goalsFor;
        return x.name < y.name;
    });
    for (size_t i = 0; i < teams.size(); ++i) {
        const Tally& t = teams[i];
        LeagueTeam row;
        row.position = std::to_string(i + 1) + ".";
        row.name = t.name;
        row.figures = {std::to_string(t.played),   std::to_string(t.won),          std::to_string(t.drawn),
                       std::to_string(t.lost),     std::to_string(t.goalsFor),     std::to_string(t.goalsAgainst),
                       Signed(t.goalsFor - t.goalsAgainst), std::to_string(t.Points())};
        league.teams.push_back(row);
    }
    return league;
}

namespace {

bool SplitCsvLine(std::string_view line, std::vector<std::string>& fields, std::string& error) {
    fields.clear();
    size_t i = 0;
    for (;;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        std::string field;
        if (i < line.size() && line[i] == '"') {
            ++i;
            for (;;) {
                if (i >= line.size()) {
                    error = "unclosed quote";
                    return false;
                }
                if (line[i] == '"') {
                    if (i + 1 < line.size() && line[i + 1] == '"') {
                        field += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                field += line[i++];
            }
            while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
            if (i < line.size() && line[i] != ',') {
                error = "text after a closing quote";
                return false;
            }
        } else {
            const size_t comma = line.find(',', i);
            const size_t end = comma == std::string_view::npos ? line.size() : comma;
            field = std::string(line.substr(i, end - i));
            while (!field.empty() && (field.back() == ' ' || field.back() == '\t')) field.pop_back();
            if (field.find('"') != std::string::npos) {
                error = "quote inside an unquoted field";
                return false;
            }
            i = end;
        }
        fields.push_back(field);
        if (i >= line.size()) return true;
        ++i;  // the comma
    }
}

bool ToLatin1(const std::string& utf8, std::string& latin1, std::string& error) {
    std::u32string codes;
    size_t bad = 0;
    if (!DecodeUtf8(utf8, codes, bad)) {
        error = "not valid UTF-8";
        return false;
    }
    latin1.clear();
    for (char32_t c : codes) {
        if (c > 0xFF) {
            char hex[16];
            std::snprintf(hex, sizeof hex, "U+%04X", static_cast<unsigned>(c));
            error = std::string("character ") + hex + " is not in ISO 8859-1";
            return false;
        }
        if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
            error = "control character in a field";
            return false;
        }
        latin1 += static_cast<char>(c);
    }
    return true;
}

bool IsPosition(const std::string& s) {
    std::string digits = s;
    if (!digits.empty() && digits.back() == '.') digits.pop_back();
    long n;
    return !digits.empty() && digits[0] != '+' && digits[0] != '-' && ParseInteger(digits, 0, 9999, n);
}

}  // namespace

bool ParseLeagueCsv(const std::string& csv, League& league, std::string& error) {
    league.teams.clear();
    std::string_view rest = csv;
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);
    static const char* const kFigureNames[8] = {"played", "won", "drawn", "lost",
                                                "goals for", "goals against", "goal difference", "points"};
    int lineNumber = 0;
    while (!rest.empty()) {
        ++lineNumber;
        const size_t nl = rest.find('\n');
        std::string_view line = rest.substr(0, nl);
        rest.remove_prefix(nl == std::string_view::npos ? rest.size() : nl + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == '#') continue;

        const std::string where = "line " + std::to_string(lineNumber) + ": ";
        std::string text, problem;
        if (!ToLatin1(std::string(line), text, problem)) {
            error = where + problem;
            return false;
        }
        std::vector<std::string> fields;
        if (!SplitCsvLine(text, fields, problem)) {
            error = where + problem;
            return false;
        }
        if (fields.size() != 10) {
            error = where + "expected 10 fields (position, name and eight figures), found " +
                    std::to_string(fields.size());
            return false;
        }
        LeagueTeam team;
        team.position = fields[0];
        if (!IsPosition(team.position)) {
            error = where + "position '" + Latin1ToUtf8(fields[0]) + "' is not a number";
            return false;
        }
        team.name = fields[1];
        if (team.name.empty()) {
            error = where + "empty team name";
            return false;
        }
        for (int f = 0; f < 8; ++f) {
            long value;
            if (!ParseInteger(fields[static_cast<size_t>(f) + 2], -99999, 99999, value)) {
                error = where + kFigureNames[f] + " '" + Latin1ToUtf8(fields[static_cast<size_t>(f) + 2]) +
                        "' is not a whole number";
                return false;
            }
            team.figures[static_cast<size_t>(f)] = fields[static_cast<size_t>(f) + 2];
        }
        league.teams.push_back(team);
    }
    if (league.teams.empty()) {
        error = "no team lines";
        return false;
    }
    return true;
}

std::string PageStart() {
    return "<!DOCTYPE html PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\" \"http://www.w3.org/TR/html4/loose.dtd\">\r\n"
           "<html lang=\"en\">\r\n"
           "<head>\r\n"
           "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-1\">\r\n";
}

std::string RenderStandingsPage(const League& league) {
    const std::string assoc = EncodePageText(league.association);
    // A real league is named as it calls itself, in the title and the heading.
    const std::string heading = league.competition.empty() ? assoc : EncodePageText(league.competition);
    const std::string base = "/associations/association=" + league.code;
    std::string p;
    p.reserve(8192 + 1024 * league.teams.size());
    auto line = [&p](const std::string& text) {
        p += text;
        p += "\r\n";
    };
    p += PageStart();
    line("<title>" + heading + (league.competition.empty() ? " - National league" : "") + " - Standings</title>");
    line("<link rel=\"stylesheet\" type=\"text/css\" href=\"/static/site.css\">");
    line("<script type=\"text/javascript\">");
    line("// Marks the row under the pointer; the style sheet does the rest.");
    line("function highlight(row, on) {");
    line("  if (row && row.className.length < 40) {");
    line("    row.className = on ? row.className + \" hover\" : row.className.replace(\" hover\", \"\");");
    line("  }");
    line("}");
    line("</script>");
    line("</head>");
    line("<body>");
    line("<!-- page head: logo and navigation -->");
    line("<div id=\"top\"><a href=\"/\"><img src=\"/static/logo.gif\" alt=\"Football associations\" width=\"160\" height=\"48\" border=\"0\"></a></div>");
    line("<div id=\"navigation\">");
    line("<ul class=\"menu\">");
    line("<li><a href=\"/\">Home</a></li>");
    line("<li><a href=\"" + base + "/index.html\">" + assoc + "</a></li>");
    line("<li class=\"active\"><a href=\"" + StandingsPagePath(league.code) + "\">Standings</a></li>");
    line("<li><a href=\"" + base + "/nationalleague/fixtures.html\">Fixtures &amp; results</a></li>");
    line("<li><a href=\"" + base + "/nationalleague/scorers.html\">Top scorers</a></li>");
    line("</ul>");
    line("</div>");
    line("<div id=\"content\">");
    line("<h1>" + heading + "</h1>");
    line("<h2>National league &middot; Standings" +
         (league.matchday > 0 ? " after matchday " + std::to_string(league.matchday) : std::string()) + "</h2>");
    // Outside the table: the saver reads the table alone, and its rows must
    // stay what they were.
    if (!league.newestResult.empty())
        line("<p class=\"results-date\">Newest result: " + EncodePageText(league.newestResult) + "</p>");
    line("<!-- standings table -->");
    line("<table class=\"standings\" cellspacing=\"0\" cellpadding=\"2\" summary=\"Standings of the national league\">");
    line("<thead>");
    line("<tr>");
    line("<th class=\"rank\" title=\"Position\">" + std::string(kLeagueHeaderTexts[0]) + "</th>");
    line("<th class=\"trend\">" + std::string(kLeagueHeaderTexts[1]) + "</th>");
    line("<th class=\"club\" align=\"left\">" + std::string(kLeagueHeaderTexts[2]) + "</th>");
    static const char* const kTitles[8] = {"Played", "Won", "Drawn", "Lost", "Goals for", "Goals against",
                                           "Goal difference", "Points"};
    for (int i = 3; i < 10; ++i) {
        line("<th class=\"number\"><abbr title=\"" + std::string(kTitles[i - 3]) + "\">" + kLeagueHeaderTexts[i] +
             "</abbr></th>");
    }
    // The column the table is sorted by carries a marker, which is no text of
    // its own.
    line("<th class=\"number sorted\"><abbr title=\"Points\">" + std::string(kLeagueHeaderTexts[10]) +
         "</abbr><span class=\"sort-marker\">&#9660;</span></th>");
    line("</tr>");
    line("</thead>");
    line("<tbody>");
    const size_t n = league.teams.size();
    for (size_t i = 0; i < n; ++i) {
        const LeagueTeam& t = league.teams[i];
        if (i == 0) line("<!-- champions -->");
        if (i + 3 == n && n > 6) line("<!-- relegation places -->");
        const char* trend = i % 3 == 0 ? "up" : (i % 3 == 1 ? "same" : "down");
        line(std::string("<tr class=\"") + (i % 2 == 0 ? "odd" : "even") +
             "\" onmouseover=\"highlight(this, true)\" onmouseout=\"highlight(this, false)\">");
        line("<td class=\"rank\">" + EncodePageText(t.position) + "</td>");
        line(std::string("<td class=\"trend\"><img src=\"/static/trend-") + trend + ".gif\" width=\"9\" height=\"9\" alt=\"\"></td>");
        line("<td class=\"club\"><a href=\"" + base + "/clubs/club=" + std::to_string(i + 1) +
             "/overview.html\" title=\"" + EncodePageText(t.name) + "\">" + EncodePageText(t.name) + "</a></td>");
        for (const std::string& figure : t.figures) line("<td class=\"number\">" + EncodePageText(figure) + "</td>");
        line("</tr>");
    }
    line("</tbody>");
    line("</table>");
    line("<table class=\"legend\"><tr><td class=\"champion\">&nbsp;</td><td>Champions</td><td class=\"relegated\">&nbsp;</td><td>Relegation</td></tr></table>");
    line("</div>");
    line("<div id=\"footer\"><p>&copy; Football associations &#124; <a href=\"/imprint.html\">Imprint</a> &#x7C; <a href=\"/privacy.html\">Privacy</a></p></div>");
    line("</body>");
    line("</html>");
    return p;
}

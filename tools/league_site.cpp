#include "tools/league_site.h"

#include <algorithm>
#include <cstdint>
#include <set>

#include "app/association_table.h"
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
    league.source = League::Source::MadeUp;
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

std::string AssociationFolder(const std::string& code) {
    // The same encoding as the saver's address of the standings page.
    return std::string(kStandingsPathPrefix + 1) + EncodeUrlComponent(code) + "/";
}

std::string PageStart(const std::string& title, const std::string& root) {
    std::string p;
    auto line = [&p](const std::string& text) {
        p += text;
        p += "\r\n";
    };
    line("<!DOCTYPE html>");
    line("<html lang=\"en\">");
    line("<head>");
    line("<meta charset=\"iso-8859-1\">");
    line("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">");
    line("<meta name=\"color-scheme\" content=\"light dark\">");
    line("<title>" + title + "</title>");
    line("<link rel=\"stylesheet\" href=\"" + root + kSiteStyleSheetPath + "\">");
    line("<link rel=\"icon\" href=\"" + root + kSiteLogoPath + "\" type=\"image/svg+xml\">");
    line("</head>");
    line("<body>");
    line("<a class=\"skip\" href=\"#content\">Skip to the content</a>");
    line("<header class=\"site-header\"><div class=\"wrap\"><a class=\"brand\" href=\"" + root +
         "index.html\"><img src=\"" + root + kSiteLogoPath +
         "\" alt=\"\" width=\"32\" height=\"32\">National leagues</a></div></header>");
    return p;
}

std::string PageEnd(const std::string& footerHtml) {
    return "<footer class=\"site-footer\"><div class=\"wrap\"><p>" + footerHtml +
           "</p></div></footer>\r\n</body>\r\n</html>\r\n";
}

std::string SourceNote(League::Source source) {
    switch (source) {
        case League::Source::OpenFootball:
            return "Tables computed from the public-domain match results of the "
                   "<a href=\"https://github.com/openfootball/football.json\">openfootball football.json</a> "
                   "project (<a href=\"https://creativecommons.org/publicdomain/zero/1.0/\">CC0 1.0</a>).";
        case League::Source::OtherResults:
            return "Tables computed from match results in the football.json format.";
        case League::Source::MadeUp:
            return "A made-up league for demonstrations: its clubs and figures are invented.";
        case League::Source::Own: break;
    }
    return "Table as this site's operator publishes it.";
}

namespace {

// Links from a league's page: its association page lies one folder above
// the standings and the fixtures.
struct LeagueLinks {
    std::string root, association, pages;
    explicit LeagueLinks(const std::string& current) {
        const bool fromLeague = current != "association";
        root = fromLeague ? "../../../" : "../../";
        association = fromLeague ? "../index.html" : "index.html";
        pages = fromLeague ? "" : "nationalleague/";
    }
};

}  // namespace

std::string LeagueCrumbs(const League& league, const std::string& current) {
    const LeagueLinks links(current);
    std::string p = "<nav class=\"crumbs\" aria-label=\"Breadcrumb\"><ol><li><a href=\"" + links.root +
                    "index.html\">All leagues</a></li>";
    if (league.FromResults() && current != "association")
        p += "<li><a href=\"" + links.association + "\">" + EncodePageText(league.association) + "</a></li>";
    return p + "</ol></nav>\r\n";
}

std::string LeagueTabs(const League& league, const std::string& current) {
    if (!league.FromResults()) return {};
    const LeagueLinks links(current);
    auto tab = [&current](const std::string& href, const std::string& text, const std::string& which) {
        return "<li><a href=\"" + href + "\"" + (which == current ? " aria-current=\"page\"" : "") + ">" + text +
               "</a></li>";
    };
    return "<nav class=\"tabs\" aria-label=\"League pages\"><ul>" + tab(links.association, "League", "association") +
           tab(links.pages + "standings.html", "Standings", "standings") +
           tab(links.pages + "fixtures.html", "Fixtures &amp; results", "fixtures") + "</ul></nav>\r\n";
}

std::string RenderStandingsPage(const League& league) {
    const std::string assoc = EncodePageText(league.association);
    // A real league is named as it calls itself, in the title and the heading.
    const std::string heading = league.competition.empty() ? assoc : EncodePageText(league.competition);
    std::string p;
    p.reserve(8192 + 1024 * league.teams.size());
    auto line = [&p](const std::string& text) {
        p += text;
        p += "\r\n";
    };
    p += PageStart(heading + (league.competition.empty() ? " - National league" : "") + " - Standings", "../../../");
    line("<main id=\"content\" class=\"wrap\">");
    p += LeagueCrumbs(league, "standings");
    line("<h1>" + heading + "</h1>");
    std::string lead = !league.competition.empty()                  ? assoc
                       : league.source == League::Source::MadeUp ? std::string("Made-up national league")
                                                                 : std::string("National league");
    if (!league.season.empty()) lead += " &middot; Season " + EncodePageText(league.season);
    lead += " &middot; Standings";
    if (league.matchday > 0) lead += " after matchday " + std::to_string(league.matchday);
    line("<p class=\"lead\">" + lead + "</p>");
    p += LeagueTabs(league, "standings");
    // Outside the table: the saver reads the table alone, and its rows must
    // stay what they were.
    if (!league.newestResult.empty())
        line("<p class=\"results-date\">Newest result: " + EncodePageText(league.newestResult) + "</p>");
    line("<div class=\"table-scroll\">");
    // The table's markup is what the savers read, text by text: every cell
    // of the head and of the rows keeps its place and its text, the trend
    // column its header, the points its sort marker in a span. Its looks
    // come from the style sheet through the classes alone.
    line("<table class=\"standings\">");
    line("<caption>Standings of the " + (league.competition.empty() ? "national league of " + assoc : heading) +
         "</caption>");
    line("<thead>");
    line("<tr>");
    line("<th class=\"rank\" scope=\"col\"><abbr title=\"Position\">" + std::string(kLeagueHeaderTexts[0]) +
         "</abbr></th>");
    line("<th class=\"trend\" scope=\"col\">" + std::string(kLeagueHeaderTexts[1]) + "</th>");
    line("<th class=\"club\" scope=\"col\">" + std::string(kLeagueHeaderTexts[2]) + "</th>");
    static const char* const kTitles[8] = {"Played", "Won", "Drawn", "Lost", "Goals for", "Goals against",
                                           "Goal difference", "Points"};
    for (int i = 3; i < 10; ++i) {
        line("<th class=\"number\" scope=\"col\"><abbr title=\"" + std::string(kTitles[i - 3]) + "\">" +
             kLeagueHeaderTexts[i] + "</abbr></th>");
    }
    // The column the table is sorted by carries a marker, which is no text of
    // its own.
    line("<th class=\"number sorted\" scope=\"col\" aria-sort=\"descending\"><abbr title=\"Points\">" +
         std::string(kLeagueHeaderTexts[10]) + "</abbr><span class=\"sort-marker\" aria-hidden=\"true\">&#9660;</span></th>");
    line("</tr>");
    line("</thead>");
    line("<tbody>");
    for (std::size_t i = 0; i < league.teams.size(); ++i) {
        const LeagueTeam& t = league.teams[i];
        line(std::string("<tr class=\"") + (i % 2 == 0 ? "odd" : "even") + "\">");
        line("<td class=\"rank\">" + EncodePageText(t.position) + "</td>");
        // No trend is known: the cell stays, empty, as the savers count it.
        line("<td class=\"trend\"></td>");
        line("<td class=\"club\">" + EncodePageText(t.name) + "</td>");
        for (const std::string& figure : t.figures) line("<td class=\"number\">" + EncodePageText(figure) + "</td>");
        line("</tr>");
    }
    line("</tbody>");
    line("</table>");
    line("</div>");
    for (const std::string& note : league.notes) line("<p class=\"note\">" + EncodePageText(note) + "</p>");
    line("</main>");
    p += PageEnd(SourceNote(league.source));
    return p;
}

std::string RenderOwnIndexPage(const std::vector<std::string>& codes) {
    std::string p = PageStart("National leagues - Standings", "");
    auto line = [&p](const std::string& text) {
        p += text;
        p += "\r\n";
    };
    line("<main id=\"content\" class=\"wrap\">");
    line("<h1>National leagues</h1>");
    if (codes.empty()) {
        line("<p class=\"lead\">No league is published here yet.</p>");
    } else {
        line("<p class=\"lead\">The standings of " + std::to_string(codes.size()) +
             (codes.size() == 1 ? " national league.</p>" : " national leagues.</p>"));
        line("<ul class=\"leagues\">");
        for (const std::string& code : codes) {
            line("<li><a href=\"" + StandingsPagePath(code).substr(1) + "\">" +
                 EncodePageText(AssociationNameForCode(code.c_str())) + "</a></li>");
        }
        line("</ul>");
    }
    line("</main>");
    p += PageEnd(SourceNote(League::Source::Own));
    return p;
}

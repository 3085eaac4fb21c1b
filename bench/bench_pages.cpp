#include "bench/bench_pages.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "acquire/markup_parser.h"
#include "acquire/standings_extractor.h"
#include "app/association_table.h"
#include "tools/league_site.h"

namespace {

std::string WithoutLineBreaks(std::string page) {
    page.erase(std::remove_if(page.begin(), page.end(), [](char c) { return c == '\r' || c == '\n'; }), page.end());
    return page;
}

// splitmix64, so that the large page is the same on every machine.
class PageRandom {
public:
    explicit PageRandom(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

private:
    std::uint64_t state_;
};

const char* const kWords[] = {"News",    "Fixtures", "Results", "Clubs",   "Players", "Referees", "Cup",
                              "Youth",   "Women",    "Futsal",  "Beach",   "Archive", "Tickets",  "Shop",
                              "Media",   "Videos",   "Photos",  "Press",   "Rules",   "Coaching", "Grassroots",
                              "History", "Stadiums", "Awards",  "Contact", "Jobs",    "Partners", "Statistics"};

std::string Word(PageRandom& rng) { return kWords[rng.Below(static_cast<int>(std::size(kWords)))]; }

// One drop-down menu of a site's header or footer: nested lists of links
// carrying the attributes such templates write, a comment and a script.
void AppendMenu(std::string& out, PageRandom& rng, int section) {
    const std::string s = std::to_string(section);
    out += "<div class=\"mega-menu\" id=\"menu-" + s + "\" data-section=\"" + s +
           "\" role=\"navigation\" aria-label=\"Section " + s + "\">";
    out += "<ul class=\"nav nav-pills level-1\">";
    const int items = 4 + rng.Below(6);
    for (int i = 0; i < items; ++i) {
        const std::string item = std::to_string(i);
        const std::string word = Word(rng);
        out += "<li class=\"nav-item dropdown\" data-id=\"" + s + "-" + item + "\"><a class=\"nav-link dropdown-toggle\" href=\"/" +
               word + "/section-" + s + "/item-" + item + "/index.html?ref=nav&amp;lang=en\" title=\"" + word +
               " &ndash; section " + s + "\" onclick=\"return track(&quot;nav&quot;, " + s + ", " + item + ");\">" +
               word + " &amp; more</a>";
        out += "<ul class=\"dropdown-menu level-2\">";
        const int links = 3 + rng.Below(8);
        for (int j = 0; j < links; ++j) {
            const std::string sub = Word(rng);
            out += "<li><a class=\"dropdown-item\" href=\"/" + word + "/" + sub + "/" + std::to_string(rng.Below(100000)) +
                   ".html\" data-track=\"menu:" + s + ":" + item + ":" + std::to_string(j) + "\">" + sub +
                   " <span class=\"badge\">" + std::to_string(rng.Below(100)) + "</span></a></li>";
        }
        out += "</ul></li>";
    }
    out += "</ul></div>";
    out += "<!-- end of menu " + s + ": written by the template engine, do not edit by hand -->";
    out += "<script type=\"text/javascript\">var menu" + s + " = {id: " + s + ", items: [" +
           std::to_string(rng.Below(9)) + ", " + std::to_string(rng.Below(9)) + ", " + std::to_string(rng.Below(9)) +
           "], open: false};function toggle" + s +
           "(e) { if (e && e.target && e.target.className.indexOf(\"open\") < 0) { menu" + s + ".open = !menu" + s +
           ".open; } return false; }for (var k = 0; k < menu" + s + ".items.length; k++) { if (menu" + s +
           ".items[k] > 2) { menu" + s + ".items[k] -= 1; } }</script>";
}

std::string Menus(PageRandom& rng, int& section, std::size_t bytes) {
    std::string out;
    while (out.size() < bytes) AppendMenu(out, rng, section++);
    return out;
}

}  // namespace

std::string TypicalPage() {
    return WithoutLineBreaks(RenderStandingsPage(GenerateLeague("ger", AssociationNameForCode("ger"))));
}

std::string LargePage(std::size_t bytes) {
    // The teams of every association's league, twice over (the second time as
    // reserve sides): a few thousand distinct rows.
    League league = GenerateLeague("ger", AssociationNameForCode("ger"));
    league.teams.clear();
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < kAssociationCount; ++i) {
            const char* code = AssociationCodeAt(i);
            for (LeagueTeam team : GenerateLeague(code, AssociationNameForCode(code)).teams) {
                if (pass == 1) team.name += " II";
                league.teams.push_back(team);
            }
        }
    }
    for (std::size_t i = 0; i < league.teams.size(); ++i) league.teams[i].position = std::to_string(i + 1) + ".";
    std::string table = WithoutLineBreaks(RenderStandingsPage(league));

    // A comment before every 25th row, as templates leave them.
    std::string page;
    page.reserve(bytes + (1u << 16));
    const std::string rowStart = "<tr class=\"";
    std::size_t from = 0;
    int row = 0;
    for (std::size_t at = table.find(rowStart); at != std::string::npos; at = table.find(rowStart, at + 1)) {
        if (row++ % 25 != 0) continue;
        page.append(table, from, at - from);
        page += "<!-- rows " + std::to_string(row) + " to " + std::to_string(row + 24) + " -->";
        from = at;
    }
    page.append(table, from, std::string::npos);

    PageRandom rng(0x5c0a7e);
    int section = 1;
    const std::size_t fill = bytes > page.size() ? bytes - page.size() : 0;
    const std::string head = Menus(rng, section, fill / 2);
    const std::size_t bodyAt = page.find("<body>") + 6;
    page.insert(bodyAt, head);
    const std::string foot = Menus(rng, section, bytes > page.size() ? bytes - page.size() : 0);
    page.insert(page.rfind("</body>"), foot);
    return page;
}

std::string RepeatedPage(const std::string& pattern, std::size_t bytes) {
    std::string page;
    page.reserve(bytes);
    while (page.size() + pattern.size() <= bytes) page += pattern;
    page.append(pattern, 0, bytes - page.size());
    return page;
}

std::string AttributePage(std::size_t valueBytes, bool distinct) {
    static const char* const kNames[] = {
        "quot",   "amp",    "apos",   "lt",     "gt",     "nbsp",   "iexcl",  "cent",   "pound",  "current",
        "yen",    "brvbar", "sect",   "uml",    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",
        "macr",   "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",
        "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",
        "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
        "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",
        "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",  "agrave",
        "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil", "egrave", "eacute", "ecirc",
        "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",    "ntilde", "ograve", "oacute", "ocirc",
        "otilde", "ouml",   "divide", "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",
        "yuml"};
    std::vector<std::string> forms;
    if (!distinct) {
        for (const char* name : kNames) forms.push_back(std::string("&") + name + ";");
        for (int c = 32; c < 256; ++c) forms.push_back("&#" + std::to_string(c) + ";");
        static const char kHex[] = "0123456789abcdef";
        for (int c = 32; c < 256; ++c) forms.push_back(std::string("&#x") + kHex[c >> 4] + kHex[c & 15] + ";");
    }
    std::string value;
    value.reserve(valueBytes + 16);
    for (std::uint64_t i = 0; value.size() < valueBytes; ++i) {
        // Printable results only: a NUL in the value would end what the
        // decoder may read.
        if (distinct) {
            value += "&#" + std::to_string(65 + (i % 26) + 256 * (i / 26)) + ";";
        } else {
            value += forms[i % forms.size()];
        }
    }
    return "<html><body><p title=\"" + value + "\">text</p></body></html>";
}

void ExtractStandings(const std::string& page) {
    theStandings.RemoveAll();
    StandingsExtractor::ResetSharedState();
    StandingsExtractor extractor;
    MarkupParser parser;
    parser.handler = &extractor;
    parser.Parse(page.c_str());
}

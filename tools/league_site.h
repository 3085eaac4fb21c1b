#pragma once
// The pages of the standings site: a league as data, generated from an
// association code, read from a user's CSV file or computed from match
// results; its standings page, and what every page of the site shares (head,
// header, footer), so that each page links only to pages that exist.

#include <array>
#include <string>
#include <vector>

struct LeagueTeam {
    std::string position;              // as shown, "1."
    std::string name;                  // ISO 8859-1
    std::array<std::string, 8> figures; // played, won, drawn, lost, goals for, against, difference, points
};

struct League {
    // Where the figures come from, which decides what the page says of its
    // source and which pages it links to: only a league computed from match
    // results has an association page and a fixtures page beside its table.
    enum class Source {
        Own,           // a CSV file of the site's operator
        MadeUp,        // invented, for demonstrations
        OpenFootball,  // the public-domain results of the football.json project
        OtherResults,  // match results from another source
    };
    Source source = Source::Own;
    std::string code;
    std::string association;  // display name
    std::string competition;  // a real league's name, ISO 8859-1; "" for a made-up one
    std::string season;       // "2025/26" as shown, "" when unknown
    int matchday = 0;         // 0 when unknown
    std::string newestResult; // "2026-03-08": the newest played match counted, "" when unknown
    std::vector<std::string> notes;  // shown below the table, ISO 8859-1: point adjustments
    std::vector<LeagueTeam> teams;

    bool FromResults() const { return source == Source::OpenFootball || source == Source::OtherResults; }
};

// The eleven texts of the table head, in page order; the second one is the
// trend column, which has no text in the team rows.
extern const char* const kLeagueHeaderTexts[11];

// A believable season for the association: 10 to 20 fictional teams whose
// figures come from actual results, so that every sum adds up. The same code
// always gives the same league.
League GenerateLeague(const std::string& code, const std::string& association);

// One team a line: position, name and the eight figures, comma-separated;
// fields may be quoted as in RFC 4180; blank lines and lines starting with
// "#" are skipped. The file is UTF-8 and every character must exist in ISO
// 8859-1. False with `error` ("line 3: ...") when the file is malformed.
bool ParseLeagueCsv(const std::string& csv, League& league, std::string& error);

// The standings page, CRLF line ends, every byte of text outside printable
// ASCII written as a character reference. The table's markup is what the
// savers' reader counts its texts in (acquire/standings_extractor.cpp): its
// cells, their texts and the sort marker's span stay as they are, and the
// page has no other table.
std::string RenderStandingsPage(const League& league);

// Where the site's own files lie, from its root.
inline constexpr char kSiteStyleSheetPath[] = "static/site.css";
inline constexpr char kSiteLogoPath[] = "static/logo.svg";

// The folder of an association's pages from the site's root, "associations/association=eng/".
std::string AssociationFolder(const std::string& code);

// Every page of the site starts with these lines, CRLF ends: document type,
// head with the ISO 8859-1 declaration, `title` (page text), the style sheet
// and the icon, then the site's header. `root` leads from the page to the
// site's root ("", "../../"): links are relative, so that a published
// folder works under any address and from the disk.
std::string PageStart(const std::string& title, const std::string& root);

// The site's footer with `footerHtml`, and the end of the page.
std::string PageEnd(const std::string& footerHtml);

// What the footer says of the figures of a league from `source`.
std::string SourceNote(League::Source source);

// The way back above a league page's heading (all leagues, the association)
// and its tabs below it (the association page and the league's two pages,
// `current` marked: "association", "standings" or "fixtures"). A league not
// from results has neither an association page nor fixtures: no tabs.
std::string LeagueCrumbs(const League& league, const std::string& current);
std::string LeagueTabs(const League& league, const std::string& current);

// The site's front page for a --data folder: the associations with a file.
std::string RenderOwnIndexPage(const std::vector<std::string>& codes);

// The page text for ISO 8859-1 text: markup characters and every byte from
// 0x80 up as character references.
std::string EncodePageText(const std::string& latin1);
